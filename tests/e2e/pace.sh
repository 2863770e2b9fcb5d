# tests/e2e/pace.sh — how much slower Wine runs here than natively, for every limit the tests set. Sourced.
#
# Where binfmt_misc hands 32-bit programs to QEMU's emulator (a kernel that runs no 32-bit code, or
# `scripts/test.sh --emulated`), everything Wine does takes several times longer: E2E_SLOW (4 there, 1 otherwise, or
# as set in the environment) scales each limit meant for a native run. A limit is how long something may take before
# it counts as never coming; waits end as soon as the thing comes, so a generous one costs a passing run nothing.

# wine_emulated — true while an enabled binfmt_misc entry runs programs through qemu-i386.
wine_emulated() {
    local d=/proc/sys/fs/binfmt_misc e
    [ "$(cat "$d/status" 2>/dev/null)" = enabled ] || return 1
    for e in "$d"/*; do
        case ${e##*/} in status|register) continue ;; esac
        grep -qx enabled "$e" 2>/dev/null && grep -q '^interpreter .*qemu-i386' "$e" 2>/dev/null && return 0
    done
    return 1
}

if [ -z "${E2E_SLOW:-}" ]; then
    if wine_emulated; then E2E_SLOW=4; else E2E_SLOW=1; fi
fi

# e2e_limit SECONDS — a limit meant for a native run, scaled for this machine (whole seconds).
e2e_limit() { echo $(( $1 * E2E_SLOW )); }

# e2e_pause SECONDS — lets SECONDS (fractions allowed) of a native run go by, scaled: for the checks that something
# did NOT happen, which can only give it time to.
e2e_pause() { sleep "$(awk -v s="$1" -v k="$E2E_SLOW" 'BEGIN { printf "%.3f", s * k }')"; }
