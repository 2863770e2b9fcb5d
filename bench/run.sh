#!/usr/bin/env bash
# bench/run.sh — measures the release exe against a minimal Win32 program of the same build (bench/baseline.cpp)
# under Wine and Xvfb: size, start-up, idle CPU and wake-ups, peak memory, countdown timing; writes the figures
# into docs/performance.md between its "bench:begin" and "bench:end" marks. A second reference, the same minimal
# program with Tarveil XP's manifest (common controls 6), shows what that part of the cost is.
#
#   bash bench/run.sh            (or: make bench)
#
# Settings from the environment: BENCH_STARTUP_RUNS (12), BENCH_IDLE_S (60), BENCH_TRACE_S (20),
# BENCH_COUNTDOWNS (12), BENCH_NO_BUILD=1 (measure the exe as it is), BENCH_DOC (where the figures go).
# Needs: cmake, i686-w64-mingw32-g++-win32, gcc and libx11-dev (for bench/xwatch.c), wine, Xvfb, xdotool; it
# starts with scripts/deps.sh, which installs them as root.
set -u

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BENCH_BUILD=$ROOT/build/bench
STARTUP_RUNS=${BENCH_STARTUP_RUNS:-12}
IDLE_S=${BENCH_IDLE_S:-60}
TRACE_S=${BENCH_TRACE_S:-20}
COUNTDOWNS=${BENCH_COUNTDOWNS:-12}
DOC=${BENCH_DOC:-$ROOT/docs/performance.md}
APP_EXE=$ROOT/build/win32/Tarveil\ XP.exe
BASE_EXE=$BENCH_BUILD/baseline.exe
XWATCH=$BENCH_BUILD/xwatch
APP_NAME='Tarveil XP'
BASE_NAME='Tarveil Baseline'
BASE6_EXE=$BENCH_BUILD/baseline6.exe   # the same with Tarveil XP's manifest: common controls 6
BASE6_NAME='Tarveil Baseline6'
BASEC_EXE=$BENCH_BUILD/baseline-clock.exe   # the same reading the local time at each tick (idle cost only)
BASEC_NAME='Tarveil BaselineClock'
LEAD=4   # seconds between typing a countdown's time and that time

# Window places at 96 DPI (see tests/e2e): entry box, "OK", the hibernation option, "ANNULER !".
ENTRY_XY="120 68"
OK_XY="204 126"
VEILLE_XY="110 120"
CANCEL_XY="120 164"

bash "$ROOT/scripts/deps.sh" >&2 || exit 1
mkdir -p "$BENCH_BUILD"
T_BEGIN=$(date +%s)
LOAD_BEGIN=$(cut -d' ' -f1-3 /proc/loadavg)
log() { printf '[bench %s] %s\n' "$(date +%H:%M:%S)" "$*" >&2; }
die() { log "error: $*"; exit 1; }

# ---------------------------------------------------------------------------------------------------------------
# Build: the product as released, the baseline with the same compiler and flags (CMakeLists.txt, "product").
if [ "${BENCH_NO_BUILD:-0}" != 1 ]; then
    log "building the release exe"
    (cd "$ROOT" && cmake --preset win32 >"$BENCH_BUILD/cmake-configure.log" 2>&1 &&
        cmake --build --preset win32 >"$BENCH_BUILD/cmake-build.log" 2>&1) ||
        die "release build failed (see $BENCH_BUILD/cmake-*.log)"
fi
[ -f "$APP_EXE" ] || die "$APP_EXE not found"
CXXFLAGS_PRODUCT=(-std=c++17 -D_WIN32_WINNT=0x0501 -DWINVER=0x0501 -D_WIN32_IE=0x0600 -DUNICODE -D_UNICODE
    -DNOMINMAX -DWIN32_LEAN_AND_MEAN -Os -ffunction-sections -fdata-sections -fno-exceptions -fno-rtti
    -fno-asynchronous-unwind-tables)
LDFLAGS_PRODUCT=(-static -static-libgcc -static-libstdc++ -Wl,--gc-sections -Wl,--subsystem,windows:5.01
    -Wl,--major-os-version,5 -Wl,--minor-os-version,1 -Wl,--major-subsystem-version,5 -Wl,--minor-subsystem-version,1
    -s -mwindows)
