#!/usr/bin/env bash
# tests/e2e/test_faults.sh — faults made real under Wine while the release exe waits or counts down: the shell refusing
# the icon, the shell losing it and announcing itself again, the process stopped across the target second and in the
# middle of a countdown, a system shutdown.exe that ends with 0 and no restart following, the window closed during a
# power-off countdown, the system shutdown.exe missing with a Shutdown.exe planted next to the program and in the
# current folder, and a system shutdown.exe that refuses the restart (exits with 1). One program run, started from a
# folder of its own, with a powrprof.dll saying "no hibernation" planted beside it and in the current folder and none
# in the system folder; then a second, short run with that powrprof.dll in the system folder; and two more for the
# restarts asked of Windows itself, each of which under Wine ends the session.
source "$(dirname "$0")/lib.sh"

LEAD=5                  # seconds between choosing a time and the time itself, on a native run

RELAY_FUNCS="shell32.Shell_NotifyIconA;user32.MessageBoxW;KERNEL32.CreateProcessW;KERNEL32.SetSystemPowerState;user32.ExitWindowsEx;KERNEL32.GetExitCodeProcess"
RELAY_FUNCS="$RELAY_FUNCS;KERNEL32.LoadLibraryExW;powrprof.IsPwrHibernateAllowed;user32.SetWindowTextW"
ACTION_RE='Call (KERNEL32\.CreateProcessW|KERNEL32\.SetSystemPowerState|user32\.ExitWindowsEx)\('
ADD_RE='Call shell32\.Shell_NotifyIconA\(00000000,'
ICON_BOX_RE=$(e2e_box_re "$(e2e_text_re "$TXT_ICON_REFUSED")" 00000030)
RESTART_BOX_RE=$(e2e_box_re "$(e2e_text_re "$TXT_RESTART_FAILED")" 00000010)
NO_RESTART_BOX_RE=$(e2e_box_re "$(e2e_text_re "$TXT_RESTART_NOT_COME" '.*')" 00000010)
MISSED_BOX_RE=$(e2e_box_re "$(e2e_text_re "$TXT_MISSED" '[0-9:]{8}' '[0-9:]{8}')" 00000030)
MARKER=shutdown-ran.txt
HIBERNATE_BOX_RE=$(e2e_box_re "$(e2e_text_re "$TXT_HIBERNATE_OFF" '.*')" 00000030)
POWRPROF_MARKER=powrprof-loaded.txt

e2e_require_exe
# shell_icon.exe: what a shell does to the program's icon from outside; a stand-in for shutdown.exe that leaves a marker
# next to itself, another that refuses the restart; a powrprof.dll that says hibernation is off
e2e_helpers SHELL_ICON=shell_icon STAND_IN=shutdown_stand_in REFUSE=shutdown_refuse POWRPROF=powrprof

TMP=$E2E_WORK/tmp
rm -rf "$TMP"
mkdir -p "$TMP/app" "$TMP/cwd"

# The program in a folder with a planted Shutdown.exe, started from another folder holding one too.
E2E_EXE="$TMP/app/Tarveil XP.exe"
cp "$E2E_ROOT/build/win32/Tarveil XP.exe" "$E2E_EXE"
cp "$STAND_IN" "$TMP/app/Shutdown.exe"
cp "$STAND_IN" "$TMP/cwd/Shutdown.exe"
cp "$POWRPROF" "$TMP/app/powrprof.dll"
cp "$POWRPROF" "$TMP/cwd/powrprof.dll"

e2e_setup
SYSTEM32=$WINEPREFIX/drive_c/windows/system32
# The native shutdown.exe only, so that a missing file is really missing.
e2e_relay_include "$RELAY_FUNCS" || e2e_fail "set the relay filter"
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;shutdown.exe=n"
rm -f "$SYSTEM32/shutdown.exe"   # a hard link into the template: removed, never written through
# No powrprof.dll in the system folder, and no built-in one either: only a planted copy could answer.
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;powrprof=n"
rm -f "$SYSTEM32/powrprof.dll"
e2e_new_session

