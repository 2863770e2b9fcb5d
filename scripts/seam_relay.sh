#!/usr/bin/env bash
# scripts/seam_relay.sh — the system calls a build of the program makes, as Wine's relay shows them, through arming
# (command line and "OK"), the countdown, each action and a cancel; and the comparison of two such recordings, to show
# that a change inside the program left what Windows sees as it was.
#
#   bash scripts/seam_relay.sh record EXE OUTDIR     one trace a scenario: OUTDIR/<scenario>.trace (raw/ beside it)
#   bash scripts/seam_relay.sh compare DIR_A DIR_B   diff of each scenario's trace; status 0 when all are the same
#
# Only the program's own calls are kept (those returning into the exe's image), with the thread, the return
# addresses, and pointers and window, icon and DC values (0x10000 and up, below 0x80000000) masked (<scenario>.full).
# The comparison is of <scenario>.trace: those calls less the reads of the last error, which is the thread's own
# state and no request to the system, and with a run of the same call back to back (the paints' BitBlt, which the
# window manager's redraws decide) as one line. The reads are compared apart (<scenario>.last-error: each with the
# call it followed and the value it gave), and their differences shown, not counted.
# Under Wine ExitWindowsEx ends the session: power-off goes last.
set -u

mode=${1:-}
case $mode in
record)
    [ $# -eq 3 ] || { echo "usage: $0 record EXE OUTDIR" >&2; exit 2; }
    exe=$(realpath "$2") out=$(realpath -m "$3")
    ;;
compare)
    [ $# -eq 3 ] || { echo "usage: $0 compare DIR_A DIR_B" >&2; exit 2; }
    status=0 n=0
    for a in "$2"/*.trace; do
        b="$3/$(basename "$a")"
        n=$((n + 1))
        if [ ! -f "$b" ]; then echo "DIFFERENT: $(basename "$a") missing from $3"; status=1; continue; fi
        if diff -u "$a" "$b" >"${b%.trace}.diff"; then
            echo "same: $(basename "$a" .trace) ($(grep -c '' "$a") lines)"
            diff -u "${a%.trace}.last-error" "${b%.trace}.last-error" >"${b%.trace}.last-error.diff" ||
                echo "  the last error's reads differ: ${b%.trace}.last-error.diff"
        else
            echo "DIFFERENT: $(basename "$a" .trace) (see ${b%.trace}.diff)"
            status=1
        fi
    done
    [ "$n" -gt 0 ] || { echo "no traces in $2" >&2; exit 2; }
    exit $status
    ;;
*)
    echo "usage: $0 record EXE OUTDIR | compare DIR_A DIR_B" >&2
    exit 2
    ;;
esac

root=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$out/raw" "$out/app"
cp "$exe" "$out/app/Tarveil XP.exe"
E2E_EXE="$out/app/Tarveil XP.exe"
E2E_NAME=seam_relay_$(basename "$out")
source "$root/tests/e2e/lib.sh"

# Every function of the bound list, the binding's own calls, and the last error's.
FUNCS=$(sed -n 's/^ *X("[^"]*", *\([A-Za-z_0-9]*\),.*/\1/p' "$root/win32/BoundFunctions.h" | sort -u | tr '\n' ';')
FUNCS="${FUNCS}GetSystemDirectoryW;LoadLibraryExW;GetProcAddress;GetLastError;SetLastError"
# The exe's image: a return address inside it marks the program's own call.
read -r base size < <(i686-w64-mingw32-objdump -p "$E2E_EXE" |
    awk '/^ImageBase/ { b = $2 } /^SizeOfImage/ { s = $2 } END { print b, s }')

ENTRY_XY="120 68"
OK_XY="204 126"
CANCEL_XY="120 164"
CLOSE_XY="234 8"
ARRETER_XY="50 96"
REBOOT_XY="150 96"
VEILLE_XY="110 120"
LEAD=8
ACTION_RE='Call [A-Za-z0-9_]+\.(ExitWindowsEx|SetSystemPowerState|CreateProcessW)\('

# normalize RAW — the program's calls and returns, masked.
normalize() {
    grep -a -E '^[0-9a-f]+:(Call|Ret) ' "$1" | BASE=$base SIZE=$size awk '
        # no interval expressions: mawk has none
        function hex(s,   i, v) { v = 0; s = tolower(s); for (i = 1; i <= length(s); i++) v = v * 16 + index("0123456789abcdef", substr(s, i, 1)) - 1; return v }
        BEGIN { lo = hex(ENVIRON["BASE"]); hi = lo + hex(ENVIRON["SIZE"]); h8 = "[0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f]" }
        {
            if (!match($0, " ret=" h8 "$")) next
            r = hex(substr($0, RSTART + 5, 8)); if (r < lo || r >= hi) next
            line = substr($0, index($0, ":") + 1, RSTART - index($0, ":") - 1)
            out = ""
            while (match(line, h8)) {
                v = hex(substr(line, RSTART, 8))
                out = out substr(line, 1, RSTART - 1) ((v >= 65536 && v < 2147483648) ? "PTR" : substr(line, RSTART, 8))
                line = substr(line, RSTART + 8)
            }
            print out line
        }'
}

# split_last_error NAME — NAME.full (every masked call) as NAME.trace, the calls without the last error's reads, a
# run of the same call back to back as one; and NAME.last-error, each read with the call it came after and its value.
split_last_error() {
    awk -v trace="$out/$1.trace" -v errors="$out/$1.last-error" '
        BEGIN { printf "" >errors; call = "(start)" }
        /^Call [A-Za-z0-9_]+\.GetLastError\(/ { next }
        /^Ret  [A-Za-z0-9_]+\.GetLastError\(/ { sub(/.*retval=/, ""); print "after " call ": " $0 >errors; next }
        /^Call / { call = $2; sub(/\(.*/, "", call) }
        $0 != last { print >trace }
        { last = $0 }' "$out/$1.full"
}

app_has() { grep -a -q -E -- "$1" "$E2E_RELAY_LOG"; }

# start NAME [ARGS...] — a traced run of the program into raw/NAME.raw.
start() {
    E2E_RELAY_LOG=$out/raw/$1.raw
    shift
    e2e_start_app_traced "$@"
}

# arm_ok WID OPTION_XY — entry box, the time LEAD seconds ahead, the option, "OK".
arm_ok() {
    local wid=$1 ox oy ex ey kx ky
    read -r ox oy <<<"$2"; read -r ex ey <<<"$ENTRY_XY"; read -r kx ky <<<"$OK_XY"
    e2e_click "$wid" "$ex" "$ey"
    T_TEXT=$(e2e_time_in "$LEAD")
    e2e_type "$wid" "$T_TEXT"
    e2e_click "$wid" "$ox" "$oy"
    e2e_click "$wid" "$kx" "$ky"
}

click_at() { local x y; read -r x y <<<"$2"; e2e_click "$1" "$x" "$y"; }

# after_action NAME — the action came; "ANNULER !" then the close glyph end the run.
after_action() {
    e2e_check "$1: the action's call" e2e_wait_until 40 app_has "$ACTION_RE"
    sleep 1
    local wid; wid=$(e2e_wait_window) || { e2e_fail "$1: window after the action"; return; }
    click_at "$wid" "$CANCEL_XY"
    sleep 1.5
    click_at "$wid" "$CLOSE_XY"
    e2e_wait_app_exit 15
    e2e_assert_eq 0 "$?" "$1: the program ends at the close glyph"
}

e2e_require_exe
e2e_setup
e2e_relay_include "$FUNCS" || e2e_fail "set the relay filter"
# The desktop process is started again, untraced, with the relay filter above.
timeout 20 wineserver -k >/dev/null 2>&1; timeout 20 wineserver -w >/dev/null 2>&1
WINEDEBUG=-all timeout 60 wine reg query 'HKCU\Software\Wine\X11 Driver' >/dev/null 2>&1

# Command line: restart.
start cmdline-restart "$(e2e_time_in "$LEAD")" /redemarrer
after_action cmdline-restart

# "OK": hibernation.
start ok-hibernate
if wid=$(e2e_wait_window); then arm_ok "$wid" "$VEILLE_XY"; after_action ok-hibernate; else e2e_fail "ok-hibernate: window"; fi

# "OK", power-off chosen, "ANNULER !" during the countdown.
start ok-cancel
if wid=$(e2e_wait_window); then
    arm_ok "$wid" "$ARRETER_XY"
    e2e_check "ok-cancel: the countdown starts" e2e_wait_until 40 app_has 'Call shell32\.Shell_NotifyIconA\(00000002,'
    sleep 2.5
    wid=$(e2e_wait_window) && click_at "$wid" "$CANCEL_XY"
    sleep 8
    e2e_check "ok-cancel: no action" eval '! app_has "$ACTION_RE"'
    click_at "$wid" "$CLOSE_XY"
    e2e_wait_app_exit 15
    e2e_assert_eq 0 "$?" "ok-cancel: the program ends at the close glyph"
else
    e2e_fail "ok-cancel: window"
fi

# "OK": power-off, last.
start ok-poweroff
if wid=$(e2e_wait_window); then
    arm_ok "$wid" "$ARRETER_XY"
    e2e_check "ok-poweroff: the action's call" e2e_wait_until 40 app_has "$ACTION_RE"
    e2e_wait_app_exit 20
else
    e2e_fail "ok-poweroff: window"
fi

for r in "$out"/raw/*.raw; do
    n=$(basename "$r" .raw)
    normalize "$r" >"$out/$n.full"
    split_last_error "$n"
    e2e_assert_ne 0 "$(grep -c '' "$out/$n.trace")" "$n: the program's calls traced"
done
e2e_finish