i686-w64-mingw32-g++-win32 "${CXXFLAGS_PRODUCT[@]}" -o "$BASE_EXE" "$ROOT/bench/baseline.cpp" "${LDFLAGS_PRODUCT[@]}" ||
    die "baseline build failed"
printf '1 24 "%s"\n' "$ROOT/build/win32/generated/Tarveil.manifest" >"$BENCH_BUILD/baseline6.rc"
i686-w64-mingw32-windres "$BENCH_BUILD/baseline6.rc" -O coff -o "$BENCH_BUILD/baseline6.res" &&
    i686-w64-mingw32-g++-win32 "${CXXFLAGS_PRODUCT[@]}" -DBASELINE_CONTROLS6 -o "$BASE6_EXE" "$ROOT/bench/baseline.cpp" \
        "$BENCH_BUILD/baseline6.res" "${LDFLAGS_PRODUCT[@]}" -lcomctl32 || die "baseline6 build failed"
i686-w64-mingw32-g++-win32 "${CXXFLAGS_PRODUCT[@]}" -DBASELINE_READS_CLOCK -o "$BASEC_EXE" "$ROOT/bench/baseline.cpp" \
    "${LDFLAGS_PRODUCT[@]}" || die "baseline-clock build failed"
gcc -O2 -Wall -o "$XWATCH" "$ROOT/bench/xwatch.c" -lX11 || die "xwatch build failed (needs libx11-dev)"

