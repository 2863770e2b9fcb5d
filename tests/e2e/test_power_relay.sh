#!/usr/bin/env bash
# Runs the power probe under Wine with a relay trace: the exact system calls and values of each power
# action, and that a planted Shutdown.exe next to the program or in the current folder never runs.
# Expects the win32-tests build (cmake --preset win32-tests && cmake --build --preset win32-tests).

source "$(dirname "$0")/lib.sh"

PROBE=${PROBE:-$E2E_ROOT/build/win32-tests/power_probe.exe}
RELAY_FUNCTIONS="ExitWindowsEx;SetSystemPowerState;OpenProcessToken;LookupPrivilegeValueA;AdjustTokenPrivileges;CreateProcessW;CloseHandle"
COMMAND_LINE=$TXT_RESTART_LINE
MARKER=shutdown-ran.txt

if [ ! -f "$PROBE" ]; then
    e2e_fail "power_probe.exe built" "$PROBE not found (cmake --preset win32-tests && cmake --build --preset win32-tests)"
    e2e_finish
fi
# a stand-in for shutdown.exe that leaves, next to itself, how it was started
e2e_helpers STAND_IN=shutdown_stand_in

TMP=$E2E_WORK/tmp
rm -rf "$TMP"
mkdir -p "$TMP/app" "$TMP/cwd" "$TMP/control"

e2e_prefix || { e2e_fail "create wine prefix"; e2e_finish; }
SYSTEM32=$WINEPREFIX/drive_c/windows/system32
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;shutdown.exe=n"   # the real file in system32, not Wine's built-in

cp "$PROBE" "$TMP/app/power_probe.exe"
cp "$STAND_IN" "$TMP/app/Shutdown.exe"
cp "$STAND_IN" "$TMP/cwd/Shutdown.exe"
cp "$STAND_IN" "$TMP/control/Shutdown.exe"
rm -f "$SYSTEM32/shutdown.exe"   # a hard link into the template: removed, never written through
cp "$STAND_IN" "$SYSTEM32/shutdown.exe"
rm -f "$SYSTEM32/$MARKER"

e2e_relay_include "$RELAY_FUNCTIONS" || { e2e_fail "set RelayInclude"; e2e_finish; }
# A server that stays up, and one untraced run first, so Wine's own services start outside the traces.
wineserver -p >/dev/null 2>&1
(cd "$TMP/cwd" && WINEDEBUG=-all timeout "$(e2e_limit 60)" wine "$TMP/app/power_probe.exe" >"$E2E_WORK/warmup.out" 2>&1)
e2e_assert_eq 2 "$?" "probe without an action exits 2"

# The stand-in really runs and leaves its marker when started: the absence checks below mean something.
(cd "$TMP/control" && WINEDEBUG=-all timeout "$(e2e_limit 60)" wine "$TMP/control/Shutdown.exe" >/dev/null 2>&1)
e2e_check "planted Shutdown.exe leaves a marker when it is run" test -f "$TMP/control/$MARKER"

# run_probe ACTION — runs it from the cwd folder under +relay; sets PROBE_STATUS, PROBE_OUT and
# E2E_RELAY_LOG (only the probe's own thread's lines).
run_probe() {
    local action=$1 raw=$E2E_WORK/relay-$1.raw
    PROBE_OUT=$E2E_WORK/probe-$action.out
    (cd "$TMP/cwd" && WINEDEBUG=+relay timeout "$(e2e_limit 60)" wine "$TMP/app/power_probe.exe" "$action") >"$PROBE_OUT.crlf" 2>"$raw"
    PROBE_STATUS=$?
    tr -d '\r' <"$PROBE_OUT.crlf" >"$PROBE_OUT"   # the Wine console ends lines with CR LF
    local tid
    tid=$(sed -n 's/^thread \([0-9a-f]*\).*/\1/p' "$PROBE_OUT" | head -n1)
    E2E_RELAY_LOG=$E2E_WORK/relay-$action.log
    if [ -n "$tid" ]; then grep -a "^$tid:" "$raw" >"$E2E_RELAY_LOG"; else : >"$E2E_RELAY_LOG"; fi
}

