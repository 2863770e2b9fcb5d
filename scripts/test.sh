#!/usr/bin/env bash
# scripts/test.sh — every test layer in turn: deps.sh's choices against a fake apt-get, host unit tests, a short
# fuzzing run, the release exe's XP checks, its zip, two clean builds compared byte for byte, the Win32 layer tests
# under Wine, then the end-to-end scripts. Ends with one total line; exits non-zero on any failure.
#   test.sh              everything
#   test.sh --emulated   the same with Wine's 32-bit side under QEMU's emulator, even where the kernel could run it
#                        (root only; the machine's own loaders are back when the run ends, however it ends)
set -u

emulated=0
case ${1:-} in
    --emulated) emulated=1 ;;
    "") ;;
    *) echo "usage: bash scripts/test.sh [--emulated]" >&2; exit 2 ;;
esac

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root" || exit 1
mkdir -p build
logdir="$root/build/test-logs"
mkdir -p "$logdir"

total_pass=0
total_fail=0
failed_stages=()

# each stage says when it starts, so a slow run shows where its time went
stage() { echo; echo "==== $* (at $SECONDS s)"; }

# record NAME PASSED FAILED
record() {
    total_pass=$((total_pass + $2)); total_fail=$((total_fail + $3))
    [ "$3" -gt 0 ] && failed_stages+=("$1")
    return 0
}

# run_logged LOG COMMAND... — shows the output and keeps it; status of COMMAND
run_logged() {
    local log=$1; shift
    "$@" 2>&1 | tee "$log"
    return "${PIPESTATUS[0]}"
}

# counts from ctest's closing line "NN% tests passed, F tests failed out of T"
ctest_counts() {
    local line; line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$1" | tail -n1)
    if [[ $line =~ ([0-9]+)\ tests?\ failed\ out\ of\ ([0-9]+) ]]; then
        echo "$(( BASH_REMATCH[2] - BASH_REMATCH[1] )) ${BASH_REMATCH[1]}"
    else
        echo "0 0"
    fi
}

# "N passed, M failed" closing line of our own scripts
plain_counts() {
    local line; line=$(grep -E '^([a-z0-9_-]+: )?[0-9]+ passed, [0-9]+ failed' "$1" | tail -n1)
    if [[ $line =~ ([0-9]+)\ passed,\ ([0-9]+)\ failed ]]; then
        echo "${BASH_REMATCH[1]} ${BASH_REMATCH[2]}"
    else
        echo "0 0"
    fi
}

# ctest_stage NAME PRESET — configure, build and run one CTest preset
ctest_stage() {
    local name=$1 preset=$2 p f
    if ! run_logged "$logdir/$preset-configure.log" cmake --preset "$preset" >/dev/null; then
        cat "$logdir/$preset-configure.log"; echo "$name: configure failed"; record "$name" 0 1; return
    fi
    if ! run_logged "$logdir/$preset-build.log" cmake --build --preset "$preset" >/dev/null; then
        tail -n 60 "$logdir/$preset-build.log"; echo "$name: build failed"; record "$name" 0 1; return
    fi
    run_logged "$logdir/$preset-ctest.log" ctest --preset "$preset"
    local st=$?
    read -r p f <<<"$(ctest_counts "$logdir/$preset-ctest.log")"
    # no closing line (no tests, crash) or a failing status with nothing counted is still a failure
    if [ "$st" -ne 0 ] && [ "$f" -eq 0 ]; then f=1; fi
    if [ "$p" -eq 0 ] && [ "$f" -eq 0 ]; then echo "$name: ran no test"; f=1; fi
    record "$name" "$p" "$f"
}

# script_stage NAME LOG SCRIPT — runs one of our scripts that ends with "N passed, M failed"
script_stage() {
    local name=$1 log="$logdir/$2.log" p f st
    run_logged "$log" bash "$3"
    st=$?
    read -r p f <<<"$(plain_counts "$log")"
    # a failing status with nothing counted is still a failure
    if [ "$st" -ne 0 ] && [ "$f" -eq 0 ]; then f=1; fi
    record "$name" "$p" "$f"
}

trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

# ---------------------------------------------------------------------------------------------------------------------
stage "tools"
if ! bash scripts/deps.sh; then
    echo "tools missing: nothing can run"
    echo "0 passed, 1 failed"
    exit 1
fi
if [ "$emulated" = 1 ]; then
    stage "Wine's 32-bit side under the emulator"
    source scripts/deps.sh   # its functions only
    trap emulate_32bit_off EXIT
    if ! emulate_32bit_on; then
        echo "could not hand Wine's 32-bit side to the emulator"
        echo "0 passed, 1 failed"
        exit 1
    fi
fi

# Under emulation a Wine prefix takes a minute to make. The Win32 layer's and the end-to-end template are made on the
# core the next stages leave idle; a stage that needs one waits on its lock while it is being made, and makes it itself
# if this failed.
( bash tests/win32/under_wine.sh "$root/build/win32-tests/wineprefix" && bash tests/e2e/make_template.sh ) \
    >"$logdir/prefixes.log" 2>&1 &
prefixes_pid=$!
trap 'kill "$prefixes_pid" 2>/dev/null; exit 130' INT
trap 'kill "$prefixes_pid" 2>/dev/null; exit 143' TERM
trap 'kill "$prefixes_pid" 2>/dev/null; exit 129' HUP

stage "deps.sh's choices against a fake apt-get"
script_stage "deps choices" deps_test scripts/deps_test.sh

stage "host unit tests"
ctest_stage "host unit tests" host

stage "fuzzing, short run"
script_stage "fuzzing" fuzz tests/fuzz/run_short.sh

stage "release exe"
if run_logged "$logdir/win32-configure.log" cmake --preset win32 >/dev/null &&
   run_logged "$logdir/win32-build.log" cmake --build --preset win32 >/dev/null; then
    record "release build" 1 0
    stage "XP checks of the exe"
    run_logged "$logdir/check_pe_test.log" bash scripts/check_pe_test.sh
    read -r p f <<<"$(plain_counts "$logdir/check_pe_test.log")"
    [ "$p" -eq 0 ] && [ "$f" -eq 0 ] && f=1
    record "check_pe self-test" "$p" "$f"
    if bash scripts/check_pe.sh; then record "XP checks" 1 0; else record "XP checks" 0 1; fi
    stage "release zip"
    if run_logged "$logdir/package.log" bash scripts/package.sh --no-build; then
        script_stage "release zip" check_package scripts/check_package.sh
    else
        record "release zip" 0 1
    fi
    stage "reproducible build"
    script_stage "reproducible build" repro scripts/repro.sh
else
    tail -n 60 "$logdir/win32-build.log"
    echo "release build failed"
    record "release build" 0 1
fi

wait "$prefixes_pid" || echo "(making the Wine prefixes ahead failed, see $logdir/prefixes.log: the stages make them)"

stage "Win32 layer tests under Wine"
# CTest runs them through tests/win32/under_wine.sh, which brings its own Xvfb and Wine prefix.
ctest_stage "Win32 layer tests" win32-tests

stage "end-to-end"
script_stage "end-to-end" e2e tests/e2e/run_all.sh

echo
[ ${#failed_stages[@]} -gt 0 ] && echo "failed: ${failed_stages[*]}"
echo "all stages done at $SECONDS s$([ "$emulated" = 1 ] && echo ", Wine's 32-bit side emulated")"
echo "$total_pass passed, $total_fail failed"
[ "$total_fail" -eq 0 ]
