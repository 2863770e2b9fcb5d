#!/usr/bin/env bash
# tests/e2e/test_wake_and_menu.sh — armed for what leaves the computer off, the program asks Windows to wake it a minute
# before the time (the wineserver's own trace shows the moment), and takes that back at "ANNULER !" and at the close;
# a restart asks for none; armed earlier, five minutes before. The balloon that says, once, what will happen, here
# that the plan forbids wake timers (a stand-in powrprof.dll); the icon's right-click menu, whose
# "Quitter sans rien faire" ends the program with no power call; the window's animations switched off at creation.
source "$(dirname "$0")/lib.sh"
# A local time half an hour off UTC, so that the wake-up's moment shows its conversion to UTC. Wine takes it from TZ;
# this script's own times are read in it too.
export TZ=XST-5:30

LEAD=10   # seconds from the start to the time on the command line, on a native run

e2e_require_exe
e2e_setup
e2e_relay_include "KERNEL32.CreateWaitableTimerW;KERNEL32.SetWaitableTimer;KERNEL32.CancelWaitableTimer;KERNEL32.CloseHandle;shell32.Shell_NotifyIconA;dwmapi.DwmSetWindowAttribute;user32.TrackPopupMenu;user32.ExitWindowsEx;KERNEL32.SetSystemPowerState;KERNEL32.CreateProcessW"
# A wineserver of the script's own, with its protocol trace: a timer's due time is behind a pointer in the relay, but
# the server prints it, in FILETIME ticks since 1601.
e2e_end_session
SERVER_LOG=$E2E_WORK/server.log
(exec wineserver -f -d1 -p) 2>"$SERVER_LOG" &
e2e_on_exit "kill $!"
e2e_helpers POWRPROF=powrprof  # into the system folder: a plan that forbids wake timers (replacing a hard link there)
cp --remove-destination "$POWRPROF" "$WINEPREFIX/drive_c/windows/system32/"
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;powrprof=n"

# start NAME ARGS... — the program under a relay trace of its own, with the shell's balloon and tooltip traces.
start() {
    E2E_RELAY_LOG=$E2E_WORK/relay-$1.log
    shift
    : >"$E2E_RELAY_LOG"
    (cd "$(dirname "$E2E_EXE")" && WINEDEBUG=+timestamp,+relay,+systray,+tooltips exec wine "$E2E_EXE" "$@") \
        >>"$E2E_WORK/app.stdout" 2>"$E2E_RELAY_LOG" &
    E2E_APP_PID=$!
}
count() { e2e_relay_count "$1"; }
# after LINE REGEX — the program's own calls matching REGEX after line LINE of its trace: Wine's services, and the
# desktop process that shows the icons, trace into it too, and handle values come round again.
tid=
lines() { grep -a -c '' "$E2E_RELAY_LOG"; }
after() { tail -n +"$(($1 + 1))" "$E2E_RELAY_LOG" | grep -a -c -E "^[0-9.]+:${tid:-none}:$2"; }
# The due time the server was given for a timer, for the UTC second UTC (seconds since 1970).
expire_hex() { printf '%x' $(( ($1 + 11644473600) * 10000000 )); }
set_for() { grep -a -q -E "set_timer\( handle=[0-9a-f]+, expire=$(expire_hex "$1") " "$SERVER_LOG"; }
# Found again each time: the program's window hides and shows between the checks, and a search that meets a window
# going away fails, so it is tried again until the time is up.
shown() { [ -n "$(e2e_window_ids "$1" | head -n1)" ]; }
window() { e2e_wait_until "$2" shown "$1" && e2e_window_ids "$1" | head -n1; }
# The balloon and the menu have no name: the shell's windows and the program's own, less the tray and the window.
nameless() { timeout 10 xdotool search --onlyvisible --classname "$1" 2>/dev/null | while read -r w; do
    [ -z "$(timeout 10 xdotool getwindowname "$w" 2>/dev/null)" ] && echo "$w"; done | head -n1; }
balloon_shown() { [ -n "$(nameless explorer.exe)" ]; }
balloon_gone() { ! balloon_shown; }
menu_shown() { [ -n "$(nameless 'tarveil xp.exe')" ]; }

# --- Power-off from the command line, LEAD seconds ahead -------------------------------------------------------------
# A start slowed past the time would rightly wait for the next day: it is made again with the lead the last one took.
lead=$(e2e_limit "$LEAD")
for attempt in 1 2 3; do
    t=$(( $(date +%s) + lead ))
    T=$(date -d "@$t" +%H:%M:%S)
    started=$(e2e_now_ms)
    start off "$T" /arreter
    e2e_wait_by $((t * 1000 - 1000)) _e2e_relay_has 'Call shell32\.Shell_NotifyIconA\(00000000,' && break
    e2e_log "attempt $attempt: not armed a second before $T: again"
    e2e_stop_app
    [ "$attempt" = 3 ] && { e2e_fail "armed: the icon is added"; e2e_finish; }
    lead=$(( 2 * ($(e2e_now_ms) - started) / 1000 + 4 ))
done
tid=$(e2e_relay_grep 'Call shell32\.Shell_NotifyIconA\(00000000,' | head -n1 | cut -d: -f2)
e2e_assert_eq 1 "$(count 'Call dwmapi\.DwmSetWindowAttribute\([0-9a-f]+,00000003,[0-9a-f]+,00000004\)')" \
    "at creation, the window's transitions are switched off (DWMWA_TRANSITIONS_FORCEDISABLED)"
