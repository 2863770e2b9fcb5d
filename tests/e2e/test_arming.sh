#!/usr/bin/env bash
# tests/e2e/test_arming.sh — typing a time and arming: the entry box clearing, the message box for a bad time and
# the example text after it, "OK" and the minimise glyph sending the window to the notification area, a left click
# on the icon bringing it back, and the icon calls seen in a relay trace. Then the same from the command line: a time
# and /veille arming at once, the usage box and the exit codes of a refused line and of /?. Last, the icon's click at
# screen scales from 96 to 288 DPI.
source "$(dirname "$0")/lib.sh"

MSG_TITLE=$TXT_FORMAT_TITLE
MSG_TITLE_RE="^$TXT_FORMAT_TITLE\$"
MSG_CALL_RE=$(e2e_box_re "$(e2e_text_re "$TXT_FORMAT")" 00000040 "$TXT_FORMAT_TITLE")
EXAMPLE_CALL_RE="SetWindowTextW\\([0-9a-f]+,[0-9a-f]+ L\"$(e2e_text_re "$TXT_EXAMPLE")\"\\)"
EMPTY_CALL_RE=$E2E_EMPTY_TEXT_RE
ADD_CALL_RE='Call shell32\.Shell_NotifyIconA\(00000000,'
DELETE_CALL_RE='Call shell32\.Shell_NotifyIconA\(00000002,'

e2e_require_exe
e2e_setup
e2e_relay_include "user32.MessageBoxW;user32.SetWindowTextW;shell32.Shell_NotifyIconA;user32.CreateWindowExW;kernel32.SetSystemPowerState;user32.TrackPopupMenu"
e2e_start_app_traced
wid=$(e2e_wait_window) || { e2e_fail "the window appears" "none within $(e2e_limit "$E2E_TIMEOUT") s"; e2e_finish; }
e2e_pass "the window appears"