shell_helper() { (cd "$E2E_HELPERS" && WINEDEBUG=-all timeout "$(e2e_limit 30)" wine "$SHELL_ICON" "$1" >/dev/null 2>&1); }

mapped() { timeout 10 xwininfo -id "$wid" 2>/dev/null | grep -q 'Map State: IsViewable'; }
unmapped() { ! mapped; }
log_lines() { grep -a -c '' "$E2E_RELAY_LOG" 2>/dev/null || echo 0; }
# count_after FROM_LINE REGEX — trace lines after FROM_LINE matching REGEX (the program's calls only: its name shows
# in no other process's trace, and the helpers' own calls are not in the filter... except Shell_NotifyIconA, so the
# icon calls are counted on the program's thread).
APP_TID=
count_after() { tail -n +"$(($1 + 1))" "$E2E_RELAY_LOG" | grep -a -E "^[0-9.]+:${APP_TID:-[0-9a-f]+}:" | grep -a -c -E -- "$2"; }
has_after() { [ "$(count_after "$1" "$2")" -gt 0 ]; }
tray_has_icon() {
    local tray; tray=$(e2e_window_ids "$TRAY_RE" | head -n1)
    [ -n "$tray" ] && e2e_shot_window "$tray" "$E2E_WORK/tray.png" &&
        [ $(( 400 - $(e2e_count_color "$E2E_WORK/tray.png" $TRAY_ICON_AREA FFFFFF 8) )) -ge 40 ]
}
no_tray() { [ -z "$(e2e_window_ids "$TRAY_RE")" ]; }
# close_box — Enter on the program's message box (the one window named "Tarveil XP" that is not the main one), once
# it is on screen (the relay shows the call before the box is mapped), and until it is gone.
other_box() { e2e_window_ids '^Tarveil XP$' | grep -vx "$wid" | head -n1; }
box_shown() { [ -n "$(other_box)" ]; }
box_gone() { [ -z "$(other_box)" ]; }
close_box() {
    local b n
    e2e_wait_until 10 box_shown || return 1
    for n in 1 2 3; do
        b=$(other_box)
        [ -z "$b" ] && return 0
        timeout 10 xdotool windowfocus --sync "$b" >/dev/null 2>&1; timeout 10 xdotool key Return
        e2e_wait_until 3 box_gone && return 0
    done
    return 1
}
# arm OPTION_XY SECONDS — once the entry box is cleared, the time SECONDS ahead (or, for "lead", far enough ahead:
# e2e_lead) typed into it, the option picked, "OK". Sets T_MS and CHOSEN_MS, when the time was chosen.
arm() {
    local ox oy; read -r ox oy <<<"$1"
    e2e_clear_entry "$wid"
    CHOSEN_MS=$(e2e_now_ms)
    local lead=$2
    [ "$lead" = lead ] && lead=$(e2e_lead "$LEAD")
    local t=$(( CHOSEN_MS / 1000 + lead ))
    T_MS=$((t * 1000))
    timeout 30 xdotool type --delay 30 -- "$(date -d "@$t" +%H:%M:%S)"
    e2e_click_button "$wid" "$ox" "$oy"
    e2e_click "$wid" $OK_XY
}
# hidden: armed, the time it took noted for the next leads
armed_hidden() { unmapped && e2e_armed_since "$CHOSEN_MS"; }
# the countdown on screen: 'ANNULER !' and a digit, in a shot saved as FILE
countdown_shown() {
    e2e_shot_window "$wid" "$1" && [ "$(e2e_count_dark "$1" $CANCEL_BUTTON)" -ge 20 ] &&
        [ "$(e2e_count_dark "$1" $DIGIT_BOX)" -ge 5 ]
}
app_pid() {   # the wine process running the exe in this prefix
    local p
    for p in $(pgrep -f 'Tarveil XP\.exe'); do
        tr '\0' '\n' </proc/"$p"/environ 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" && { echo "$p"; return 0; }
    done
    return 1
}

