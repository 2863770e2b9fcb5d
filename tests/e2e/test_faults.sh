#!/usr/bin/env bash
# tests/e2e/test_faults.sh — faults made real under Wine while the release exe waits or counts down: the shell holding
# the icon, the shell losing it and announcing itself again, the process stopped across the target second and in the
# middle of a countdown, a system shutdown.exe that ends with 0 and no restart following, the window closed during a
# power-off countdown, the system shutdown.exe missing with a Shutdown.exe planted next to the program and in the
# current folder, and a system shutdown.exe that refuses the restart (exits with 1). One program run, started from a
# folder of its own, with a powrprof.dll saying "no hibernation" planted beside it and in the current folder and none
# in the system folder; then a second, short run with that powrprof.dll in the system folder; and two more for the
# restarts asked of Windows itself, each of which under Wine ends the session.
source "$(dirname "$0")/lib.sh"

ENTRY_XY="120 68"
OK_XY="204 126"
CANCEL_XY="120 164"
CLOSE_XY="234 8"
ARRETER_XY="50 96"
REBOOT_XY="150 96"
VEILLE_XY="110 120"
CLOCK_BOX="64 24 177 46"
DIGIT_BOX="24 122 40 138"
CANCEL_BUTTON="56 152 184 177"
TRAY_RE='^Wine System Tray$'
TRAY_ICON_AREA="0 0 19 19"
LEAD=5

RELAY_FUNCS="shell32.Shell_NotifyIconA;user32.MessageBoxW;KERNEL32.CreateProcessW;KERNEL32.SetSystemPowerState;user32.ExitWindowsEx;KERNEL32.GetExitCodeProcess"
RELAY_FUNCS="$RELAY_FUNCS;KERNEL32.LoadLibraryExW;powrprof.IsPwrHibernateAllowed"
ACTION_RE='Call (KERNEL32\.CreateProcessW|KERNEL32\.SetSystemPowerState|user32\.ExitWindowsEx)\('
ADD_RE='Call shell32\.Shell_NotifyIconA\(00000000,'
ICON_BOX_RE='Call user32\.MessageBoxW\([0-9a-f]+,[0-9a-f]+ L"L'"'"'ic\\00f4ne n'"'"'a pas pu \\00eatre plac\\00e9e dans la zone de notification : la fen\\00eatre reste affich\\00e9e\.\\nL'"'"'heure programm\\00e9e reste valable\.",[0-9a-f]+ L"Tarveil XP",00000030\)'
RESTART_BOX_RE='Call user32\.MessageBoxW\([0-9a-f]+,[0-9a-f]+ L"Le red\\00e9marrage de l'"'"'ordinateur a \\00e9chou\\00e9\.",[0-9a-f]+ L"Tarveil XP",00000010\)'
NO_RESTART_BOX_RE='Call user32\.MessageBoxW\([0-9a-f]+,[0-9a-f]+ L"Windows a accept\\00e9 le red\\00e9marrage de l'"'"'ordinateur, mais il n'"'"'a pas eu lieu : .*L"Tarveil XP",00000010\)'
MISSED_BOX_RE='Call user32\.MessageBoxW\([0-9a-f]+,[0-9a-f]+ L"L'"'"'heure programm\\00e9e, [0-9:]{8}, est pass\\00e9e pendant que l'"'"'ordinateur \\00e9tait en veille .*L"Tarveil XP",00000030\)'
MARKER=shutdown-ran.txt
HIBERNATE_BOX_RE='Call user32\.MessageBoxW\([0-9a-f]+,[0-9a-f]+ L"La mise en veille prolong\\00e9e est d\\00e9sactiv\\00e9e sur cet ordinateur : .*L"Tarveil XP",00000030\)'
POWRPROF_MARKER=powrprof-loaded.txt

CC_WIN=${CC_WIN:-}
for cc in i686-w64-mingw32-gcc i686-w64-mingw32-gcc-win32 i686-w64-mingw32-gcc-posix; do
    [ -z "$CC_WIN" ] && command -v "$cc" >/dev/null && CC_WIN=$cc
done

e2e_require_exe
command -v "${CC_WIN:-none}" >/dev/null || { e2e_fail "a MinGW C compiler (i686-w64-mingw32-gcc) available"; e2e_finish; }

TMP=$E2E_WORK/tmp
rm -rf "$TMP"
mkdir -p "$TMP/app" "$TMP/cwd" "$TMP/helpers"

