#!/usr/bin/env bash
# tests/e2e/test_countdown.sh — a time typed a few seconds ahead, "OK", the window back at that second with the
# flashing countdown, and the chosen power action about five seconds later; "ANNULER !" and the close glyph.
#
# Like every script it has a prefix of its own (a copy of the template whose registry is its own), so power-off ending
# the Wine session, the relay filter and the window settings below reach no other script. One program run goes
# through restart, hibernation, a cancelled countdown and a close during a countdown; a second run ends with power-off.
source "$(dirname "$0")/lib.sh"

LEAD=6                          # seconds between choosing the time and the time itself, on a native run

RELAY_FUNCS="ExitWindowsEx;SetSystemPowerState;CreateProcessW;Shell_NotifyIconA;SetThreadExecutionState;IsPwrHibernateAllowed"
RELAY_FUNCS="$RELAY_FUNCS;user32.SetWindowTextW"
ACTION_RE='(ExitWindowsEx|SetSystemPowerState|CreateProcessW)\('
FUZZ=3

area() { echo $(( ($3 - $1 + 1) * ($4 - $2 + 1) )); }

# The program's own calls: lines of its main thread (the one that added the tray icon), so that the traces of
# shutdown.exe or other processes never count. Each scenario looks only at lines after its own start.
APP_TID=
app_calls() {   # app_calls FROM_LINE
    tail -n +"$(($1 + 1))" "$E2E_RELAY_LOG" 2>/dev/null | grep -a -E "^[0-9]+\.[0-9]+:${APP_TID:-xxxx}:Call "
}
log_lines() { grep -a -c '' "$E2E_RELAY_LOG" 2>/dev/null || echo 0; }
count_calls() { app_calls "$1" | grep -a -i -c -E -- "$2"; }
has_action() { [ "$(count_calls "$1" "$ACTION_RE")" -gt 0 ]; }
# The execution states the program asked for after FROM_LINE, in order: "80000001" (kept awake), "80000000" (let go).
awake_of() { grep -a -o -E 'SetThreadExecutionState\([0-9a-f]+\)' | grep -a -o -E '[0-9a-f]{8}' | tr '\n' ' ' | sed 's/ $//'; }
awake_calls() { app_calls "$1" | awake_of; }

has_let_go() { [ "$(awake_calls "$1")" = 80000000 ]; }
window_shown() { [ -n "$(e2e_window_ids)" ]; }
wid_now() { e2e_window_ids | head -n1; }

# arm WID OPTION_XY — clicks the entry box and, once it is cleared, types a time far enough ahead (e2e_lead), picks
# the option and presses "OK"; waits for the icon to be added. Sets T_MS (the target second's start) and T_TEXT.
arm() {
    local wid=$1 ox oy kx ky adds
    read -r ox oy <<<"$2"; read -r kx ky <<<"$OK_XY"
    adds=$(grep -a -c -E "$ADD_RE" "$E2E_RELAY_LOG")
    e2e_clear_entry "$wid"
    local chosen; chosen=$(e2e_now_ms)
    local t=$(( chosen / 1000 + $(e2e_lead "$LEAD") ))
    T_MS=$((t * 1000))
    T_TEXT=$(date -d "@$t" +%H:%M:%S)
    e2e_type "$wid" "$T_TEXT"
    e2e_click_button "$wid" "$ox" "$oy"
    e2e_click "$wid" "$kx" "$ky"
    e2e_log "armed for $T_TEXT"
    e2e_wait_until 10 _e2e_more_lines "$E2E_RELAY_LOG" "$ADD_RE" "$adds" && e2e_armed_since "$chosen"
}
ADD_RE='Call shell32\.Shell_NotifyIconA\(00000000,'

# Panel colour in a window shot: "red", "white" or "other" by the strip above the options.
panel_colour() {
    local n; n=$(area $PANEL_STRIP)
    if [ "$(e2e_count_color "$1" $PANEL_STRIP FF0000 8)" -ge $((n * 95 / 100)) ]; then echo red
    elif [ "$(e2e_count_color "$1" $PANEL_STRIP FFFFFF 8)" -ge $((n * 95 / 100)) ]; then echo white
    else echo other; fi
}
# Window shot cut from a root shot taken at the right moment.
cut_window() { "$E2E_CONVERT" "$1" -crop "${E2E_WIN_W}x${E2E_WIN_H}+${E2E_WIN_X}+${E2E_WIN_Y}" +repage "$2"; }