# ---------------------------------------------------------------------------------------------------------------
# Display and prefix from the e2e harness: a private Xvfb, a copy of the wineboot'ed template, both gone at exit.
E2E_NAME=bench
# Measured as the published figures were: a bare X server, Wine's windows unmanaged (below).
E2E_WM=${E2E_WM:-none}
E2E_WORK=$BENCH_BUILD/work
E2E_EXE=$APP_EXE
source "$ROOT/tests/e2e/lib.sh"
E2E_FINISHED=1   # no assertions here: the exit status is this script's own
WORK=$E2E_WORK
rm -f "$WORK"/*.log "$WORK"/*.txt

STARTED_PIDS=()
stop_pid() {   # stop_pid PID — a process this script started (not its child any more: xwatch forked it)
    local p=$1 i
    [ -n "$p" ] || return 0
    kill "$p" 2>/dev/null
    for i in $(seq 1 50); do [ -d "/proc/$p" ] || return 0; sleep 0.05; done
    kill -9 "$p" 2>/dev/null
    for i in $(seq 1 40); do [ -d "/proc/$p" ] || return 0; sleep 0.05; done
}
stop_all() { local p; for p in "${STARTED_PIDS[@]}"; do stop_pid "$p"; done; STARTED_PIDS=(); }
e2e_on_exit stop_all

e2e_start_display 96 || die "no Xvfb"
e2e_prefix || die "no wine prefix"
e2e_set_dpi 96 || die "could not set 96 DPI"
# Without a window manager, Wine waits up to 2 s for one to acknowledge each change of a managed window, and
# its notification area's icon windows are managed: every removal of the icon (the window coming back for the
# countdown) stalled the program 2 s inside Shell_NotifyIcon, and start-ups came in two groups 0.8 s apart.
# A Windows shell does neither; unmanaged windows take the wait out of the figures (as in tests/e2e).
e2e_reg_add 'HKCU\Software\Wine\X11 Driver' Managed REG_SZ N || die "could not set unmanaged windows"
# the prefix's server and desktop process are started once, outside every measurement
WINEDEBUG=-all timeout 60 wine cmd /c exit >/dev/null 2>&1
# A Wine process that stays for the whole run, as the shell does on Windows: without one, Wine's own service
# processes wind down after each measured program ends, and the next start-up pays for starting them again
# (start-ups anywhere between 0.1 and 1.1 s, depending on how far the wind-down had got).
KEEPER_FIFO=$BENCH_BUILD/keeper.fifo
rm -f "$KEEPER_FIFO"; mkfifo "$KEEPER_FIFO" || die "mkfifo failed"
WINEDEBUG=-all wine cmd <"$KEEPER_FIFO" >/dev/null 2>&1 &
KEEPER_PID=$!
exec 8>"$KEEPER_FIFO"   # cmd waits on its input until this closes
stop_keeper() { exec 8>&-; stop_pid "$KEEPER_PID"; rm -f "$KEEPER_FIFO"; }
e2e_on_exit stop_keeper
sleep 2

# launch NAME EXE DEBUG LOG — starts EXE under wine; sets L_PID and L_MS (start to mapped window, ms; -1 if not).
launch() {
    local name=$1 exe=$2 debug=$3 errlog=$4 out
    out=$(cd "$(dirname "$exe")" && WINEDEBUG=$debug "$XWATCH" launch "$name" 30 wine "$exe" 2>>"$errlog")
    read -r L_PID L_MS <<<"$out"
    [ -n "${L_PID:-}" ] && STARTED_PIDS+=("$L_PID")
    [ -n "${L_MS:-}" ] && [ "$L_MS" != -1 ]
}

# stats — reads numbers, prints "median min max n"
stats() { sort -g | awk '{ v[NR] = $1 } END { if (NR == 0) { print "- - - 0"; exit }
    m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; print m, v[1], v[NR], NR }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f\n", a / b; else print "-" }'; }
fmt() { awk -v v="$1" -v d="${2:-1}" 'BEGIN { if (v == "-" || v == "") print "-"; else printf "%.*f\n", d, v }'; }

# ---------------------------------------------------------------------------------------------------------------
# 1. Size
APP_SIZE=$(stat -c %s "$APP_EXE")
BASE_SIZE=$(stat -c %s "$BASE_EXE")
BASE6_SIZE=$(stat -c %s "$BASE6_EXE")
rsrc_size() {   # rsrc_size EXE — bytes of its .rsrc section (objdump prints sizes in hex)
    local hex; hex=$(i686-w64-mingw32-objdump -h "$1" 2>/dev/null | awk '$2 == ".rsrc" { print $3 }')
    [ -n "$hex" ] && echo $((16#$hex))
}
APP_RSRC=$(rsrc_size "$APP_EXE"); APP_RSRC=${APP_RSRC:-0}
SIZE_RATIO=$(ratio "$APP_SIZE" "$BASE_SIZE")
log "size: app $APP_SIZE bytes (resources $APP_RSRC), baseline $BASE_SIZE bytes"

# ---------------------------------------------------------------------------------------------------------------
# 2. Start-up: fork of wine to the X server mapping the window, alternating which program goes first.
log "start-up: $STARTUP_RUNS runs each, interleaved"
: >"$WORK/startup.txt"
one_start() {   # one_start KIND — KIND app|base|base6; appends "KIND MS"
    local kind=$1
    case $kind in
        app) launch "$APP_NAME" "$APP_EXE" -all "$WORK/startup.stderr" ;;
        base) launch "$BASE_NAME" "$BASE_EXE" -all "$WORK/startup.stderr" ;;
        base6) launch "$BASE6_NAME" "$BASE6_EXE" -all "$WORK/startup.stderr" ;;
    esac
    local ok=$?
    stop_pid "$L_PID"; STARTED_PIDS=()
    [ $ok -eq 0 ] && echo "$kind $L_MS" >>"$WORK/startup.txt"
    sleep 0.3
    return $ok
}
for i in 1 2; do one_start app; one_start base; one_start base6; done   # warm-up: caches, fonts
: >"$WORK/startup.txt"
for i in $(seq 1 "$STARTUP_RUNS"); do   # each takes its turn first, second and third
    case $((i % 3)) in
        1) one_start app; one_start base; one_start base6 ;;
        2) one_start base; one_start base6; one_start app ;;
        0) one_start base6; one_start app; one_start base ;;
    esac
done
read -r SU_APP SU_APP_MIN SU_APP_MAX SU_APP_N <<<"$(awk '$1 == "app" { print $2 }' "$WORK/startup.txt" | stats)"
read -r SU_BASE SU_BASE_MIN SU_BASE_MAX SU_BASE_N <<<"$(awk '$1 == "base" { print $2 }' "$WORK/startup.txt" | stats)"
read -r SU_BASE6 SU_BASE6_MIN SU_BASE6_MAX SU_BASE6_N <<<"$(awk '$1 == "base6" { print $2 }' "$WORK/startup.txt" | stats)"
SU_RATIO=$(ratio "$SU_APP" "$SU_BASE")
SU_RATIO6=$(ratio "$SU_APP" "$SU_BASE6")
# The keeper goes now. Kept, it also keeps Wine's notification area, which holds on to the icons of the programs
# the measurements below end without removing their icon; with those in it, each removal of an icon takes 2 s.
stop_keeper
timeout 60 wineserver -w
log "start-up median: app $SU_APP ms ($SU_APP_N), baseline $SU_BASE ms ($SU_BASE_N), ratio $SU_RATIO; with controls 6 $SU_BASE6 ms, ratio $SU_RATIO6"

# ---------------------------------------------------------------------------------------------------------------
# Arming: click the entry box (it clears), type TEXT, press "OK"; the window goes to the notification area.
arm() {   # arm WID TEXT [OPTION_XY]
    local wid=$1 text=$2 x y
    read -r x y <<<"$ENTRY_XY"; e2e_click "$wid" "$x" "$y"
    e2e_type "$wid" "$text"
    if [ -n "${3:-}" ]; then read -r x y <<<"$3"; e2e_click "$wid" "$x" "$y"; fi
    read -r x y <<<"$OK_XY"; e2e_click "$wid" "$x" "$y"
}
app_wid() { timeout 10 xdotool search --onlyvisible --name "^$APP_NAME\$" 2>/dev/null | head -n1; }
app_hidden() { [ -z "$(app_wid)" ]; }
far_time() { date -d "@$(( $(date +%s) + 3 * 3600 ))" +%H:%M:%S; }

# cpu_ns PID — CPU time of all the process's threads, in ns (scheduler accounting, finer than clock ticks)
cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ s += $1 } END { printf "%.0f\n", s }'; }
# cpu_ticks PID — utime + stime from /proc/PID/stat, in clock ticks
cpu_ticks() { sed 's/.*) //' /proc/"$1"/stat | awk '{ print $12 + $13 }'; }
vm_hwm() { awk '/^VmHWM:/ { print $2 }' /proc/"$1"/status; }
# switches PID — times its threads went to sleep and were woken, all threads together
switches() { cat /proc/"$1"/task/*/status 2>/dev/null | awk '/^voluntary_ctxt_switches:/ { s += $2 } END { print s + 0 }'; }