# shell.exe: what a shell does to the program's icon from outside — "add" an icon of its own under the program's
# window and id (so the program's add is a duplicate the shell refuses), "del" it (the icon lost), and "new": the
# "TaskbarCreated" broadcast of a shell that has just started.
cat >"$TMP/helpers/shell.c" <<'EOF'
#include <windows.h>
#include <shellapi.h>
int main(int argc, char** argv) {
    NOTIFYICONDATAA d;
    if (argc < 2) return 3;
    if (argv[1][0] == 'n') return SendNotifyMessageW(HWND_BROADCAST, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0) ? 0 : 1;
    ZeroMemory(&d, sizeof d);
    d.cbSize = NOTIFYICONDATAA_V1_SIZE;
    d.hWnd = FindWindowW(L"TarveilXPForm", NULL);
    d.uID = 1;
    if (!d.hWnd) return 2;
    if (argv[1][0] == 'a') {
        d.uFlags = NIF_ICON | NIF_TIP;
        d.hIcon = LoadIconW(NULL, (LPCWSTR)IDI_WARNING);
        lstrcpyA(d.szTip, "occupied");
        return Shell_NotifyIconA(NIM_ADD, &d) ? 0 : 1;
    }
    return Shell_NotifyIconA(NIM_DELETE, &d) ? 0 : 1;
}
EOF
# A stand-in for shutdown.exe that leaves a marker next to itself when run.
cat >"$TMP/helpers/marker.c" <<'EOF'
#include <windows.h>
#include <wchar.h>
int main(void) {
    wchar_t path[MAX_PATH];
    HANDLE f;
    GetModuleFileNameW(NULL, path, MAX_PATH);
    wcscpy(wcsrchr(path, L'\\') + 1, L"shutdown-ran.txt");
    f = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (f == INVALID_HANDLE_VALUE) return 1;
    CloseHandle(f);
    return 0;
}
EOF
# A stand-in for shutdown.exe on a limited XP account, which lacks the right to force a shutdown: it restarts nothing
# and exits with 1.
cat >"$TMP/helpers/refuse.c" <<'EOF'
int main(void) { return 1; }
EOF
# All are GUI programs: a console program started by the window gets a console window of its own, which can take
# the keyboard from the window the script types into next.
for h in shell marker refuse; do
    if ! "$CC_WIN" -O1 -s -mwindows -o "$TMP/helpers/$h.exe" "$TMP/helpers/$h.c" 2>"$E2E_WORK/$h-cc.log"; then
        e2e_fail "build helper $h.exe" "$(head -c 400 "$E2E_WORK/$h-cc.log")"; e2e_finish
    fi
done
# A powrprof.dll whose IsPwrHibernateAllowed says no, and which leaves a marker next to itself when loaded. Exported
# undecorated (--kill-at), as Windows' own.
cat >"$TMP/helpers/powrprof.c" <<'EOF'
#include <windows.h>
#include <wchar.h>
BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID unused) {
    wchar_t path[MAX_PATH];
    HANDLE f;
    (void)unused;
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    GetModuleFileNameW(self, path, MAX_PATH);
    wcscpy(wcsrchr(path, L'\\') + 1, L"powrprof-loaded.txt");
    f = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
    return TRUE;
}
__declspec(dllexport) BOOLEAN WINAPI IsPwrHibernateAllowed(void) { return FALSE; }
EOF
if ! "$CC_WIN" -O1 -s -shared -Wl,--kill-at -o "$TMP/helpers/powrprof.dll" "$TMP/helpers/powrprof.c" 2>"$E2E_WORK/powrprof-cc.log"; then
    e2e_fail "build helper powrprof.dll" "$(head -c 400 "$E2E_WORK/powrprof-cc.log")"; e2e_finish
fi

# The program in a folder with a planted Shutdown.exe, started from another folder holding one too.
E2E_EXE="$TMP/app/Tarveil XP.exe"
cp "$E2E_ROOT/build/win32/Tarveil XP.exe" "$E2E_EXE"
cp "$TMP/helpers/marker.exe" "$TMP/app/Shutdown.exe"
cp "$TMP/helpers/marker.exe" "$TMP/cwd/Shutdown.exe"
cp "$TMP/helpers/powrprof.dll" "$TMP/app/powrprof.dll"
cp "$TMP/helpers/powrprof.dll" "$TMP/cwd/powrprof.dll"