mapped() { timeout 10 xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable'; }
unmapped() { ! mapped "$1"; }
skips_taskbar() { timeout 10 xprop -id "$wid" _NET_WM_STATE 2>/dev/null | grep -q _NET_WM_STATE_SKIP_TASKBAR; }
# The windows the window manager manages, which a task list shows. A hidden window is withdrawn: the window manager
# drops it from this list. Its _NET_WM_STATE then says nothing (the window manager may erase it; under openbox
# SKIP_TASKBAR was there after some hides and not after others, the style calls the same), so that is read again
# once the window is back.
in_client_list() { timeout 10 xprop -root _NET_CLIENT_LIST 2>/dev/null | grep -q -w "$(printf '0x%x' "$1")"; }
out_of_client_list() { ! in_client_list "$wid"; }
dark_in_entry() { e2e_shot_window "$wid" "$1" && e2e_count_dark "$1" $ENTRY_TEXT; }
# Keys go through XTEST to the focused window: Wine takes no notice of keys sent to a window with XSendEvent,
# and one so sent can reach the main window later, after the message box has gone.
press_key() { timeout 10 xdotool windowfocus --sync "$1" >/dev/null 2>&1; timeout 10 xdotool key "$2"; }
click_entry() { e2e_clear_entry "$wid"; }
type_time() { timeout 60 xdotool type --delay 40 -- "$1"; }

# --- A click in the entry box clears it ------------------------------------------------------------------------
prompt_dark=$(dark_in_entry "$E2E_WORK/start.png")
e2e_assert_ge "$prompt_dark" 100 "the entry box shows the start prompt"
if ! skips_taskbar && ! out_of_client_list; then e2e_pass "the program is in the task list at start"; else
    e2e_fail "the program is in the task list at start"; fi
click_entry
e2e_relay_wait "$EMPTY_CALL_RE" 5
e2e_assert_eq 1 "$(e2e_relay_count "$EMPTY_CALL_RE")" "a click in the entry box sets its text to empty"
# only the text caret may be left, a thin upright line
e2e_assert_le "$(dark_in_entry "$E2E_WORK/cleared.png")" 20 "the entry box shows no text after the click"

# --- A bad time and "OK": the message box, then the example text -----------------------------------------------
# bad_time LABEL CLICK TEXT N — types TEXT into the cleared box, clicks CLICK; N is the message boxes so far after it.
bad_time() {
    local label=$1 click=$2 text=$3 n=$4 box
    type_time "$text"
    e2e_click "$wid" $click
    box=$(e2e_wait_window "$MSG_TITLE_RE" 10) || { e2e_fail "$label: a message box titled '$MSG_TITLE' appears"; return; }
    e2e_pass "$label: a message box titled '$MSG_TITLE' appears"
    e2e_relay_wait "$MSG_CALL_RE" 5
    e2e_assert_eq "$n" "$(e2e_relay_count "$MSG_CALL_RE")" "$label: its prompt, title and style are exact"
    e2e_assert_eq "$n" "$(e2e_relay_count 'Call user32\.MessageBoxW')" "$label: one message box per click"
    e2e_assert_eq $((n - 1)) "$(e2e_relay_count "$EXAMPLE_CALL_RE")" "$label: the example is not written while the box is up"
    e2e_shot_root "$E2E_WORK/msgbox$n.png"
    e2e_geometry "$box" && "$E2E_CONVERT" "$E2E_WORK/msgbox$n.png" \
        -crop "${E2E_WIN_W}x${E2E_WIN_H}+${E2E_WIN_X}+${E2E_WIN_Y}" +repage "$E2E_WORK/msgbox$n-only.png"
    e2e_assert_ge "$(e2e_count_dark "$E2E_WORK/msgbox$n-only.png" 50 5 $((E2E_WIN_W - 10)) $((E2E_WIN_H / 2)))" 150 \
        "$label: the message box shows its prompt"

    press_key "$box" Return
    if e2e_wait_no_window "$MSG_TITLE_RE" 10; then e2e_pass "$label: Enter closes the box"; else e2e_fail "$label: Enter closes the box"; fi
    e2e_relay_wait "$EXAMPLE_CALL_RE" 5
    e2e_pause 1
    e2e_assert_eq "$n" "$(e2e_relay_count "$EXAMPLE_CALL_RE")" "$label: the entry box gets the example text once"
    e2e_assert_eq "$n" "$(e2e_relay_count 'Call user32\.MessageBoxW')" "$label: the Enter that closed the box opens no other"
    e2e_assert_ge "$(dark_in_entry "$E2E_WORK/example$n.png")" 100 "$label: the example text shows in the entry box"
    e2e_check "$label: the window stays shown" mapped "$wid"
    e2e_assert_eq 0 "$(e2e_relay_count "$ADD_CALL_RE")" "$label: no icon is added"
}
bad_time "OK, 25:00:00" "$OK_XY" "25:00:00" 1

click_entry
e2e_assert_eq 2 "$(e2e_relay_count "$EMPTY_CALL_RE")" "a click on the example text clears it too"
bad_time "minimise glyph, 8:30" "$MINIMISE_XY" "8:30" 2

# --- A good time: into the notification area and back -----------------------------------------------------------
# good_time LABEL CLICK N — arms with a time an hour ahead (never reached here); N counts the adds so far.
good_time() {
    local label=$1 click=$2 n=$3 tray
    click_entry
    type_time "$(e2e_time_in 3600)"
    e2e_click "$wid" $click
    if e2e_wait_until 10 unmapped "$wid"; then e2e_pass "$label: the window hides"; else e2e_fail "$label: the window hides"; fi
    e2e_relay_wait "$ADD_CALL_RE" 5
    e2e_assert_eq "$n" "$(e2e_relay_count "$ADD_CALL_RE")" "$label: the icon is added (Shell_NotifyIconA 0)"
    e2e_assert_eq "$(e2e_relay_count 'Call shell32\.Shell_NotifyIconA')" \
        "$(e2e_relay_count 'Ret  shell32\.Shell_NotifyIconA\(\) retval=00000001')" "$label: every icon call so far succeeded"
    e2e_assert_eq $((n - 1)) "$(e2e_relay_count "$DELETE_CALL_RE")" "$label: no icon removed on arming"
    tray=$(e2e_wait_window "$TRAY_RE" 10) || { e2e_fail "$label: the icon shows in the notification area"; return 1; }
    e2e_shot_window "$tray" "$E2E_WORK/tray$n.png"
    # the tray is white where it holds no icon
    local inked; inked=$(( 400 - $(e2e_count_color "$E2E_WORK/tray$n.png" $TRAY_ICON_AREA FFFFFF 8) ))
    e2e_assert_ge "$inked" 40 "$label: the icon shows in the notification area"
    if e2e_wait_until 10 out_of_client_list; then e2e_pass "$label: the program leaves the task list"; else
        e2e_fail "$label: the program leaves the task list"; fi

    # A pointer resting on the icon and a middle click send other mouse messages: they bring nothing back (the right
    # button's menu is test_wake_and_menu.sh's).
    timeout 10 xdotool mousemove --window "$tray" $TRAY_ICON_XY
    e2e_pause 1
    timeout 10 xdotool click 2
    e2e_pause 2
    e2e_check "$label: a move over the icon and a middle click leave the window hidden" unmapped "$wid"
    e2e_assert_eq $((n - 1)) "$(e2e_relay_count "$DELETE_CALL_RE")" "$label: ... and the icon in place"

    timeout 10 xdotool click 1
    if e2e_wait_until 10 mapped "$wid"; then e2e_pass "$label: a left click on the icon shows the window"; else
        e2e_fail "$label: a left click on the icon shows the window"; fi
    e2e_relay_wait "$DELETE_CALL_RE" 5
    e2e_assert_eq "$n" "$(e2e_relay_count "$DELETE_CALL_RE")" "$label: the icon is removed (Shell_NotifyIconA 2)"
    if e2e_wait_no_window "$TRAY_RE" 10; then e2e_pass "$label: the notification area is empty again"; else
        e2e_fail "$label: the notification area is empty again"; fi
    if skips_taskbar; then e2e_pass "$label: still out of the task list after the restore"; else
        e2e_fail "$label: still out of the task list after the restore"; fi
    e2e_shot_window "$wid" "$E2E_WORK/restored$n.png"
}
good_time "OK" "$OK_XY" 1
good_time "minimise glyph" "$MINIMISE_XY" 2

# --- Closing removes the icon -----------------------------------------------------------------------------------
e2e_click "$wid" $CLOSE_XY
if e2e_wait_app_exit 20; then e2e_pass "the close glyph ends the program"; else e2e_fail "the close glyph ends the program"; fi
e2e_assert_eq 3 "$(e2e_relay_count "$DELETE_CALL_RE")" "closing asks the shell to remove the icon"

# --- From the command line ---------------------------------------------------------------------------------------
# Each run has a trace of its own. The program's window class is TarveilXPForm.
start_with() {
    local name=$1; shift
    E2E_RELAY_LOG=$E2E_WORK/relay-$name.log
    _e2e_start_app "+timestamp,+relay" "$E2E_RELAY_LOG" "$@"
}
FORM_CALL_RE='Call user32\.CreateWindowExW\([0-9a-f]+,[0-9a-f]+ L"TarveilXPForm"'
HIBERNATE_CALL_RE='Call kernel32\.SetSystemPowerState\(00000000,00000000\)'
CMD_LEAD=$(e2e_limit 12)   # seconds from the start to the time on the line: a loaded machine took six to arm

# A time and /veille: the window goes to the notification area at once, and hibernation follows five seconds after
# the time, as after a click on "OK". A start slowed past the time by a loaded machine would rightly wait for the next
# day: it is made again with a longer lead, not failed.
lead=$CMD_LEAD
for attempt in 1 2 3; do
    t=$(( $(date +%s) + lead ))
    T_MS=$((t * 1000))
    T_TEXT=$(date -d "@$t" +%H:%M:%S)
    started=$(e2e_now_ms)
    start_with veille "$T_TEXT" /veille
    armed=0
    e2e_wait_by $((T_MS - 500)) _e2e_relay_has "$ADD_CALL_RE" && [ $((T_MS - $(e2e_now_ms))) -ge 500 ] && armed=1
    [ "$armed" = 1 ] && break
    e2e_log "attempt $attempt: not armed 500 ms before $T_TEXT, $(( $(e2e_now_ms) - started )) ms after the start: again"
    e2e_stop_app
    lead=$(( 2 * ($(e2e_now_ms) - started) / 1000 + 4 ))
done
if [ "$armed" = 1 ]; then
    e2e_pass "command line: armed before the time (attempt $attempt)"
    e2e_assert_eq 1 "$(e2e_relay_count "$FORM_CALL_RE")" "command line: one window made"
    if e2e_wait_no_window "$E2E_WINDOW_NAME" 5; then e2e_pass "command line: the window goes to the notification area"; else
        e2e_fail "command line: the window goes to the notification area"; fi
    if e2e_wait_window "$TRAY_RE" 10 >/dev/null; then e2e_pass "command line: the icon shows"; else e2e_fail "command line: the icon shows"; fi
    e2e_assert_eq 0 "$(e2e_relay_count 'Call user32\.MessageBoxW')" "command line: no message box"
    if e2e_relay_wait "$HIBERNATE_CALL_RE" $((lead + 10)); then
        seen=$(( $(e2e_now_ms) - T_MS ))
        e2e_assert_range "$seen" 4800 20000 "command line: hibernation seen ${seen} ms after the time"
        ms=$(e2e_ms_after_clock 0 "$T_TEXT" "$HIBERNATE_CALL_RE")
        e2e_assert_range "$ms" $E2E_ACTION_MS "command line: hibernation ${ms} ms after the clock showed $T_TEXT (relay times)"
    else
        e2e_fail "command line: SetSystemPowerState(FALSE, FALSE) comes"
    fi
    if wid=$(e2e_wait_window "$E2E_WINDOW_NAME" 10); then
        e2e_click "$wid" $CLOSE_XY
        e2e_wait_app_exit 20
        e2e_assert_eq 0 "$?" "command line: closed after the action, the program ends with 0"
    else
        e2e_fail "command line: the window is back after the action"
    fi
else
    e2e_fail "command line: the icon is added before the time" "three starts, none armed 500 ms ahead"
fi
e2e_stop_app

start_with delay +0:01   # armed for the clock box's last time a minute on (or a second more, if it turned first)
e2e_relay_wait "$ADD_CALL_RE" 60
read -r ahead ms < <(e2e_relay_grep 'SetWindowTextW\(.* L"(\+0:01|..:..:..)"\)' | awk -F: 'match($0, /L"[^"]*"/) {
    t = substr($0, RSTART + 2, RLENGTH - 3); s = substr(t, 1, 2) * 3600 + substr(t, 4, 2) * 60 + substr(t, 7, 2)
    if (t == "+0:01") plus = 1
    else if (plus) { print (s - c + 86400) % 86400, int(($1 - at) * 1000); exit } else { c = s; at = $1 } }')
e2e_assert_range "${ahead:-none}" 60 $((61 + ${ms:-0} / 1000)) "command line +0:01: armed for the clock + ${ahead:-?} s"
e2e_stop_app

# usage_box LABEL PROMPT_RE STYLE STATUS — the usage box comes up alone, with no window made and no icon; Enter
# closes it and the program ends with STATUS.
usage_box() {
    local label=$1 prompt=$2 style=$3 status=$4 box
    if ! e2e_relay_wait "Call user32\.MessageBoxW\(00000000,[0-9a-f]+ L\"$prompt" 30; then
        e2e_fail "$label: the usage box comes"; return
    fi
    e2e_assert_eq 1 "$(e2e_relay_count "Call user32\.MessageBoxW\(00000000,[0-9a-f]+ L\"$prompt.*,[0-9a-f]+ L\"Tarveil XP\",$style\)")" \
        "$label: one usage box, its text, title and icon"
    box=$(e2e_wait_window "$E2E_WINDOW_NAME" 10) || { e2e_fail "$label: the box shows"; return; }
    e2e_assert_eq 0 "$(e2e_relay_count "$FORM_CALL_RE")" "$label: no window is made"
    e2e_assert_eq 0 "$(e2e_relay_count "$ADD_CALL_RE")" "$label: no icon is added"
    press_key "$box" Return
    e2e_wait_app_exit 20
    e2e_assert_eq "$status" "$?" "$label: Enter closes it and the program ends with $status"
}
start_with bad-time 25:00:00 /veille
usage_box "command line 25:00:00" 'Heure refus\\00e9e : \\"25:00:00\\"\.\\n\\nUtilisation : ' 00000030 2
start_with help "/?"
usage_box "command line /?" 'Utilisation : \\"Tarveil XP\.exe\\" hh:mm:ss \[action\]\\n' 00000040 0

# --- The icon's left click at every screen scale ----------------------------------------------------------------
# Its callback is a move whose x is the mouse message (0x201 px), on the drawn glyphs from about 205 DPI on. At 240 DPI
# the window is wider than 517 px, where the icon's right release would read: a real move there, traced.
for dpi in 96 144 192 210 216 240 288; do
    e2e_stop_app
    e2e_set_dpi "$dpi" && e2e_start_app_traced "$(e2e_time_in 3600)"
    # the tray window placed by the window manager before the click, which would otherwise land where it was mapped
    tray=$(e2e_wait_window "$TRAY_RE" 30) && e2e_wait_until 10 in_client_list "$tray" &&
        e2e_wait_no_window "$E2E_WINDOW_NAME" 10 ||
        { e2e_fail "$dpi DPI: armed from the command line, the window hides behind its icon"; continue; }
    timeout 10 xdotool mousemove --window "$tray" $TRAY_ICON_XY click 1
    w=$(( (3630 * dpi + 720) / 1440 ))
    wid=$(e2e_wait_window "$E2E_WINDOW_NAME" 10) && e2e_geometry "$wid" || E2E_WIN_W=none
    e2e_assert_range "$E2E_WIN_W" $((w - 1)) $((w + 1)) "$dpi DPI: armed, hidden, a left click on the icon shows the window ${w}±1 px wide"
    [ "$dpi" = 240 ] && [ "$E2E_WIN_W" != none ] || continue
    # The move, then "OK": the window hides once both are handled, in that order.
    read -r ox oy <<<"$OK_XY"
    timeout 10 xdotool mousemove --window "$wid" 517 100 && e2e_click "$wid" $((ox * dpi / 96)) $((oy * dpi / 96)) &&
        e2e_wait_until 10 unmapped "$wid"
    e2e_assert_eq 0 "$(e2e_relay_count 'Call user32\.TrackPopupMenu')" "240 DPI: a pointer move to x = 517 opens no menu"
done
e2e_stop_app

e2e_finish