# start_pair DEBUG — the baseline and the armed app side by side; sets APP_PID BASE_PID
start_pair() {
    local debug=$1
    launch "$BASE_NAME" "$BASE_EXE" "$debug" "$WORK/base-$2.log" || die "baseline window did not appear"
    BASE_PID=$L_PID
    BASE6_PID= BASEC_PID=
    if [ "$2" = idle ]; then
        launch "$BASE6_NAME" "$BASE6_EXE" "$debug" "$WORK/base6-$2.log" || die "baseline6 window did not appear"
        BASE6_PID=$L_PID
        launch "$BASEC_NAME" "$BASEC_EXE" "$debug" "$WORK/basec-$2.log" || die "baseline-clock window did not appear"
        BASEC_PID=$L_PID
    fi
    launch "$APP_NAME" "$APP_EXE" "$debug" "$WORK/app-$2.log" || die "app window did not appear"
    APP_PID=$L_PID
    sleep 1
    arm "$(app_wid)" "$(far_time)"
    e2e_wait_until 10 app_hidden || die "the app did not go to the notification area"
    sleep 3   # let both settle into their once-a-second rhythm
}

# ---------------------------------------------------------------------------------------------------------------
# 3a/4. Idle CPU and peak memory: the app armed for a time hours away, the baseline just running, no tracing.
log "idle: ${IDLE_S} s, app armed, baseline running"
start_pair -all idle
c0_app=$(cpu_ns "$APP_PID"); c0_base=$(cpu_ns "$BASE_PID"); c0_base6=$(cpu_ns "$BASE6_PID"); c0_basec=$(cpu_ns "$BASEC_PID")
w0_app=$(switches "$APP_PID"); w0_base=$(switches "$BASE_PID"); w0_base6=$(switches "$BASE6_PID")
k0_app=$(cpu_ticks "$APP_PID"); k0_base=$(cpu_ticks "$BASE_PID")
sleep "$IDLE_S"
c1_app=$(cpu_ns "$APP_PID"); c1_base=$(cpu_ns "$BASE_PID"); c1_base6=$(cpu_ns "$BASE6_PID"); c1_basec=$(cpu_ns "$BASEC_PID")
w1_app=$(switches "$APP_PID"); w1_base=$(switches "$BASE_PID"); w1_base6=$(switches "$BASE6_PID")
k1_app=$(cpu_ticks "$APP_PID"); k1_base=$(cpu_ticks "$BASE_PID")
HWM_APP=$(vm_hwm "$APP_PID"); HWM_BASE=$(vm_hwm "$BASE_PID"); HWM_BASE6=$(vm_hwm "$BASE6_PID")
app_hidden || log "warning: the app's window came back during the idle minute"
stop_all
CPU_APP_MS=$(awk -v a="$c0_app" -v b="$c1_app" 'BEGIN { printf "%.1f\n", (b - a) / 1e6 }')
CPU_BASE_MS=$(awk -v a="$c0_base" -v b="$c1_base" 'BEGIN { printf "%.1f\n", (b - a) / 1e6 }')
CPU_BASE6_MS=$(awk -v a="$c0_base6" -v b="$c1_base6" 'BEGIN { printf "%.1f\n", (b - a) / 1e6 }')
CPU_RATIO6=$(ratio "$CPU_APP_MS" "$CPU_BASE6_MS")
CPU_BASEC_MS=$(awk -v a="$c0_basec" -v b="$c1_basec" 'BEGIN { printf "%.1f\n", (b - a) / 1e6 }')
CPU_RATIOC=$(ratio "$CPU_APP_MS" "$CPU_BASEC_MS")
HWM_DIFF6_KB=$((HWM_APP - HWM_BASE6))
per_s() { awk -v a="$1" -v b="$2" -v d="$IDLE_S" 'BEGIN { printf "%.2f\n", (b - a) / d }'; }
SLEEPS_APP=$(per_s "$w0_app" "$w1_app"); SLEEPS_BASE=$(per_s "$w0_base" "$w1_base"); SLEEPS_BASE6=$(per_s "$w0_base6" "$w1_base6")
TICKS_APP=$((k1_app - k0_app)); TICKS_BASE=$((k1_base - k0_base))
HZ=$(getconf CLK_TCK)
CPU_RATIO=$(ratio "$CPU_APP_MS" "$CPU_BASE_MS")
HWM_DIFF_KB=$((HWM_APP - HWM_BASE))
log "idle CPU over ${IDLE_S} s: app $CPU_APP_MS ms, baseline $CPU_BASE_MS ms (ratio $CPU_RATIO); VmHWM app $HWM_APP kB, baseline $HWM_BASE kB"