e2e_setup
SYSTEM32=$WINEPREFIX/drive_c/windows/system32
# The native shutdown.exe only, so that a missing file is really missing.
e2e_relay_include "$RELAY_FUNCS" || e2e_fail "set the relay filter"
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;shutdown.exe=n"
rm -f "$SYSTEM32/shutdown.exe"   # a hard link into the template: removed, never written through
# No powrprof.dll in the system folder, and no built-in one either: only a planted copy could answer.
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;powrprof=n"
rm -f "$SYSTEM32/powrprof.dll"
timeout 20 wineserver -k >/dev/null 2>&1; timeout 20 wineserver -w >/dev/null 2>&1
WINEDEBUG=-all timeout 60 wine reg query 'HKCU\Software\Wine\X11 Driver' >/dev/null 2>&1

shell_helper() { (cd "$TMP/helpers" && WINEDEBUG=-all timeout 30 wine "$TMP/helpers/shell.exe" "$1" >/dev/null 2>&1); }

now_ms() { date +%s%3N; }
sleep_until_ms() {
    local d=$(($1 - $(now_ms)))
    [ "$d" -gt 0 ] && sleep "$(printf '%d.%03d' $((d / 1000)) $((d % 1000)))"
    return 0
}
mapped() { timeout 10 xwininfo -id "$wid" 2>/dev/null | grep -q 'Map State: IsViewable'; }
unmapped() { ! mapped; }
log_lines() { grep -a -c '' "$E2E_RELAY_LOG" 2>/dev/null || echo 0; }
# count_after FROM_LINE REGEX — trace lines after FROM_LINE matching REGEX (the program's calls only: its name shows
# in no other process's trace, and the helpers' own calls are not in the filter... except Shell_NotifyIconA, so the
# icon calls are counted on the program's thread).
APP_TID=
count_after() { tail -n +"$(($1 + 1))" "$E2E_RELAY_LOG" | grep -a -E "^[0-9.]+:${APP_TID:-[0-9a-f]+}:" | grep -a -c -E -- "$2"; }
has_after() { [ "$(count_after "$1" "$2")" -gt 0 ]; }
clock_runs() {
    e2e_shot_window "$wid" "$E2E_WORK/clock-a.png" || return 1
    sleep 1.2
    e2e_shot_window "$wid" "$E2E_WORK/clock-b.png" || return 1
    [ "$(e2e_diff_count "$E2E_WORK/clock-a.png" "$E2E_WORK/clock-b.png" $CLOCK_BOX)" -gt 0 ]
}
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
# arm OPTION_XY SECONDS — the time SECONDS ahead typed into the cleared entry box, the option picked, "OK".
arm() {
    local ox oy; read -r ox oy <<<"$1"
    e2e_click "$wid" $ENTRY_XY
    sleep 0.3
    local t=$(( $(date +%s) + $2 ))
    T_MS=$((t * 1000))
    timeout 30 xdotool type --delay 30 -- "$(date -d "@$t" +%H:%M:%S)"
    e2e_click "$wid" "$ox" "$oy"
    e2e_click "$wid" $OK_XY
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

# --- The shell holds the icon already -------------------------------------------------------------------------------
# An icon under the program's window and id, as one the shell kept: the add is refused as a duplicate, the icon set anew.
shell_helper add
e2e_assert_eq 0 "$?" "icon already there: a foreign icon holds the program's window and id"
from=$(log_lines)
arm "$VEILLE_XY" 600
e2e_check "icon already there: armed, the window hides" e2e_wait_until 10 unmapped
APP_TID=$(grep -a -E "$ADD_RE" "$E2E_RELAY_LOG" | head -n1 | cut -d: -f2)
e2e_assert_eq "1 2 0" "$(count_after "$from" 'NotifyIconA\(\) retval=00000000') $(count_after "$from" 'NotifyIconA\(00000001,') $(
    count_after "$from" "$ICON_BOX_RE")" "icon already there: the add refused, the icon set anew (then its balloon), no message"
icon_click() { timeout 10 xdotool mousemove --window "$(e2e_window_ids "$TRAY_RE" | head -n1)" 10 10 click 1; }
icon_click; e2e_check "icon already there: a click on it brings the window back" e2e_wait_until 10 mapped