: >"$E2E_RELAY_LOG"
(cd "$TMP/cwd" && WINEDEBUG=+timestamp,+relay exec wine "$E2E_EXE") >"$E2E_WORK/app.stdout" 2>"$E2E_RELAY_LOG" &
E2E_APP_PID=$!
wid=$(e2e_wait_window) || { e2e_fail "the window appears"; e2e_finish; }
e2e_pass "the window appears (program started from another folder)"

# --- The shell refuses the icon ---------------------------------------------------------------------------------
shell_helper add
e2e_assert_eq 0 "$?" "icon refused: a foreign icon holds the program's window and id"
from=$(log_lines)
arm "$VEILLE_XY" 600
e2e_check "icon refused: armed, the window hides" e2e_wait_until 10 unmapped
APP_TID=$(grep -a -E "$ADD_RE" "$E2E_RELAY_LOG" | head -n1 | cut -d: -f2)
e2e_assert_eq 1 "$(count_after "$from" 'Ret  shell32\.Shell_NotifyIconA\(\) retval=00000000')" "icon refused: the shell said no"
e2e_assert_eq "2 0" "$(count_after "$from" 'NotifyIconA\(00000001,') $(count_after "$from" "$ICON_BOX_RE")" "icon refused: set anew (then its balloon), no message"
icon_click() { timeout 10 xdotool mousemove --window "$(e2e_window_ids "$TRAY_RE" | head -n1)" $TRAY_ICON_XY click 1; }
icon_click; e2e_check "icon refused: a click on it brings the window back" e2e_wait_until 10 mapped

# --- powrprof.dll planted beside the program and in the current folder, none in the system folder ------------------
# That first "Mettre en veille" looked hibernation up: in the system folder only, where there is none, so it counts as
# available and the planted copies, which say no, change nothing (the next sections arm with it too).
e2e_assert_ge "$(count_after "$from" 'Call KERNEL32\.LoadLibraryExW\([0-9a-f]+ L"C:\\\\windows\\\\system32\\\\powrprof\.dll",')" 1 \
    "planted powrprof.dll: the system folder's is the one asked for, by full path (once a function)"
e2e_assert_eq 0 "$(count_after 0 'LoadLibraryExW\([0-9a-f]+ L"powrprof')" "planted powrprof.dll: never asked for by bare name"
e2e_assert_eq 0 "$(count_after "$from" "$HIBERNATE_BOX_RE")" "planted powrprof.dll: no message about hibernation"
e2e_check "planted powrprof.dll: the one beside the program never loaded" test ! -e "$TMP/app/$POWRPROF_MARKER"
e2e_check "planted powrprof.dll: the one in the current folder never loaded" test ! -e "$TMP/cwd/$POWRPROF_MARKER"

# --- The shell loses the icon and starts again ----------------------------------------------------------------------
from=$(log_lines)
arm "$VEILLE_XY" 600
e2e_check "new shell: armed, the window hides" e2e_wait_until 10 armed_hidden
e2e_check "new shell: the icon shows" e2e_wait_until 10 tray_has_icon
shell_helper del
e2e_check "new shell: the icon is gone from the shell" e2e_wait_until 10 no_tray
shell_helper new
e2e_check "new shell: after \"TaskbarCreated\" the icon is back" e2e_wait_until 10 tray_has_icon
e2e_assert_eq 3 "$(count_after "$from" 'Ret  shell32\.Shell_NotifyIconA\(\) retval=00000001')" "new shell: the add, its balloon and the re-add, all taken"
e2e_check "new shell: the window stays hidden" unmapped
# The same broadcast with the icon still there (a change of display scale, of monitors): the add refused, set anew.
from=$(log_lines)
shell_helper new
e2e_check "icon kept by the shell: set anew" e2e_wait_until 10 has_after "$from" 'Call shell32\.Shell_NotifyIconA\(00000001,'
e2e_check "icon kept by the shell: the window stays hidden" unmapped
icon_click; e2e_check "icon kept by the shell: a click on it brings the window back" e2e_wait_until 10 mapped
arm "$VEILLE_XY" 600
e2e_check "icon kept by the shell: \"OK\" arms again" e2e_wait_until 10 unmapped
e2e_assert_eq 0 "$(count_after "$from" "$ICON_BOX_RE")" "icon kept by the shell: no message"
icon_click && e2e_wait_until 10 mapped

