#!/usr/bin/env bash
# tests/e2e/run_all.sh — runs every tests/e2e/test_*.sh in turn (each under a time limit) and totals their checks.
#   run_all.sh [PATTERN]   only scripts whose name contains PATTERN
set -u

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
logs="$root/build/e2e/logs"
source "$here/pace.sh"
# a native run's limit for one script, scaled where Wine is emulated
limit=$(e2e_limit "${E2E_SCRIPT_TIMEOUT:-600}")
[ "$E2E_SLOW" = 1 ] || echo "e2e: Wine's 32-bit side is emulated here: limits times $E2E_SLOW, ${limit}s a script"
mkdir -p "$logs"

total_pass=0
total_fail=0
total_skip=0
bad_scripts=()
ran=0

for t in "$here"/test_*.sh; do
    [ -e "$t" ] || continue
    name=$(basename "$t" .sh)
    [ -n "${1:-}" ] && [[ $name != *"$1"* ]] && continue
    ran=$((ran + 1))
    echo "=== $name"
    start=$(date +%s)
    timeout -k 15 "$limit" bash "$t" 2>&1 | tee "$logs/$name.log"
    status=${PIPESTATUS[0]}
    secs=$(( $(date +%s) - start ))
    summary=$(grep -E '^[0-9]+ passed, [0-9]+ failed' "$logs/$name.log" | tail -n1)
    p=0; f=0; s=0
    if [[ $summary =~ ^([0-9]+)\ passed,\ ([0-9]+)\ failed(,\ ([0-9]+)\ skipped)? ]]; then
        p=${BASH_REMATCH[1]}; f=${BASH_REMATCH[2]}; s=${BASH_REMATCH[4]:-0}
    fi
    # a script that died, timed out or printed no summary counts as one failure on top of what it reported
    if [ "$status" -ne 0 ] && [ "$f" -eq 0 ]; then f=1; fi
    [ "$status" -eq 124 ] && echo "$name: timed out after ${limit}s"
    total_pass=$((total_pass + p)); total_fail=$((total_fail + f)); total_skip=$((total_skip + s))
    if [ "$status" -ne 0 ]; then
        bad_scripts+=("$name")
        echo "=== $name: FAILED (status $status, ${secs}s, log build/e2e/logs/$name.log)"
    else
        echo "=== $name: ok (${secs}s)"
    fi
done

if [ "$ran" -eq 0 ]; then
    echo "e2e: no test script found"
    echo "0 passed, 1 failed"
    exit 1
fi
[ ${#bad_scripts[@]} -gt 0 ] && echo "e2e: failed scripts: ${bad_scripts[*]}"
line="$total_pass passed, $total_fail failed"
[ "$total_skip" -gt 0 ] && line="$line, $total_skip skipped"
echo "e2e: $line"
[ ${#bad_scripts[@]} -eq 0 ]