tray=$(window "$TRAY_RE" 20) || e2e_fail "armed: the icon shows"
e2e_relay_wait 'Call shell32\.Shell_NotifyIconA\(00000001,' 5
e2e_assert_eq 1 "$(count 'Call KERNEL32\.SetWaitableTimer\([0-9a-f]+,[0-9a-f]+,00000000,00000000,00000000,00000001\)')" \
    "armed: one waitable timer set, resume on"
if e2e_wait_until 5 set_for $((t - 60)); then e2e_pass "armed: its due time is a minute before $T, in UTC"; else
    e2e_fail "armed: its due time is a minute before $T, in UTC" "$(grep -a 'set_timer(' "$SERVER_LOG" | tail -n 3)"; fi
timer=$(e2e_relay_grep 'Ret  KERNEL32\.CreateWaitableTimerW\(\) retval=' | head -n1 | sed -E 's/.*retval=([0-9a-f]+).*/\1/')
# The balloon: one NIM_MODIFY of its own (a wrong size is refused and shows nothing), NIF_INFO alone, the title and
# the information icon, and the text, which says too that the power options will not let the computer wake.
e2e_relay_wait 'TOOLTIPS_SetTitleT hwnd = [0-9A-Fa-f]+, title = L"Tarveil XP", icon = 00000001' 5
b=$(count 'Call shell32\.Shell_NotifyIconA\(00000001,')
b="$b $(count 'trace:systray:modify_icon id=0x1 hwnd=[0-9A-Fa-f]+ flags=10$')"
b="$b $(count 'TOOLTIPS_SetTitleT hwnd = [0-9A-Fa-f]+, title = L"Tarveil XP", icon = 00000001')"
b="$b $(count "TOOLTIPS_AddToolT add text L\"$(e2e_text_re "$TXT_BALLOON_OFF$TXT_BALLOON_PLAN$TXT_BALLOON_CLICK" "$T")\"")"
e2e_assert_eq "1 1 1 1" "$b" "balloon: NIM_MODIFY, NIF_INFO, titled, the information icon, what and when, power options"

e2e_shot_root "$E2E_WORK/balloon.png"

# The countdown, cancelled: the wake-up goes with it.
if wid=$(window "$E2E_WINDOW_NAME" $((lead + 5))); then
    # in the middle of the countdown, long before its action
    e2e_sleep_until $((t * 1000 + 2500))
    from=$(lines)
    e2e_click "$wid" $CANCEL_XY
    e2e_relay_wait "Call KERNEL32\.CancelWaitableTimer\($timer\)" 5
    e2e_assert_eq 1 "$(after "$from" "Call KERNEL32\.CancelWaitableTimer\($timer\)")" "'ANNULER !': the wake-up is cancelled"
    e2e_assert_eq 1 "$(after "$from" "Call KERNEL32\.CloseHandle\($timer\)")" "'ANNULER !': its timer closed"
else
    e2e_fail "the countdown brings the window back"
fi

# "OK" again: the time has passed today, so the wake-up is for tomorrow.
e2e_click "$wid" $OK_XY
if e2e_wait_until 10 set_for $((t - 300 + 86400)); then e2e_pass "armed again: woken 5 minutes before $T tomorrow"; else
    e2e_fail "armed again: woken 5 minutes before $T tomorrow"; fi
e2e_relay_wait 'Ret  KERNEL32\.CreateWaitableTimerW\(\)' 5
timer=$(e2e_relay_grep 'Ret  KERNEL32\.CreateWaitableTimerW\(\) retval=' | tail -n1 | sed -E 's/.*retval=([0-9a-f]+).*/\1/')

# The icon's menu: the balloon clicked away first (it lies over the menu), then a right click on the icon.
from=$(lines)
e2e_wait_until 10 balloon_shown && timeout 10 xdotool mousemove --window "$(nameless explorer.exe)" 30 30 click 1
e2e_wait_until 15 balloon_gone || e2e_fail "the balloon goes when clicked"
timeout 10 xdotool mousemove --window "$tray" $TRAY_ICON_XY click 3
if e2e_wait_until 10 menu_shown; then
    menu=$(nameless 'tarveil xp.exe')
    e2e_pass "a right click on the icon opens its menu"
    e2e_shot_root "$E2E_WORK/menu.png"
    e2e_geometry "$menu"
    # Its last line, "Quitter sans rien faire".
    timeout 10 xdotool mousemove --window "$menu" $((E2E_WIN_W / 2)) $((E2E_WIN_H - 8)) click 1
    e2e_wait_app_exit 20
    e2e_assert_eq 0 "$?" "\"Quitter sans rien faire\" ends the program, status 0"
    e2e_assert_eq 1 "$(after "$from" 'Ret  user32\.TrackPopupMenu\(\) retval=00000002')" "the menu gave back its last line"
    e2e_assert_eq 1 "$(after "$from" "Call KERNEL32\.CancelWaitableTimer\($timer\)")" "the close cancels the wake-up"
else
    e2e_fail "a right click on the icon opens its menu"
fi
e2e_assert_eq 0 "$(after 0 'Call (user32\.ExitWindowsEx|KERNEL32\.SetSystemPowerState|KERNEL32\.CreateProcessW)\(')" \
    "no power call in the whole run"
e2e_stop_app

# --- Restart: no wake-up --------------------------------------------------------------------------------------------
t=$(( $(date +%s) + 600 ))
T=$(date -d "@$t" +%H:%M:%S)
start restart "$T" /redemarrer
if e2e_relay_wait 'Call shell32\.Shell_NotifyIconA\(00000001,' 30; then
    e2e_assert_eq 0 "$(count 'Call KERNEL32\.(CreateWaitableTimerW|SetWaitableTimer)\(')" "restart: no wake-up asked"
else
    e2e_fail "restart: armed, with its balloon"
fi
e2e_stop_app

e2e_finish