# --- The process stopped across the target second -------------------------------------------------------------------
pid=$(app_pid) || e2e_fail "stopped: find the program's process"
from=$(log_lines)
arm "$VEILLE_XY" lead
e2e_check "stopped: armed, the window hides" e2e_wait_until 5 armed_hidden
e2e_sleep_until $((T_MS - 1500))
kill -STOP "$pid"
stopped_at=$(e2e_now_ms)
e2e_sleep_until $((T_MS + 2500))
e2e_assert_eq 0 "$(count_after "$from" "$ACTION_RE")" "stopped: nothing while stopped"
kill -CONT "$pid"
e2e_log "stopped $(( $(e2e_now_ms) - stopped_at )) ms across the target second"
if e2e_wait_until 4 mapped; then
    e2e_pass "stopped: the window is back with the countdown after the resume"
    e2e_wait_until 3 countdown_shown "$E2E_WORK/resumed.png"
    e2e_assert_ge "$(e2e_count_dark "$E2E_WORK/resumed.png" $CANCEL_BUTTON)" 20 "stopped: 'ANNULER !' shows"
    e2e_assert_ge "$(e2e_count_dark "$E2E_WORK/resumed.png" $DIGIT_BOX)" 5 "stopped: a countdown digit shows"
else
    e2e_fail "stopped: the window is back with the countdown after the resume"
fi
e2e_check "stopped: the action comes after the countdown" e2e_wait_until 10 has_after "$from" "$ACTION_RE"
e2e_assert_eq 1 "$(count_after "$from" 'Call KERNEL32\.SetSystemPowerState\(00000000,00000000\)')" "stopped: hibernation requested once"
e2e_pause 1.5
e2e_assert_eq 1 "$(count_after "$from" "$ACTION_RE")" "stopped: one action only"
e2e_click_button "$wid" $CANCEL_XY

# --- The process stopped 75 s in the middle of a countdown, as a lid closed on it would ---------------------------
from=$(log_lines)
arm "$VEILLE_XY" lead
e2e_check "cut countdown: armed, the window hides" e2e_wait_until 5 armed_hidden
e2e_check "cut countdown: the countdown is on screen" e2e_wait_by $((T_MS + 5000 * E2E_SLOW)) mapped
e2e_sleep_until $((T_MS + 2500))
kill -STOP "$pid"
sleep 75
kill -CONT "$pid"
if e2e_relay_wait "$MISSED_BOX_RE" 15; then e2e_pass "cut countdown: the missed time is said"; else
    e2e_fail "cut countdown: the missed time is said"; fi
e2e_check "cut countdown: the message closes" close_box
# the white button gone from the (black) desktop behind it
cancel_gone() { e2e_shot_window "$wid" "$E2E_WORK/cut.png" && [ "$(e2e_count_color "$E2E_WORK/cut.png" $CANCEL_BUTTON FFFFFF 8)" -le 300 ]; }
e2e_wait_until 3 cancel_gone
e2e_assert_le "$(e2e_count_color "$E2E_WORK/cut.png" $CANCEL_BUTTON FFFFFF 8)" 300 "cut countdown: stopped, 'ANNULER !' is gone"
e2e_pause 6
e2e_assert_eq 0 "$(count_after "$from" "$ACTION_RE")" "cut countdown: no action, then or later"
e2e_assert_eq 1 "$(count_after "$from" "$MISSED_BOX_RE")" "cut countdown: said once"