# check_action NAME FROM_LINE EXACT_REGEX — the action's call comes once, five ticks after the one whose clock read
# the target (by the trace), and is not seen before five seconds after the target second's start.
check_action() {
    local name=$1 from=$2 re=$3
    if ! e2e_wait_until 12 has_action "$from"; then
        e2e_fail "$name: the action's call comes" "none within 10 s of $T_TEXT"
        return 1
    fi
    # seen after all the screenshots' checks: a loaded machine makes that late, by many seconds
    local seen=$(( $(e2e_now_ms) - T_MS ))
    e2e_assert_range "$seen" 4800 20000 "$name: action seen ${seen} ms after the target second"
    local ms; ms=$(e2e_ms_after_clock "$from" "$T_TEXT" "$ACTION_RE")
    e2e_assert_range "$ms" $E2E_ACTION_MS "$name: action ${ms} ms after the clock showed $T_TEXT (relay times)"
    local line; line=$(app_calls "$from" | grep -a -E -- "$ACTION_RE" | head -n1)
    if grep -a -q -i -E -- "$re" <<<"$line"; then e2e_pass "$name: exact call"; else
        e2e_fail "$name: exact call" "got: ${line:0:300}"; fi
    e2e_assert_eq 1 "$(count_calls "$from" "$ACTION_RE")" "$name: one action call, no other action"
    # the window is brought back from the tray on every one of the six ticks
    local removals; removals=$(app_calls "$from" | sed -E -n "1,/${ACTION_RE}/p" | grep -a -c 'Shell_NotifyIconA(00000002,')
    e2e_assert_eq 6 "$removals" "$name: six ticks before the action, each restoring the window"
}

# cancel_after_action NAME — "ANNULER !" after an action the program survived: the countdown goes, the clock runs.
cancel_after_action() {
    local name=$1 wid; wid=$(wid_now)
    local cx cy; read -r cx cy <<<"$CANCEL_XY"
    e2e_click "$wid" "$cx" "$cy"
    # the click taken: the button gone from the screen
    e2e_wait_until 5 cancel_gone "$wid" "$E2E_WORK/$name-cancelled.png"
    e2e_assert_le "$(e2e_diff_count "$E2E_WORK/before.png" "$E2E_WORK/$name-cancelled.png" $CANCEL_BUTTON $FUZZ)" 0 \
        "$name: 'ANNULER !' hides itself after the action"
    e2e_assert_le "$(e2e_diff_count "$E2E_WORK/before.png" "$E2E_WORK/$name-cancelled.png" $DIGIT_BOX $FUZZ)" 0 \
        "$name: digit box hidden after 'ANNULER !'"
    e2e_assert_eq white "$(panel_colour "$E2E_WORK/$name-cancelled.png")" "$name: panel white again"
    e2e_check "$name: the clock runs again after 'ANNULER !'" e2e_clock_runs "$wid"
}
cancel_gone() {
    e2e_shot_window "$1" "$2" && [ "$(e2e_diff_count "$E2E_WORK/before.png" "$2" $CANCEL_BUTTON $FUZZ)" = 0 ]
}

e2e_require_exe
e2e_setup
e2e_relay_include "$RELAY_FUNCS" || e2e_fail "set the relay filter"
# The desktop process is started again, untraced, with the relay filter above.
e2e_new_session

_e2e_start_app "+timestamp,+relay" "$E2E_RELAY_LOG"
wid=$(e2e_wait_window) || { e2e_fail "the window appears"; e2e_finish; }
e2e_shot_window "$wid" "$E2E_WORK/before.png" || e2e_fail "screenshot before any countdown"
e2e_assert_eq white "$(panel_colour "$E2E_WORK/before.png")" "panel white before any countdown"

# --- Restart: the full countdown on screen ------------------------------------------------------------------------
from=$(log_lines)
arm "$wid" "$REBOOT_XY"
if e2e_relay_wait "$ADD_RE" 5; then
    APP_TID=$(grep -a -E "$ADD_RE" "$E2E_RELAY_LOG" | head -n1 | cut -d: -f2)
    e2e_pass "'OK' adds the tray icon"
else
    e2e_fail "'OK' adds the tray icon"