# --- powrprof.dll planted beside the program and in the current folder, none in the system folder ------------------
# That first "Mettre en veille" looked hibernation up: in the system folder only, where there is none, so it counts as
# available and the planted copies, which say no, change nothing (the next sections arm with it too). The system
# folder's is asked for once for each of its functions the program looks up, none of which is there.
e2e_assert_ge "$(count_after "$from" 'Call KERNEL32\.LoadLibraryExW\([0-9a-f]+ L"C:\\\\windows\\\\system32\\\\powrprof\.dll",')" 1 \
    "planted powrprof.dll: the system folder's is the one asked for, by full path"
e2e_assert_eq 0 "$(count_after 0 'LoadLibraryExW\([0-9a-f]+ L"powrprof')" "planted powrprof.dll: never asked for by bare name"
e2e_assert_eq 0 "$(count_after "$from" "$HIBERNATE_BOX_RE")" "planted powrprof.dll: no message about hibernation"
e2e_check "planted powrprof.dll: the one beside the program never loaded" test ! -e "$TMP/app/$POWRPROF_MARKER"
e2e_check "planted powrprof.dll: the one in the current folder never loaded" test ! -e "$TMP/cwd/$POWRPROF_MARKER"

# --- The shell loses the icon and starts again ----------------------------------------------------------------------
from=$(log_lines)
arm "$VEILLE_XY" 600
e2e_check "new shell: armed, the window hides" e2e_wait_until 10 unmapped
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
arm "$VEILLE_XY" "$LEAD"
e2e_check "stopped: armed, the window hides" e2e_wait_until 5 unmapped
sleep_until_ms $((T_MS - 1500))
kill -STOP "$pid"
stopped_at=$(now_ms)
sleep_until_ms $((T_MS + 2500))
e2e_assert_eq 0 "$(count_after "$from" "$ACTION_RE")" "stopped: nothing while stopped"
kill -CONT "$pid"
e2e_log "stopped $(( $(now_ms) - stopped_at )) ms across the target second"
if e2e_wait_until 4 mapped; then
    e2e_pass "stopped: the window is back with the countdown after the resume"
    sleep 0.4
    e2e_shot_window "$wid" "$E2E_WORK/resumed.png"
    e2e_assert_ge "$(e2e_count_dark "$E2E_WORK/resumed.png" $CANCEL_BUTTON)" 20 "stopped: 'ANNULER !' shows"
    e2e_assert_ge "$(e2e_count_dark "$E2E_WORK/resumed.png" $DIGIT_BOX)" 5 "stopped: a countdown digit shows"
else
    e2e_fail "stopped: the window is back with the countdown after the resume"
fi
e2e_check "stopped: the action comes after the countdown" e2e_wait_until 10 has_after "$from" "$ACTION_RE"
e2e_assert_eq 1 "$(count_after "$from" 'Call KERNEL32\.SetSystemPowerState\(00000000,00000000\)')" "stopped: hibernation requested once"
sleep 1.5
e2e_assert_eq 1 "$(count_after "$from" "$ACTION_RE")" "stopped: one action only"
e2e_click "$wid" $CANCEL_XY
sleep 0.5

# --- The process stopped 75 s in the middle of a countdown, as a lid closed on it would ---------------------------
from=$(log_lines)
arm "$VEILLE_XY" "$LEAD"
e2e_check "cut countdown: armed, the window hides" e2e_wait_until 5 unmapped
e2e_check "cut countdown: the countdown is on screen" e2e_wait_until $((LEAD + 5)) mapped
sleep_until_ms $((T_MS + 2500))
kill -STOP "$pid"
sleep 75
kill -CONT "$pid"
if e2e_relay_wait "$MISSED_BOX_RE" 15; then e2e_pass "cut countdown: the missed time is said"; else
    e2e_fail "cut countdown: the missed time is said"; fi
e2e_check "cut countdown: the message closes" close_box
e2e_shot_window "$wid" "$E2E_WORK/cut.png"
# the white button gone from the (black) desktop behind it
e2e_assert_le "$(e2e_count_color "$E2E_WORK/cut.png" $CANCEL_BUTTON FFFFFF 8)" 300 "cut countdown: stopped, 'ANNULER !' is gone"
sleep 6
e2e_assert_eq 0 "$(count_after "$from" "$ACTION_RE")" "cut countdown: no action, then or later"
e2e_assert_eq 1 "$(count_after "$from" "$MISSED_BOX_RE")" "cut countdown: said once"