# The stand-in put in the system folder: that one, and only that one, runs.
cp "$STAND_IN" "$SYSTEM32/shutdown.exe"
from=$(log_lines)
arm "$REBOOT_XY" lead
e2e_check "system shutdown.exe: armed, the window hides" e2e_wait_until 5 armed_hidden
e2e_check "system shutdown.exe: it runs" e2e_wait_until 15 test -e "$SYSTEM32/$MARKER"
# It ends with 0: the program sees that end, and asks Windows for nothing more.
e2e_check "system shutdown.exe: its end is looked at" e2e_wait_until 10 has_after "$from" 'Ret  KERNEL32\.GetExitCodeProcess\('
e2e_pause 1
e2e_assert_eq 0 "$(count_after "$from" 'Call user32\.ExitWindowsEx\(')" "system shutdown.exe ends with 0: no ExitWindowsEx"
e2e_assert_eq 0 "$(count_after "$from" "$RESTART_BOX_RE")" "system shutdown.exe: no failure reported"
e2e_check "system shutdown.exe: the planted ones still never ran" test ! -e "$TMP/app/$MARKER" -a ! -e "$TMP/cwd/$MARKER"
# Nothing restarts under Wine: two minutes on, the program says the restart did not come, and asks nothing more.
if e2e_relay_wait "$NO_RESTART_BOX_RE" 180; then e2e_pass "system shutdown.exe: a restart that did not come is said"; else
    e2e_fail "system shutdown.exe: a restart that did not come is said"; fi
e2e_check "system shutdown.exe: that message closes" close_box
e2e_assert_eq 0 "$(count_after "$from" 'Call user32\.ExitWindowsEx\(')" "system shutdown.exe: still no ExitWindowsEx"
e2e_click_button "$wid" $CANCEL_XY

# --- The window closed during a power-off countdown -----------------------------------------------------------------
from=$(log_lines)
arm "$ARRETER_XY" lead
e2e_check "closed: armed, the window hides" e2e_wait_until 5 armed_hidden
e2e_sleep_until $((T_MS + 2400))
e2e_check "closed: the countdown is on screen" e2e_wait_until 5 mapped
e2e_wait_until 3 countdown_shown "$E2E_WORK/closing.png"
e2e_assert_ge "$(e2e_count_dark "$E2E_WORK/closing.png" $CANCEL_BUTTON)" 20 "closed: 'ANNULER !' shows before the close"
e2e_click "$wid" $CLOSE_XY
e2e_wait_app_exit 5
e2e_assert_eq 0 "$?" "closed: the program ends at once"
e2e_sleep_until $((T_MS + 7500))
e2e_assert_eq 0 "$(count_after "$from" "$ACTION_RE")" "closed: no power-off call"

# --- A powrprof.dll in the system folder that says hibernation is off (a second run) -----------------------------------
e2e_stop_app   # ended by the close above, unless a check there failed: its window must not be taken for the new one
e2e_wait_no_window '^Tarveil XP$' 10
cp "$POWRPROF" "$SYSTEM32/powrprof.dll"
rm -f "$TMP/app/$POWRPROF_MARKER" "$TMP/cwd/$POWRPROF_MARKER"
E2E_RELAY_LOG=$E2E_WORK/relay-powrprof.log
: >"$E2E_RELAY_LOG"
APP_TID=
(cd "$TMP/cwd" && WINEDEBUG=+timestamp,+relay exec wine "$E2E_EXE") >"$E2E_WORK/app2.stdout" 2>"$E2E_RELAY_LOG" &
E2E_APP_PID=$!
if wid=$(e2e_wait_window); then
    arm "$VEILLE_XY" 600
    if e2e_relay_wait "$HIBERNATE_BOX_RE" 15; then
        e2e_pass "hibernation off: 'OK' with \"Mettre en veille\" says so, in French, under the program's name"
    else
        e2e_fail "hibernation off: 'OK' with \"Mettre en veille\" says so, in French, under the program's name"
    fi
    e2e_check "hibernation off: the system folder's powrprof.dll was the one asked" test -e "$SYSTEM32/$POWRPROF_MARKER"
    e2e_assert_eq 0 "$(count_after 0 "$ADD_RE")" "hibernation off: no icon added"
    close_box
    e2e_check "hibernation off: the window stays shown" mapped
    arm "$ARRETER_XY" 600
    e2e_check "hibernation off: \"Arrêter\" still arms, the window hides" e2e_wait_until 10 unmapped
    icon_and_balloon() { [ "$(count_after 0 'Ret  shell32\.Shell_NotifyIconA\(\) retval=00000001')" = 2 ]; }
    e2e_check "hibernation off: \"Arrêter\" adds the icon, then its balloon" e2e_wait_until 5 icon_and_balloon
    e2e_assert_eq 1 "$(count_after 0 'Call user32\.MessageBoxW\(')" "hibernation off: no other message"
    e2e_check "hibernation off: the planted copies still never loaded" test ! -e "$TMP/app/$POWRPROF_MARKER" -a ! -e "$TMP/cwd/$POWRPROF_MARKER"
