#!/usr/bin/env bash
# tests/fuzz/run_short.sh — builds the libFuzzer targets with clang (ASan + UBSan) and runs each for a few seconds.
#
#   bash tests/fuzz/run_short.sh              # about 8 s per target, three targets
#   FUZZ_SECONDS=1800 bash tests/fuzz/run_short.sh   # the long run: half an hour per target
#   FUZZ_TARGETS=trigger bash tests/fuzz/run_short.sh # one target only
#
# Needs clang++ and its libFuzzer runtime (Debian 12: packages clang and libclang-rt-14-dev). Without them it says so
# and fails. The corpus each target grows is kept in build/fuzz/corpus-NAME and reused by the next run; a crash leaves
# its input in build/fuzz/crash-NAME-*. Ends with "N passed, M failed".
set -u

root=$(cd "$(dirname "$0")/../.." && pwd)
out=$root/build/fuzz
seconds=${FUZZ_SECONDS:-8}
cxx=${FUZZ_CXX:-clang++}
targets=(${FUZZ_TARGETS:-time_text tray_callback trigger})
mkdir -p "$out"

passed=0
failed=0
finish() { echo "$passed passed, $failed failed"; [ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]; exit $?; }

if ! command -v "$cxx" >/dev/null 2>&1; then
    echo "fuzz: $cxx not found — install clang and libclang-rt-14-dev (apt-get install clang libclang-rt-14-dev)"
    failed=1; finish
fi
flags=(-std=c++17 -O1 -g -fno-omit-frame-pointer -fsanitize=address,undefined -fno-sanitize-recover=undefined)
# The runtime is a separate package on Debian 12: check for it on a one-line target before building anything.
printf 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }\n' >"$out/probe.cpp"
if ! "$cxx" "${flags[@]}" -fsanitize=fuzzer "$out/probe.cpp" -o "$out/probe" >"$out/probe.log" 2>&1; then
    echo "fuzz: $cxx cannot link a libFuzzer target (missing libclang-rt-14-dev?):"
    head -n 5 "$out/probe.log"
    failed=1; finish
fi

# The core, built once per change of any of its sources or headers.
core=(scheduler/*.cpp shell/*.cpp power/*.cpp)
lib=$out/libcore.a
newest=$(cd "$root" && ls -t platform/* scheduler/* shell/* power/* tests/unit/fake_*.h | head -n1)
if [ ! -f "$lib" ] || [ "$root/$newest" -nt "$lib" ]; then
    rm -f "$lib" "$out"/core-*.o
    for src in "${core[@]}"; do
        for f in "$root"/$src; do
            obj=$out/core-$(basename "$(dirname "$f")")-$(basename "$f" .cpp).o
            if ! "$cxx" "${flags[@]}" -fsanitize=fuzzer-no-link -I"$root" -c "$f" -o "$obj" 2>>"$out/build.log"; then
                echo "fuzz: compiling $f failed (see $out/build.log)"; failed=1; finish
            fi
        done
    done
    ar rcs "$lib" "$out"/core-*.o
fi

seed() {   # seed NAME — a few starting inputs, so the short run begins near the interesting cases
    local dir=$out/corpus-$1
    mkdir -p "$dir"
    case $1 in
        time_text)
            local s
            for s in 20:30:00 23:59:59 00:00:00 24:00:00 8:30:00 "Exemple :                   20:30:00" 19:60:00; do
                printf '%s' "$s" >"$dir/seed-$(printf '%s' "$s" | md5sum | cut -c1-8)"
            done ;;
        tray_callback) printf '\x00\x04\x00\x00\x04\x04\x00\x00\x02\x04\x04\x00\x01\x00' >"$dir/seed-arm-click" ;;
        trigger) printf '\x10\x20\x00\x00\x00\x05\x00\x01\x02\x03\xd0\x02\x05\x01\x01\x01\xe0\x03\x01\x01\x01' >"$dir/seed-walk" ;;
    esac
}

for t in "${targets[@]}"; do
    bin=$out/fuzz_$t
    src=$root/tests/fuzz/fuzz_$t.cpp
    if [ ! -f "$bin" ] || [ "$src" -nt "$bin" ] || [ "$lib" -nt "$bin" ] || [ "$root/tests/fuzz/properties.h" -nt "$bin" ]; then
        if ! "$cxx" "${flags[@]}" -fsanitize=fuzzer -I"$root" -I"$root/tests/unit" "$src" "$lib" -o "$bin" \
            2>"$out/build-$t.log"; then
            echo "FAIL: fuzz_$t builds (see $out/build-$t.log)"; failed=$((failed + 1)); continue
        fi
    fi
    seed "$t"
    echo "fuzz_$t: ${seconds}s"
    if (cd "$out" && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
        "$bin" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 -print_final_stats=1 \
        -artifact_prefix="$out/crash-$t-" "$out/corpus-$t" >"$out/run-$t.log" 2>&1); then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$out/run-$t.log" | tail -n1)
        echo "PASS: fuzz_$t — ${runs:-?} inputs, corpus $(ls "$out/corpus-$t" | wc -l)"
        passed=$((passed + 1))
    else
        echo "FAIL: fuzz_$t — see $out/run-$t.log"
        grep -a -E 'property broken|ERROR: |SUMMARY|runtime error' "$out/run-$t.log" | head -n 5
        failed=$((failed + 1))
    fi
done
finish