# count_exact TEXT — trace lines containing TEXT as is (case and all).
count_exact() { grep -a -c -F -- "$1" "$E2E_RELAY_LOG"; }
# first_line REGEX — line number of the first matching trace line, 0 when none.
first_line() { local n; n=$(grep -a -n -E -m1 -- "$1" "$E2E_RELAY_LOG" | cut -d: -f1); echo "${n:-0}"; }

# check_privilege_steps ACTION REQUEST_REGEX — the token steps, their values and their order.
check_privilege_steps() {
    local a=$1 request=$2
    e2e_assert_eq 1 "$(e2e_relay_count 'Call advapi32\.OpenProcessToken\(ffffffff,00000028,[0-9a-f]{8}\)')" \
        "$a: OpenProcessToken(current process, 0x28)"
    e2e_assert_eq 1 "$(e2e_relay_count 'Call advapi32\.LookupPrivilegeValueA\([0-9a-f]{8} "",[0-9a-f]{8} "SeShutdownPrivilege",[0-9a-f]{8}\)')" \
        "$a: LookupPrivilegeValueA(\"\" (not a null pointer), \"SeShutdownPrivilege\")"
    local adjust token
    adjust=$(e2e_relay_grep 'Call advapi32\.AdjustTokenPrivileges\([0-9a-f]{8},00000000,[0-9a-f]{8},00000010,[0-9a-f]{8},[0-9a-f]{8}\)')
    e2e_assert_eq 1 "$(printf '%s' "$adjust" | grep -c .)" "$a: AdjustTokenPrivileges(token, FALSE, new, 16, previous, length)"
    token=$(printf '%s\n' "$adjust" | sed -n 's/.*AdjustTokenPrivileges(\([0-9a-f]\{8\}\),.*/\1/p' | head -n1)
    e2e_assert_eq 1 "$(e2e_relay_count "Call KERNEL32\.CloseHandle\(${token:-none}\)")" "$a: the token handle is closed once"
    local o l j c r
    o=$(first_line 'OpenProcessToken\(')
    l=$(first_line 'LookupPrivilegeValueA\(')
    j=$(first_line 'AdjustTokenPrivileges\(')
    c=$(first_line "CloseHandle\\(${token:-none}\\)")
    r=$(first_line "$request")
    if [ "$o" -gt 0 ] && [ "$o" -lt "$l" ] && [ "$l" -lt "$j" ] && [ "$j" -lt "$c" ] && [ "$c" -lt "$r" ]; then
        e2e_pass "$a: open, look up, adjust, close, then the power request"
    else
        e2e_fail "$a: call order" "lines open=$o lookup=$l adjust=$j close=$c request=$r"
    fi
    # Wine's own start-up (services, devices) may be in the trace too: only a start of shutdown.exe is the program's.
    e2e_assert_eq 0 "$(e2e_relay_count 'Call KERNEL32\.CreateProcessW\([0-9a-f]+ L"[^"]*shutdown\.exe"')" "$a: starts no program"
}

# --- hibernation -------------------------------------------------------------------------------------------------
run_probe standby
e2e_assert_eq 0 "$PROBE_STATUS" "standby: probe exit status"
e2e_assert_eq 1 "$(grep -c '^standby: ok$' "$PROBE_OUT")" "standby: reported as carried out"
e2e_assert_eq 1 "$(count_exact 'Call KERNEL32.SetSystemPowerState(00000000,00000000)')" \
    "standby: SetSystemPowerState(FALSE, FALSE): hibernate, not forced"
e2e_assert_eq 0 "$(e2e_relay_count 'ExitWindowsEx\(')" "standby: no ExitWindowsEx"
check_privilege_steps standby 'SetSystemPowerState\('

# --- restart -----------------------------------------------------------------------------------------------------
run_probe reboot
e2e_assert_eq 0 "$PROBE_STATUS" "reboot: probe exit status"
e2e_assert_eq 1 "$(grep -c '^reboot: ok$' "$PROBE_OUT")" "reboot: reported as carried out"
create=$(e2e_relay_grep 'Call KERNEL32\.CreateProcessW\(')
e2e_assert_eq 1 "$(printf '%s' "$create" | grep -c .)" "reboot: one CreateProcessW"
e2e_assert_eq 1 "$(printf '%s\n' "$create" | grep -c -E '^[0-9a-f]+:Call KERNEL32\.CreateProcessW\([0-9a-f]{8} L"[A-Za-z]:\\\\windows\\\\system32\\\\shutdown\.exe",')" \
    "reboot: the application is the full path of system32\\shutdown.exe"
e2e_assert_eq 1 "$(printf '%s\n' "$create" | grep -c -E "L\"$(e2e_text_re "$COMMAND_LINE")\",00000000,00000000,00000000,00000000,00000000,00000000,")" \
    "reboot: exact command line; no inherited handles, flags, environment or folder"