else
    e2e_fail "hibernation off: the window appears"
fi

# --- The restarts asked of Windows itself: last, as under Wine each ends the session ---------------------------------
FORCED_RE='Call user32\.ExitWindowsEx\(00000006,00000000\)'
SHUTDOWN_CALL_RE='Call KERNEL32\.CreateProcessW\([0-9a-f]+ L"C:\\\\windows\\\\system32\\\\shutdown\.exe",'
# restart_run NAME — a run of its own, armed to restart LEAD seconds ahead; true once Windows was asked, forced.
restart_run() {
    e2e_stop_app
    e2e_wait_no_window '^Tarveil XP$' 10
    # the session of the run before over, the one a restart asked of Windows ended included: a program started while
    # it goes down goes down with it
    e2e_wait_session_gone
    E2E_RELAY_LOG=$E2E_WORK/relay-$1.log
    : >"$E2E_RELAY_LOG"
    (cd "$TMP/cwd" && WINEDEBUG=+timestamp,+relay exec wine "$E2E_EXE") >>"$E2E_WORK/app.stdout" 2>"$E2E_RELAY_LOG" &
    E2E_APP_PID=$!
    wid=$(e2e_wait_window) || { e2e_fail "$1: the window appears again"; return 1; }
    APP_TID=
    from=0
    arm "$REBOOT_XY" lead
    e2e_check "$1: armed, the window hides" e2e_wait_until 5 armed_hidden
    APP_TID=$(grep -a -E "$ADD_RE" "$E2E_RELAY_LOG" | head -n1 | cut -d: -f2)
    if e2e_relay_wait "$FORCED_RE" 20; then
        e2e_pass "$1: Windows is asked for it, forced (ExitWindowsEx(EWX_REBOOT | EWX_FORCE, 0))"
    else
        e2e_fail "$1: Windows is asked for it, forced (ExitWindowsEx(EWX_REBOOT | EWX_FORCE, 0))"; return 1
    fi
    e2e_assert_eq 1 "$(count_after "$from" "$SHUTDOWN_CALL_RE")" "$1: the system's shutdown.exe was asked for first, by full path"
    e2e_assert_eq 1 "$(count_after "$from" 'Call user32\.ExitWindowsEx\(')" "$1: one ExitWindowsEx"
    e2e_assert_eq 0 "$(count_after "$from" "$RESTART_BOX_RE")" "$1: no failure reported"
}

# shutdown.exe missing from the system folder (as where a policy blocks it); planted ones beside the program and in
# the current folder.
rm -f "$SYSTEM32/shutdown.exe" "$SYSTEM32/$MARKER"
if restart_run "no shutdown.exe"; then
    e2e_assert_eq 1 "$(count_after "$from" 'Ret  KERNEL32\.CreateProcessW\(\) retval=00000000')" "no shutdown.exe: starting it failed"
    e2e_check "no shutdown.exe: the planted ones never ran" test ! -e "$TMP/app/$MARKER" -a ! -e "$TMP/cwd/$MARKER"
fi

# shutdown.exe refuses the restart.
cp "$REFUSE" "$SYSTEM32/shutdown.exe"
if restart_run "refused restart"; then
    e2e_assert_eq 1 "$(count_after "$from" 'Ret  KERNEL32\.GetExitCodeProcess\(')" "refused restart: after its end was read"
fi

e2e_finish