# The stand-in put in the system folder: that one, and only that one, runs.
cp "$TMP/helpers/marker.exe" "$SYSTEM32/shutdown.exe"
from=$(log_lines)
arm "$REBOOT_XY" "$LEAD"
e2e_check "system shutdown.exe: armed, the window hides" e2e_wait_until 5 unmapped
e2e_check "system shutdown.exe: it runs" e2e_wait_until 15 test -e "$SYSTEM32/$MARKER"
# It ends with 0: the program sees that end, and asks Windows for nothing more.
e2e_check "system shutdown.exe: its end is looked at" e2e_wait_until 10 has_after "$from" 'Ret  KERNEL32\.GetExitCodeProcess\('
sleep 1
e2e_assert_eq 0 "$(count_after "$from" 'Call user32\.ExitWindowsEx\(')" "system shutdown.exe ends with 0: no ExitWindowsEx"
e2e_assert_eq 0 "$(count_after "$from" "$RESTART_BOX_RE")" "system shutdown.exe: no failure reported"
e2e_check "system shutdown.exe: the planted ones still never ran" test ! -e "$TMP/app/$MARKER" -a ! -e "$TMP/cwd/$MARKER"
# Nothing restarts under Wine: two minutes on, the program says the restart did not come, and asks nothing more.
if e2e_relay_wait "$NO_RESTART_BOX_RE" 180; then e2e_pass "system shutdown.exe: a restart that did not come is said"; else
    e2e_fail "system shutdown.exe: a restart that did not come is said"; fi
e2e_check "system shutdown.exe: that message closes" close_box
e2e_assert_eq 0 "$(count_after "$from" 'Call user32\.ExitWindowsEx\(')" "system shutdown.exe: still no ExitWindowsEx"
e2e_click "$wid" $CANCEL_XY
sleep 0.5

# --- The window closed during a power-off countdown -----------------------------------------------------------------
from=$(log_lines)
arm "$ARRETER_XY" "$LEAD"
e2e_check "closed: armed, the window hides" e2e_wait_until 5 unmapped
sleep_until_ms $((T_MS + 2400))
e2e_check "closed: the countdown is on screen" e2e_wait_until 5 mapped
e2e_shot_window "$wid" "$E2E_WORK/closing.png"
e2e_assert_ge "$(e2e_count_dark "$E2E_WORK/closing.png" $CANCEL_BUTTON)" 20 "closed: 'ANNULER !' shows before the close"
e2e_click "$wid" $CLOSE_XY
e2e_wait_app_exit 5
e2e_assert_eq 0 "$?" "closed: the program ends at once"
sleep_until_ms $((T_MS + 7500))
e2e_assert_eq 0 "$(count_after "$from" "$ACTION_RE")" "closed: no power-off call"

# --- A powrprof.dll in the system folder that says hibernation is off (a second run) -----------------------------------
e2e_stop_app   # ended by the close above, unless a check there failed: its window must not be taken for the new one
e2e_wait_no_window '^Tarveil XP$' 10
cp "$TMP/helpers/powrprof.dll" "$SYSTEM32/powrprof.dll"
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
    # The balloon follows the hide.
    icon_and_balloon() { [ "$(count_after 0 'Ret  shell32\.Shell_NotifyIconA\(\) retval=00000001')" = 2 ]; }
    e2e_check "hibernation off: \"Arrêter\" adds the icon, and its balloon" e2e_wait_until 5 icon_and_balloon
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
    E2E_RELAY_LOG=$E2E_WORK/relay-$1.log
    : >"$E2E_RELAY_LOG"
    (cd "$TMP/cwd" && WINEDEBUG=+timestamp,+relay exec wine "$E2E_EXE") >>"$E2E_WORK/app.stdout" 2>"$E2E_RELAY_LOG" &
    E2E_APP_PID=$!
    wid=$(e2e_wait_window) || { e2e_fail "$1: the window appears again"; return 1; }
    APP_TID=
    from=0
    arm "$REBOOT_XY" "$LEAD"
    e2e_check "$1: armed, the window hides" e2e_wait_until 5 unmapped
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
cp "$TMP/helpers/refuse.exe" "$SYSTEM32/shutdown.exe"
if restart_run "refused restart"; then
    e2e_assert_eq 1 "$(count_after "$from" 'Ret  KERNEL32\.GetExitCodeProcess\(')" "refused restart: after its end was read"
fi

e2e_finish