create_line=$(first_line 'CreateProcessW\(')
closes_after=$(awk -v n="$create_line" 'NR > n && /Call KERNEL32\.CloseHandle\(/' "$E2E_RELAY_LOG" | wc -l)
e2e_assert_eq 2 "$closes_after" "reboot: process and thread handles closed"
e2e_assert_eq 0 "$(e2e_relay_count 'Call [^ ]+\.(OpenProcessToken|LookupPrivilegeValueA|AdjustTokenPrivileges)\(')" \
    "reboot: touches no token or privilege"
e2e_assert_eq 0 "$(e2e_relay_count 'ExitWindowsEx\(|SetSystemPowerState\(')" "reboot: no power request of its own"

# written whole: its last line there
e2e_wait_until 20 grep -q "^cmdline=" "$SYSTEM32/$MARKER"
e2e_check "reboot: system32\\shutdown.exe was run" test -f "$SYSTEM32/$MARKER"
e2e_assert_eq "flags=1" "$(sed -n 1p "$SYSTEM32/$MARKER" 2>/dev/null)" "reboot: STARTF_USESHOWWINDOW set"
e2e_assert_eq "show=2" "$(sed -n 2p "$SYSTEM32/$MARKER" 2>/dev/null)" "reboot: shown minimised (style 2)"
e2e_assert_eq "cmdline=$COMMAND_LINE" "$(sed -n 3p "$SYSTEM32/$MARKER" 2>/dev/null)" "reboot: command line as shutdown.exe sees it"
e2e_pause 1
e2e_check "reboot: no Shutdown.exe from the program's folder ran" test ! -e "$TMP/app/$MARKER"
e2e_check "reboot: no Shutdown.exe from the current folder ran" test ! -e "$TMP/cwd/$MARKER"

# --- power-off, last: under Wine it ends the session -------------------------------------------------------------
standby_steps=$(grep -a -o -E '(OpenProcessToken|LookupPrivilegeValueA)\(.*\)' "$E2E_WORK/relay-standby.log" |
    sed -E 's/[0-9a-f]{8}\)$/PTR)/; s/^(LookupPrivilegeValueA\()[0-9a-f]{8} (.*),[0-9a-f]{8} (.*)$/\1\2,\3/')
run_probe off
e2e_assert_eq 1 "$(grep -c '^off: requesting$' "$PROBE_OUT")" "off: probe ran"
e2e_assert_eq 1 "$(count_exact 'Call user32.ExitWindowsEx(0000000d,00000000)')" \
    "off: ExitWindowsEx(EWX_SHUTDOWN | EWX_FORCE | EWX_POWEROFF, 0)"
e2e_assert_eq 0 "$(e2e_relay_count 'SetSystemPowerState\(')" "off: no SetSystemPowerState"
check_privilege_steps off 'ExitWindowsEx\('
off_steps=$(grep -a -o -E '(OpenProcessToken|LookupPrivilegeValueA)\(.*\)' "$E2E_RELAY_LOG" |
    sed -E 's/[0-9a-f]{8}\)$/PTR)/; s/^(LookupPrivilegeValueA\()[0-9a-f]{8} (.*),[0-9a-f]{8} (.*)$/\1\2,\3/')
if [ -n "$off_steps" ] && [ "$off_steps" = "$standby_steps" ]; then
    e2e_pass "off: the same privilege values as standby"
else
    e2e_fail "off: the same privilege values as standby" "standby: $standby_steps / off: $off_steps"
fi

e2e_finish