fi
e2e_check "'OK' hides the window" e2e_wait_no_window '^Tarveil XP$' 3
e2e_assert_eq 80000001 "$(awake_calls "$from")" "'OK' keeps the machine awake (SetThreadExecutionState 80000001)"
e2e_sleep_until $((T_MS - 600))
# looked at only when the script is there in time: a loaded machine may bring it late, never the window early
if [ "$(e2e_now_ms)" -ge $((T_MS - 100)) ]; then e2e_skip "window still hidden just before $T_TEXT" "the script came too late to look"
elif window_shown; then e2e_fail "window still hidden just before $T_TEXT"; else e2e_pass "window still hidden just before $T_TEXT"; fi
# Each shot is read from the trace's clock just before and after it, and judged by the countdown's ticks the trace
# shows before it (its icon removals), not by the wall clock: a loaded machine may take a shot late, or delay a tick.
for i in 0 1 2; do
    e2e_sleep_until $((T_MS + i * 1000 + 450))
    read -r _ shot_from[$i] <<<"$(e2e_clocks)"
    e2e_shot_root "$E2E_WORK/count$i.root.png"
    read -r _ shot_to[$i] <<<"$(e2e_clocks)"
done
# tick_phase FROM_MS TO_MS — the ticks before a shot taken between those trace times; "-" when one came during it or
# in the 300 ms before (its paint may or may not have landed)
tick_phase() {
    app_calls "$from" | grep -a 'Shell_NotifyIconA(00000002,' | cut -d: -f1 | awk -v a="$1" -v b="$2" '
        { t = $1 * 1000 } t <= a - 300 { n++ } t > a - 300 && t <= b { across = 1 } END { print across ? "-" : n + 0 }'
}
if wid=$(e2e_wait_window '^Tarveil XP$' 2) && e2e_geometry "$wid"; then
    e2e_pass "window back for the countdown"
    n=$(area $OPTION_REBOOT)
    judged=()
    for i in 0 1 2; do
        p=$(tick_phase "${shot_from[$i]}" "${shot_to[$i]}")
        if [ "$p" = - ] || [ "$p" = 0 ]; then
            e2e_skip "the countdown in the shot at +$i.45 s" "taken $([ "$p" = 0 ] && echo "before the first tick" || echo "across a tick")"
            continue
        fi
        f=$E2E_WORK/count$i.png
        cut_window "$E2E_WORK/count$i.root.png" "$f"
        # the first tick turns the panel red, each next one flips it
        if [ $((p % 2)) = 1 ]; then c=red rgb=FF0000; else c=white rgb=FFFFFF; fi
        e2e_assert_eq "$c" "$(panel_colour "$f")" "panel $c after tick $p (shot at +$i.45 s)"
        e2e_assert_ge "$(e2e_count_color "$f" $OPTION_REBOOT $rgb 8)" $((n / 3)) "options $c with the panel after tick $p"
        e2e_assert_ge "$(e2e_diff_count "$E2E_WORK/before.png" "$f" $CANCEL_BUTTON $FUZZ)" \
            $(( $(area $CANCEL_BUTTON) / 2 )) "'ANNULER !' shown after tick $p"
        e2e_assert_ge "$(e2e_count_dark "$f" $CANCEL_BUTTON)" 20 "'ANNULER !' label after tick $p"
        e2e_assert_ge "$(e2e_count_dark "$f" $DIGIT_BOX)" 5 "a digit in the digit box after tick $p"
        judged+=("$i:$p")
    done
    if [ ${#judged[@]} -ge 2 ] && [ "${judged[0]#*:}" != "${judged[1]#*:}" ]; then
        e2e_assert_ge "$(e2e_diff_count "$E2E_WORK/count${judged[0]%:*}.png" "$E2E_WORK/count${judged[1]%:*}.png" $DIGIT_BOX 40)" 3 \
            "the digit changes from one tick to the next"
    else
        e2e_skip "the digit changes from one tick to the next" "no two shots after different ticks"
    fi
else
    e2e_fail "window back for the countdown" "no visible window at $T_TEXT"
fi
check_action restart "$from" \
    "CreateProcessW\\([0-9a-f]+ L\"C:\\\\\\\\windows\\\\\\\\system32\\\\\\\\shutdown\\.exe\",[0-9a-f]+ L\"$(e2e_text_re "$TXT_RESTART_LINE")\""
e2e_pause 0.5
e2e_check "restart: program still running after the action" e2e_app_running
e2e_assert_eq "80000001 80000000" "$(app_calls "$from" | sed -E -n "1,/${ACTION_RE}/p" | awake_of)" \
    "restart: the machine is let go (80000000) before the action"
cancel_after_action restart

# --- Hibernation ---------------------------------------------------------------------------------------------------
wid=$(wid_now)
from=$(log_lines)
arm "$wid" "$VEILLE_XY"
e2e_check "hibernate: 'OK' hides the window" e2e_wait_no_window '^Tarveil XP$' 3
e2e_assert_eq 1 "$(app_calls "$from" | grep -a -c -E 'Call powrprof\.IsPwrHibernateAllowed\(\)')" "hibernate: 'OK' asks whether hibernation is allowed"
check_action hibernate "$from" 'SetSystemPowerState\(00000000,00000000\)'
e2e_check "hibernate: program still running after the action" e2e_app_running
cancel_after_action hibernate

# --- "ANNULER !" during the countdown ------------------------------------------------------------------------------
wid=$(wid_now)
from=$(log_lines)
arm "$wid" "$VEILLE_XY"
e2e_sleep_until $((T_MS + 2450))
wid=$(wid_now)
e2e_shot_window "$wid" "$E2E_WORK/cancel-during.png"
e2e_assert_ge "$(e2e_count_dark "$E2E_WORK/cancel-during.png" $CANCEL_BUTTON)" 20 "cancel: countdown running ('ANNULER !' shown)"
read -r cx cy <<<"$CANCEL_XY"
cancel_from=$(log_lines)
e2e_click "$wid" "$cx" "$cy"
# the click taken: the machine let go, which comes with 'ANNULER !'
e2e_wait_until 5 has_let_go "$cancel_from"
cancelled_at=$(log_lines)
e2e_sleep_until $((T_MS + 8000))
e2e_assert_eq 0 "$(count_calls "$from" "$ACTION_RE")" "cancel: no action call by 3 s past the would-be action"
e2e_assert_eq 0 "$(count_calls "$cancelled_at" 'Shell_NotifyIconA\(00000002,')" "cancel: no countdown tick after 'ANNULER !'"
e2e_assert_eq "80000001 80000000" "$(awake_calls "$from")" "cancel: kept awake from 'OK', let go at 'ANNULER !'"
e2e_assert_eq 80000000 "$(awake_calls "$cancel_from")" "cancel: the letting go comes with 'ANNULER !'"
e2e_check "cancel: window still shown" window_shown
e2e_shot_window "$wid" "$E2E_WORK/cancel-after.png"
e2e_assert_le "$(e2e_diff_count "$E2E_WORK/before.png" "$E2E_WORK/cancel-after.png" $CANCEL_BUTTON $FUZZ)" 0 "cancel: 'ANNULER !' hidden"
e2e_assert_le "$(e2e_diff_count "$E2E_WORK/before.png" "$E2E_WORK/cancel-after.png" $DIGIT_BOX $FUZZ)" 0 "cancel: digit box hidden"
e2e_assert_eq white "$(panel_colour "$E2E_WORK/cancel-after.png")" "cancel: panel white"

# --- Closing the window during the countdown -----------------------------------------------------------------------
from=$(log_lines)
arm "$wid" "$VEILLE_XY"
e2e_sleep_until $((T_MS + 2450))
wid=$(wid_now)
if [ -n "$wid" ]; then
    read -r cx cy <<<"$CLOSE_XY"
    closed_at=$(log_lines)
    e2e_click "$wid" "$cx" "$cy"
    e2e_wait_app_exit 5
    e2e_assert_eq 0 "$?" "close: the program ends at once, status 0"
    e2e_assert_eq 80000000 "$(awake_calls "$closed_at")" "close: the machine is let go as the window closes"
else
    e2e_fail "close: window shown during the countdown"
fi
e2e_sleep_until $((T_MS + 7000))
e2e_assert_eq 0 "$(count_calls "$from" "$ACTION_RE")" "close: no action call"

# --- Power-off, last: it ends the Wine session -----------------------------------------------------------------------
E2E_RELAY_LOG=$E2E_WORK/relay-off.log
_e2e_start_app "+timestamp,+relay" "$E2E_RELAY_LOG"
if wid=$(e2e_wait_window); then
    arm "$wid" "$ARRETER_XY"
    if e2e_relay_wait "$ADD_RE" 5; then
        APP_TID=$(grep -a -E "$ADD_RE" "$E2E_RELAY_LOG" | head -n1 | cut -d: -f2)
    fi
    check_action power-off 0 'ExitWindowsEx\(0000000d,00000000\)'
    e2e_wait_app_exit 15
    e2e_assert_ne 124 "$?" "power-off: the Wine session ends and the program with it"
else
    e2e_fail "power-off: the window appears"
fi

e2e_finish