# ---------------------------------------------------------------------------------------------------------------
# 3b. Wake-ups and allocations while idle: Wine's +msg channel logs every message a thread takes from its queue,
# the relay trace every allocation call with its return address (inside the exe's image: the program's own).
log "idle trace: ${TRACE_S} s of messages and allocation calls"
e2e_relay_include "malloc;calloc;realloc;_malloc_crt;HeapAlloc;HeapReAlloc;LocalAlloc;GlobalAlloc;RtlAllocateHeap;RtlReAllocateHeap" ||
    die "could not set RelayInclude"
start_pair +timestamp,+msg,+relay trace
read -r _ r0 <<<"$("$XWATCH" clocks)"
sleep "$TRACE_S"
read -r _ r1 <<<"$("$XWATCH" clocks)"
stop_all
image_range() {   # image_range EXE — "LOW HIGH" of its image, in hex without 0x
    local base size
    base=$(i686-w64-mingw32-objdump -p "$1" | awk '/^ImageBase/ { print $2 }')
    size=$(i686-w64-mingw32-objdump -p "$1" | awk '/^SizeOfImage/ { print $2 }')
    printf '%08x %08x\n' $((16#$base)) $((16#$base + 16#$size))
}
# trace_counts LOG EXE — "WM_TIMER MESSAGES OWN_ALLOCS ALL_ALLOCS" per second of the window [r0, r1]
trace_counts() {
    local range; range=$(image_range "$2")
    awk -v r0="$r0" -v r1="$r1" -v range="$range" '
        BEGIN { split(range, g, " "); lo = g[1]; hi = g[2] }
        { ts = $0; sub(/^ +/, "", ts); split(ts, f, ":"); t = f[1] + 0
          if (f[1] !~ /^[0-9]+\.[0-9]+$/ || t < r0 || t > r1) next }
        /trace:msg:peek_message got / { m++; if (/msg 113 \(WM_TIMER\)/) w++ }
        /:Call / && /(alloc|Alloc)/ { a++; if (match($0, /ret=[0-9a-f]+/)) { r = substr($0, RSTART + 4, 8)
              if (r >= lo && r < hi) own++ } }
        END { d = r1 - r0; printf "%.2f %.2f %.2f %.2f\n", w / d, m / d, own / d, a / d }' "$1"
}
read -r WAKE_APP MSG_APP OWNALLOC_APP ALLOC_APP <<<"$(trace_counts "$WORK/app-trace.log" "$APP_EXE")"
read -r WAKE_BASE MSG_BASE OWNALLOC_BASE ALLOC_BASE <<<"$(trace_counts "$WORK/base-trace.log" "$BASE_EXE")"
log "per second: WM_TIMER app $WAKE_APP base $WAKE_BASE; messages app $MSG_APP base $MSG_BASE; allocations by the exe app $OWNALLOC_APP, in all app $ALLOC_APP base $ALLOC_BASE"

# ---------------------------------------------------------------------------------------------------------------
# 5. Countdowns: armed LEAD seconds ahead with "Mettre en veille"; the window's return is the X server mapping it
# (wall clock), the action the relay line of SetSystemPowerState (Wine tick = CLOCK_MONOTONIC_RAW, mapped to wall
# time by xwatch clocks), the ticks the six Shell_NotifyIconA(2,...) calls of the countdown.
log "countdowns: $COUNTDOWNS, one after the other"
timeout 60 wineserver -w   # a new session: no icons left over from the programs stopped above
e2e_relay_include "SetSystemPowerState;ShowWindow;Shell_NotifyIconA;MessageBeep" || die "could not set RelayInclude"
"$XWATCH" maps "$APP_NAME" 3600 >"$WORK/maps.txt" 2>/dev/null &
MAPS_PID=$!
STARTED_PIDS+=("$MAPS_PID")
sleep 0.3
launch "$APP_NAME" "$APP_EXE" +timestamp,+relay "$WORK/countdown.log" || die "app window did not appear"
APP_PID=$L_PID
sleep 1
: >"$WORK/countdowns.txt"
lines() { grep -a -c '' "$WORK/countdown.log"; }
now_ms() { date +%s%3N; }
has_action() { tail -n +"$(($1 + 1))" "$WORK/countdown.log" | grep -a -q 'SetSystemPowerState('; }
done_n=0; tries=0
while [ "$done_n" -lt "$COUNTDOWNS" ] && [ "$tries" -lt $((COUNTDOWNS + 5)) ]; do
    tries=$((tries + 1))
    wid=$(app_wid); [ -n "$wid" ] || die "the app's window is not shown"
    from=$(lines)
    t=$(( $(date +%s) + LEAD ))
    arm "$wid" "$(date -d "@$t" +%H:%M:%S)" "$VEILLE_XY"
    armed=$(now_ms)
    read -r wall raw <<<"$("$XWATCH" clocks)"
    if [ "$armed" -ge $((t * 1000 - 300)) ] || ! e2e_wait_until 3 app_hidden; then
        log "countdown $tries: armed too late or not armed, again"
        e2e_wait_until $((LEAD + 10)) has_action "$from"
        sleep 1; wid=$(app_wid); read -r x y <<<"$CANCEL_XY"; [ -n "$wid" ] && e2e_click "$wid" "$x" "$y"; sleep 1
        continue
    fi
    e2e_wait_until $((LEAD + 10)) has_action "$from" || die "no SetSystemPowerState call in countdown $tries"
    sleep 0.3
    # times relative to the target second's start, ms: window mapped, ShowWindow, action, the six ticks
    map_wall=$(awk -v a="$armed" '$1 == "map" && $3 * 1000 > a { print $3; exit }' "$WORK/maps.txt")
    off=$(awk -v w="$wall" -v r="$raw" 'BEGIN { printf "%.6f", w - r }')
    tail -n +"$((from + 1))" "$WORK/countdown.log" | awk -v t="$t" -v off="$off" -v map="$map_wall" '
        function wall(line,  s) { s = line; sub(/^ +/, "", s); split(s, f, ":"); return (f[1] + off - t) * 1000 }
        /:Call / && /ShowWindow\([0-9a-f]+,00000005\)/ && show == "" { show = wall($0) }
        /:Call / && /Shell_NotifyIconA\(00000002,/ && !act { ticks = ticks sprintf(" %.0f", wall($0)) }
        /:Call / && /SetSystemPowerState\(/ && !act { act = wall($0) }
        END { printf "%.1f %.1f %.1f%s\n", (map - t) * 1000, show, act, ticks }' >>"$WORK/countdowns.txt"
    done_n=$((done_n + 1))
    log "countdown $done_n: $(tail -n1 "$WORK/countdowns.txt")"
    read -r x y <<<"$CANCEL_XY"; e2e_click "$(app_wid)" "$x" "$y"
    sleep 0.7
done
stop_all
read -r RESTORE_MED RESTORE_MIN RESTORE_MAX CD_N <<<"$(awk '{ print $1 }' "$WORK/countdowns.txt" | stats)"
read -r SHOW_MED SHOW_MIN SHOW_MAX _ <<<"$(awk '{ print $2 }' "$WORK/countdowns.txt" | stats)"
read -r ACT_MED ACT_MIN ACT_MAX _ <<<"$(awk '{ print $3 }' "$WORK/countdowns.txt" | stats)"
# each tick's lateness past its own second, and the gaps between ticks
read -r TICK_MED TICK_MIN TICK_MAX TICK_N <<<"$(awk '{ for (i = 4; i <= NF; i++) print $i - (i - 4) * 1000 }' "$WORK/countdowns.txt" | stats)"
read -r GAP_MED GAP_MIN GAP_MAX _ <<<"$(awk '{ for (i = 5; i <= NF; i++) print $i - $(i - 1) }' "$WORK/countdowns.txt" | stats)"
TICKS_PER=$(awk '{ n += NF - 3 } END { if (NR) printf "%.1f\n", n / NR }' "$WORK/countdowns.txt")
# the window mapped after the ShowWindow call: how far the trace clock and the X server agree
MAPLAG=$(awk '{ print $1 - $2 }' "$WORK/countdowns.txt" | stats)
log "countdowns: window back median $RESTORE_MED ms (max $RESTORE_MAX), action median $ACT_MED ms ($ACT_MIN..$ACT_MAX), tick lateness $TICK_MIN..$TICK_MAX ms"

LOAD_END=$(cut -d' ' -f1-3 /proc/loadavg)
T_END=$(date +%s)

# ---------------------------------------------------------------------------------------------------------------
# Targets and the document
verdict() { if awk "BEGIN { exit !($1) }"; then echo "met"; else echo "**missed**"; fi; }
V_SIZE=$(verdict "$APP_SIZE <= 131072")
V_SU=$(verdict "$SU_RATIO <= 1.15")
V_CPU=$(verdict "$CPU_RATIO <= 1.2")
V_WAKE=$(verdict "$WAKE_APP >= 0.95 && $WAKE_APP <= 1.05 && $MSG_APP <= 1.05")
V_HWM=$(verdict "$HWM_DIFF_KB <= 2048")
V_RESTORE=$(verdict "$CD_N >= 10 && $RESTORE_MIN >= 0 && $RESTORE_MAX <= 100")
V_ACT=$(verdict "$CD_N >= 10 && $ACT_MIN >= 5000 && $ACT_MAX <= 5100")
V_ALLOC=$(verdict "$OWNALLOC_APP == 0")
met=0; missed=0
for v in "$V_SIZE" "$V_SU" "$V_CPU" "$V_WAKE" "$V_ALLOC" "$V_HWM" "$V_RESTORE" "$V_ACT"; do
    if [ "$v" = met ]; then met=$((met + 1)); else missed=$((missed + 1)); fi
done

kib() { awk -v b="$1" 'BEGIN { printf "%.1f", b / 1024 }'; }
CPU_MODEL=$(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo)
RESULTS=$(cat <<EOF
Measured $(date -d "@$T_BEGIN" '+%Y-%m-%d %H:%M %Z') in $(( (T_END - T_BEGIN) / 60 )) min $(( (T_END - T_BEGIN) % 60 )) s by \`bash bench/run.sh\`
(commit $(cd "$ROOT" && git rev-parse --short HEAD 2>/dev/null || echo unknown)$(cd "$ROOT" && git diff --quiet HEAD -- platform scheduler shell power resources 2>/dev/null || echo ", with uncommitted changes")).
Machine: $(nproc) x ${CPU_MODEL:-unknown CPU}, $(uname -sr), $(wine --version 2>/dev/null), Xvfb at 96 DPI;
load average $LOAD_BEGIN at the start, $LOAD_END at the end (other work shared the machine).

| Measure | Tarveil XP | Baseline | Ratio / difference | Target | | Baseline + controls 6 | Ratio / difference |
|---|---:|---:|---:|---|---|---:|---:|
| Exe size, resources included | $APP_SIZE B ($(kib "$APP_SIZE") KiB, of which .rsrc $APP_RSRC B) | $BASE_SIZE B | x $SIZE_RATIO | <= 128 KiB | $V_SIZE | $BASE6_SIZE B | |
| Start-up to mapped window, median of $SU_APP_N / $SU_BASE_N / $SU_BASE6_N | $(fmt "$SU_APP") ms ($(fmt "$SU_APP_MIN")..$(fmt "$SU_APP_MAX")) | $(fmt "$SU_BASE") ms ($(fmt "$SU_BASE_MIN")..$(fmt "$SU_BASE_MAX")) | x $SU_RATIO | <= x 1.15 | $V_SU | $(fmt "$SU_BASE6") ms ($(fmt "$SU_BASE6_MIN")..$(fmt "$SU_BASE6_MAX")) | x $SU_RATIO6 |
| CPU over ${IDLE_S} s idle (app armed) | $CPU_APP_MS ms ($TICKS_APP ticks of 1/$HZ s) | $CPU_BASE_MS ms ($TICKS_BASE ticks) | x $CPU_RATIO | <= x 1.2 | $V_CPU | $CPU_BASE6_MS ms | x $CPU_RATIO6 |
| WM_TIMER per second / all messages per second | $WAKE_APP / $MSG_APP | $WAKE_BASE / $MSG_BASE | | 1 wake-up a second | $V_WAKE | | |
| Thread wake-ups per second while idle (voluntary context switches) | $SLEEPS_APP | $SLEEPS_BASE | | | | $SLEEPS_BASE6 | |
| CPU over ${IDLE_S} s idle against a baseline reading the local time each tick | $CPU_APP_MS ms | $CPU_BASEC_MS ms | x $CPU_RATIOC | | | | |
| Allocation calls per second: by the exe / in the whole process | $OWNALLOC_APP / $ALLOC_APP | $OWNALLOC_BASE / $ALLOC_BASE | | none per tick | $V_ALLOC | | |
| Peak resident memory (VmHWM) | $HWM_APP kB | $HWM_BASE kB | +$HWM_DIFF_KB kB | <= baseline + 2048 kB | $V_HWM | $HWM_BASE6 kB | +$HWM_DIFF6_KB kB |
| Window back after the target second's start, $CD_N countdowns | median $(fmt "$RESTORE_MED") ms ($(fmt "$RESTORE_MIN")..$(fmt "$RESTORE_MAX")) | | | 0..100 ms | $V_RESTORE | | |
| Action call (SetSystemPowerState) after it | median $(fmt "$ACT_MED") ms ($(fmt "$ACT_MIN")..$(fmt "$ACT_MAX")) | | | 5000..5100 ms | $V_ACT | | |
| Countdown ticks: lateness past each second ($TICK_N ticks, $TICKS_PER a countdown) | median $(fmt "$TICK_MED") ms ($(fmt "$TICK_MIN")..$(fmt "$TICK_MAX")) | | | | | | |
| Countdown ticks: gap between ticks | median $(fmt "$GAP_MED") ms ($(fmt "$GAP_MIN")..$(fmt "$GAP_MAX")) | | | | | | |

Targets: $met met, $missed missed. ShowWindow call to X map, median (min, max, n): $MAPLAG ms (a check of the
clock mapping: the trace's times and the X server's agree to within this). Per-countdown rows (window back,
ShowWindow, action, ticks; ms after the target second's start): \`build/bench/work/countdowns.txt\`.
EOF
)
mkdir -p "$(dirname "$DOC")"
if [ -f "$DOC" ] && grep -q '^<!-- bench:begin -->$' "$DOC" && grep -q '^<!-- bench:end -->$' "$DOC"; then
    awk -v r="$RESULTS" '/^<!-- bench:begin -->$/ { print; print r; skip = 1; next }
        /^<!-- bench:end -->$/ { skip = 0 } !skip { print }' "$DOC" >"$DOC.tmp" && mv "$DOC.tmp" "$DOC"
else
    printf '# Performance\n\n<!-- bench:begin -->\n%s\n<!-- bench:end -->\n' "$RESULTS" >"$DOC"
fi
printf '%s\n' "$RESULTS"
log "figures written to $DOC ($met targets met, $missed missed)"
exit 0
