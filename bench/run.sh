#!/usr/bin/env bash
# bench/run.sh — measures the release exe against two reference programs built the same way, in one run under Wine
# and Xvfb: the floor (bench/floor.cpp: the waiting job at its least) and the bare window (bench/bare.cpp). Size,
# start-up, idle CPU, wake-ups, calls and allocations, memory and modules, countdown timing; writes the figures
# into docs/performance.md between its "bench:begin" and "bench:end" marks.
#
#   bash bench/run.sh            (or: make bench)
#
# Settings from the environment: BENCH_STARTUP_RUNS (15), BENCH_IDLE_S (60), BENCH_TRACE_S (20),
# BENCH_COUNTDOWNS (12), BENCH_NO_BUILD=1 (measure the release exe as it is), BENCH_DOC (where the figures go).
# Needs: cmake, i686-w64-mingw32-g++-win32, gcc and libx11-dev (for bench/xwatch.c), wine, Xvfb, xdotool; it
# starts with scripts/deps.sh, which installs them as root.
set -u

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BENCH_BUILD=$ROOT/build/bench
STARTUP_RUNS=${BENCH_STARTUP_RUNS:-15}
IDLE_S=${BENCH_IDLE_S:-60}
TRACE_S=${BENCH_TRACE_S:-20}
COUNTDOWNS=${BENCH_COUNTDOWNS:-12}
DOC=${BENCH_DOC:-$ROOT/docs/performance.md}
XWATCH=$BENCH_BUILD/xwatch
LEAD=4   # seconds between typing a countdown's time and that time

# The three programs: exe and window name. The references come from bench/CMakeLists.txt, the product's flags.
APP_EXE=$ROOT/build/win32/Tarveil\ XP.exe
APP_NAME='Tarveil XP'
FLOOR_EXE=$ROOT/build/win32/bench/floor.exe
FLOOR_NAME='Tarveil Floor'
BARE_EXE=$ROOT/build/win32/bench/bare.exe
BARE_NAME='Tarveil Bare'
KINDS=(app floor bare)
exe_of() { case $1 in app) echo "$APP_EXE" ;; floor) echo "$FLOOR_EXE" ;; bare) echo "$BARE_EXE" ;; esac; }
name_of() { case $1 in app) echo "$APP_NAME" ;; floor) echo "$FLOOR_NAME" ;; bare) echo "$BARE_NAME" ;; esac; }

# Window places at 96 DPI (see tests/e2e): entry box, "OK", the hibernation option, "ANNULER !"; anywhere on the
# floor's window sends it to the notification area.
ENTRY_XY="120 68"
OK_XY="204 126"
VEILLE_XY="110 120"
CANCEL_XY="120 164"
FLOOR_XY="120 89"

bash "$ROOT/scripts/deps.sh" >&2 || exit 1
mkdir -p "$BENCH_BUILD"
T_BEGIN=$(date +%s)
LOAD_BEGIN=$(cut -d' ' -f1-3 /proc/loadavg)
log() { printf '[bench %s] %s\n' "$(date +%H:%M:%S)" "$*" >&2; }
die() { log "error: $*"; exit 1; }

# ---------------------------------------------------------------------------------------------------------------
# Build: the product as released, the references with it (same compiler, flags and entry point).
(cd "$ROOT" && cmake --preset win32 >"$BENCH_BUILD/cmake-configure.log" 2>&1) ||
    die "configure failed (see $BENCH_BUILD/cmake-configure.log)"
if [ "${BENCH_NO_BUILD:-0}" != 1 ]; then
    log "building the release exe and the reference programs"
    targets=(--target tarveil bench_floor bench_bare)
else
    log "building the reference programs (the release exe as it is)"
    targets=(--target bench_floor bench_bare)
fi
(cd "$ROOT" && cmake --build --preset win32 "${targets[@]}" >"$BENCH_BUILD/cmake-build.log" 2>&1) ||
    die "build failed (see $BENCH_BUILD/cmake-build.log)"
for k in "${KINDS[@]}"; do [ -f "$(exe_of "$k")" ] || die "$(exe_of "$k") not found"; done
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

# launch KIND DEBUG LOG — starts KIND's exe under wine; sets L_PID and L_MS (start to mapped window, ms; -1 if not).
launch() {
    local exe out; exe=$(exe_of "$1")
    out=$(cd "$(dirname "$exe")" && WINEDEBUG=$2 "$XWATCH" launch "$(name_of "$1")" 30 wine "$exe" 2>>"$3")
    read -r L_PID L_MS <<<"$out"
    [ -n "${L_PID:-}" ] && STARTED_PIDS+=("$L_PID")
    [ -n "${L_MS:-}" ] && [ "$L_MS" != -1 ]
}

# A Wine process that stays, as the shell does on Windows: without one, Wine's own service processes wind down
# after each measured program ends, and the next start-up pays for starting them again (start-ups anywhere between
# 0.1 and 1.1 s, depending on how far the wind-down had got). It also keeps the desktop process, which a program's
# first window starts with the program's own WINEDEBUG and log: started here under -all, it stays out of the traces.
KEEPER_FIFO=$BENCH_BUILD/keeper.fifo
KEEPER_PID=
start_keeper() {
    rm -f "$KEEPER_FIFO"; mkfifo "$KEEPER_FIFO" || die "mkfifo failed"
    WINEDEBUG=-all wine cmd <"$KEEPER_FIFO" >/dev/null 2>&1 &
    KEEPER_PID=$!
    exec 8>"$KEEPER_FIFO"   # cmd waits on its input until this closes
    launch bare -all /dev/null || die "the bare window did not appear"
    stop_all
}
stop_keeper() { [ -n "$KEEPER_PID" ] || return 0; exec 8>&-; stop_pid "$KEEPER_PID"; KEEPER_PID=; rm -f "$KEEPER_FIFO"; }
e2e_on_exit stop_keeper
start_keeper
sleep 2

# stats — reads numbers, prints "median min max n"
stats() { sort -g | awk '{ v[NR] = $1 } END { if (NR == 0) { print "- - - 0"; exit }
    m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; print m, v[1], v[NR], NR }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a != "-" && b > 0) printf "x %.2f\n", a / b; else print "-" }'; }
fmt() { awk -v v="$1" -v d="${2:-1}" 'BEGIN { if (v == "-" || v == "") print "-"; else printf "%.*f\n", d, v }'; }
declare -A V   # every figure, by "MEASURE_KIND"

# ---------------------------------------------------------------------------------------------------------------
# 1. Size
rsrc_size() {   # rsrc_size EXE — bytes of its .rsrc section (objdump prints sizes in hex)
    local hex; hex=$(i686-w64-mingw32-objdump -h "$1" 2>/dev/null | awk '$2 == ".rsrc" { print $3 }')
    if [ -n "$hex" ]; then echo $((16#$hex)); else echo 0; fi
}
for k in "${KINDS[@]}"; do V[size_$k]=$(stat -c %s "$(exe_of "$k")"); V[rsrc_$k]=$(rsrc_size "$(exe_of "$k")"); done
log "size: app ${V[size_app]} B, floor ${V[size_floor]} B, bare ${V[size_bare]} B"

# ---------------------------------------------------------------------------------------------------------------
# 2. Start-up: fork of wine to the X server mapping the window, each program taking its turn first, second, third.
log "start-up: $STARTUP_RUNS runs each, interleaved"
one_start() {   # one_start KIND — appends "KIND MS"
    launch "$1" -all "$WORK/startup.stderr"
    local ok=$?
    stop_pid "$L_PID"; STARTED_PIDS=()
    [ $ok -eq 0 ] && echo "$1 $L_MS" >>"$WORK/startup.txt"
    sleep 0.3
}
for i in 1 2; do one_start app; one_start floor; one_start bare; done   # warm-up: caches, fonts
: >"$WORK/startup.txt"
for i in $(seq 1 "$STARTUP_RUNS"); do
    case $((i % 3)) in
        1) one_start app; one_start floor; one_start bare ;;
        2) one_start floor; one_start bare; one_start app ;;
        0) one_start bare; one_start app; one_start floor ;;
    esac
done
for k in "${KINDS[@]}"; do
    read -r "V[su_$k]" "V[sumin_$k]" "V[sumax_$k]" "V[sun_$k]" <<<"$(awk -v k="$k" '$1 == k { print $2 }' "$WORK/startup.txt" | stats)"
done
log "start-up median: app ${V[su_app]} ms, floor ${V[su_floor]} ms, bare ${V[su_bare]} ms"

# ---------------------------------------------------------------------------------------------------------------
# Sending to the notification area: the product through its window (click the entry box, which clears, type TEXT,
# press "OK"), the floor by a click anywhere on it.
arm() {   # arm WID TEXT [OPTION_XY]
    local wid=$1 text=$2 x y
    read -r x y <<<"$ENTRY_XY"; e2e_click "$wid" "$x" "$y"
    e2e_type "$wid" "$text"
    if [ -n "${3:-}" ]; then read -r x y <<<"$3"; e2e_click "$wid" "$x" "$y"; fi
    read -r x y <<<"$OK_XY"; e2e_click "$wid" "$x" "$y"
}
wid_of() { timeout 10 xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1; }
app_wid() { wid_of "$APP_NAME"; }
hidden() { [ -z "$(wid_of "$1")" ]; }
app_hidden() { hidden "$APP_NAME"; }
far_time() { date -d "@$(( $(date +%s) + 3 * 3600 ))" +%H:%M:%S; }

# cpu_ns PID — CPU time of all the process's threads, in ns (scheduler accounting, finer than clock ticks)
cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ s += $1 } END { printf "%.0f\n", s }'; }
vm_hwm() { awk '/^VmHWM:/ { print $2 }' /proc/"$1"/status; }
# switches PID — times its threads went to sleep and were woken, all threads together
switches() { cat /proc/"$1"/task/*/status 2>/dev/null | awk '/^voluntary_ctxt_switches:/ { s += $2 } END { print s + 0 }'; }
# modules PID — "NAME KB" for each module mapped (resident kB of its file's mappings), then "(other) KB" for the rest
modules() {
    awk '/^[0-9a-f]+-[0-9a-f]+ / { n = split($0, f, " "); path = ""; for (i = 6; i <= n; i++) path = path (i > 6 ? " " : "") f[i]
             m = path; sub(/.*\//, "", m); m = tolower(m)
             if (m ~ /\.exe$/) m = "(exe)"; else if (m !~ /\.(dll|drv|sys|so)(\.[0-9.]+)?$/) m = "(other)"; next }
         /^Rss:/ { rss[m] += $2 }
         END { for (m in rss) if (rss[m] > 0 || m != "(other)") print m, rss[m] }' /proc/"$1"/smaps 2>/dev/null | LC_ALL=C sort
}

# start_trio DEBUG TAG — the three side by side, the floor and the product in the notification area; sets PID_KIND
# (each sent there before the next starts: a click goes to whichever window is on top at that point)
start_trio() {
    local k x y
    for k in bare floor app; do
        launch "$k" "$1" "$WORK/$k-$2.log" || die "$k window did not appear"
        printf -v "PID_$k" %s "$L_PID"
        sleep 1
        case $k in
            floor) read -r x y <<<"$FLOOR_XY"; e2e_click "$(wid_of "$FLOOR_NAME")" "$x" "$y"
                e2e_wait_until 10 hidden "$FLOOR_NAME" || die "the floor did not go to the notification area" ;;
            app) arm "$(app_wid)" "$(far_time)"
                e2e_wait_until 10 app_hidden || die "the app did not go to the notification area" ;;
        esac
    done
    sleep 3   # let them settle into their once-a-second rhythm
}
pid_of() { local v="PID_$1"; echo "${!v}"; }

# ---------------------------------------------------------------------------------------------------------------
# 3a/4. Idle CPU, wake-ups, memory and modules: no tracing.
log "idle: ${IDLE_S} s, app armed, floor in the notification area, bare window running"
start_trio -all idle
declare -A C0 W0
for k in "${KINDS[@]}"; do C0[$k]=$(cpu_ns "$(pid_of "$k")"); W0[$k]=$(switches "$(pid_of "$k")"); done
sleep "$IDLE_S"
for k in "${KINDS[@]}"; do
    p=$(pid_of "$k")
    V[cpu_$k]=$(awk -v a="${C0[$k]}" -v b="$(cpu_ns "$p")" 'BEGIN { printf "%.1f\n", (b - a) / 1e6 }')
    V[wake_$k]=$(awk -v a="${W0[$k]}" -v b="$(switches "$p")" -v d="$IDLE_S" 'BEGIN { printf "%.2f\n", (b - a) / d }')
    V[hwm_$k]=$(vm_hwm "$p")
    modules "$p" >"$WORK/modules-$k.txt"
done
app_hidden || log "warning: the app's window came back during the idle minute"
# Where the kernel runs no 32-bit code (or a binfmt_misc entry sends it elsewhere), QEMU runs Wine's 32-bit side:
# every time and every process's memory then holds the emulator's share.
EMULATOR=$(awk '$6 ~ /qemu-/ { print $6; exit }' /proc/"$PID_app"/maps 2>/dev/null)
stop_all
log "idle CPU over ${IDLE_S} s: app ${V[cpu_app]} ms, floor ${V[cpu_floor]} ms, bare ${V[cpu_bare]} ms"

# ---------------------------------------------------------------------------------------------------------------
# 3b. What each program does while idle, and before its window shows: Wine's +msg channel logs every message a
# thread takes from its queue, the relay trace every call into a system library with its return address (inside
# the exe's image: a call of the program's own), +loaddll every module loaded.
log "idle trace: ${TRACE_S} s of messages, calls and module loads"
timeout 60 wine reg delete 'HKCU\Software\Wine\Debug' /v RelayInclude /f >/dev/null 2>&1   # every function
start_trio +timestamp,+msg,+relay,+loaddll trace
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
# trace_counts LOG EXE KIND — sets the idle rates and start-up counts of KIND; writes the exe's own calls per
# second by function to calls-KIND.txt and the modules loaded before the window showed to loaded-KIND.txt.
trace_counts() {
    local out
    out=$(awk -v r0="$r0" -v r1="$r1" -v range="$(image_range "$2")" -v calls="$WORK/calls-$3.txt" \
        -v loaded="$WORK/loaded-$3.txt" '
        BEGIN { split(range, g, " "); lo = g[1]; hi = g[2]; d = r1 - r0; printf "" >calls; printf "" >(calls ".gaps"); printf "" >loaded }
        function own() { return match($0, /ret=[0-9a-f]+/) && (r = substr($0, RSTART + 4, 8)) >= lo && r < hi }
        { ts = $0; sub(/^ +/, "", ts); split(ts, f, ":"); t = f[1] + 0; stamped = f[1] ~ /^[0-9]+\.[0-9]+$/ }
        /:Call [A-Za-z0-9_]+\.[^ (]+\(/ { call = 1; fn = $0; sub(/.*:Call /, "", fn); sub(/\(.*/, "", fn)
            alloc = fn ~ /\.(malloc|calloc|realloc|_malloc_crt|HeapAlloc|HeapReAlloc|LocalAlloc|LocalReAlloc|GlobalAlloc|GlobalReAlloc|RtlAllocateHeap|RtlReAllocateHeap)$/ }
        !/:Call [A-Za-z0-9_]+\.[^ (]+\(/ { call = 0 }
        !shown { if (/trace:loaddll:.* Loaded /) { m = $0; sub(/.* Loaded L"/, "", m); sub(/".*/, "", m)
                     sub(/.*\\/, "", m); if (m !~ /\.exe$/) { print tolower(m) >loaded; mods++ } }
                 if (call && own()) { own0++
                     if (fn == "user32.ShowWindow" && $0 !~ /ShowWindow\([0-9a-f]+,00000000\)/) shown = 1 } }
        !stamped || t < r0 || t > r1 { next }
        /trace:msg:peek_message got / { msgs++; if (/msg 113 \(WM_TIMER\)/) { if (last != "") printf "%.0f\n", (t - last) * 1000 >(calls ".gaps"); last = t; timers++ } }
        call { all++; if (alloc) allocs++; if (own()) { owncalls++; per[fn]++; if (alloc) ownallocs++ } }
        END { for (fn in per) printf "%s %.2f\n", fn, per[fn] / d >calls
              printf "%.2f %.2f %.2f %.2f %.2f %.2f %d %d %d\n", timers / d, msgs / d, owncalls / d, all / d,
                  ownallocs / d, allocs / d, own0, mods }' "$1")
    read -r "V[timer_$3]" "V[msg_$3]" "V[own_$3]" "V[all_$3]" "V[ownalloc_$3]" "V[alloc_$3]" "V[own0_$3]" \
        "V[mods0_$3]" <<<"$out"
    read -r "V[gap_$3]" "V[gapmin_$3]" "V[gapmax_$3]" _ <<<"$(stats <"$WORK/calls-$3.txt.gaps")"
}
for k in "${KINDS[@]}"; do
    trace_counts "$WORK/$k-trace.log" "$(exe_of "$k")" "$k"
    # the desktop process's image lies where the exe's does: started in a trace, its calls would count as the program's
    ! grep -a -q 'Loaded L".*explorer\.exe"' "$WORK/$k-trace.log" || die "Wine's desktop process started inside the $k trace"
done
# The traces are large; what is kept of them is above.
[ "${BENCH_KEEP_TRACES:-0}" = 1 ] || rm -f "$WORK"/*-trace.log
log "per second: WM_TIMER app ${V[timer_app]} floor ${V[timer_floor]}; calls by the exe app ${V[own_app]} floor ${V[own_floor]}; in all app ${V[all_app]} floor ${V[all_floor]}"

# ---------------------------------------------------------------------------------------------------------------
# 5. Countdowns: armed LEAD seconds ahead with "Mettre en veille"; the window's return is the X server mapping it
# (wall clock), the action the relay line of SetSystemPowerState (Wine tick = CLOCK_MONOTONIC_RAW, mapped to wall
# time by xwatch clocks), the ticks the six Shell_NotifyIconA(2,...) calls of the countdown. Only the product
# counts down.
log "countdowns: $COUNTDOWNS, one after the other"
# A new session: Wine's notification area still holds the icons of the programs stopped above, and with those in
# it each removal of an icon takes 2 s.
stop_keeper
timeout 60 wineserver -w
e2e_relay_include "SetSystemPowerState;ShowWindow;Shell_NotifyIconA;MessageBeep" || die "could not set RelayInclude"
"$XWATCH" maps "$APP_NAME" 3600 >"$WORK/maps.txt" 2>/dev/null &
MAPS_PID=$!
STARTED_PIDS+=("$MAPS_PID")
sleep 0.3
launch app +timestamp,+relay "$WORK/countdown.log" || die "app window did not appear"
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
        /:Call / && /ShowWindow\(/ && !/ShowWindow\([0-9a-f]+,00000000\)/ && show == "" { show = wall($0) }
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
read -r ACT_MED ACT_MIN ACT_MAX _ <<<"$(awk '{ print $3 }' "$WORK/countdowns.txt" | stats)"
# each tick's lateness past its own second, and the gaps between ticks
read -r TICK_MED TICK_MIN TICK_MAX TICK_N <<<"$(awk '{ for (i = 4; i <= NF; i++) print $i - (i - 4) * 1000 }' "$WORK/countdowns.txt" | stats)"
read -r GAP_MED GAP_MIN GAP_MAX _ <<<"$(awk '{ for (i = 5; i <= NF; i++) print $i - $(i - 1) }' "$WORK/countdowns.txt" | stats)"
TICKS_PER=$(awk '{ n += NF - 3 } END { if (NR) printf "%.1f\n", n / NR }' "$WORK/countdowns.txt")
# the window mapped after the ShowWindow call: how far the trace clock and the X server agree
MAPLAG=$(awk '{ print $1 - $2 }' "$WORK/countdowns.txt" | stats)
log "countdowns: window back median $RESTORE_MED ms (max $RESTORE_MAX), action median $ACT_MED ms ($ACT_MIN..$ACT_MAX)"

LOAD_END=$(cut -d' ' -f1-3 /proc/loadavg)
T_END=$(date +%s)

# ---------------------------------------------------------------------------------------------------------------
# Targets (against the floor where they compare) and the document
verdict() { if awk "BEGIN { exit !($1) }" 2>/dev/null; then echo "met"; else echo "**missed**"; fi; }
HWM_OVER=$((V[hwm_app] - V[hwm_floor]))
V_SIZE=$(verdict "${V[size_app]} <= 131072")
V_SU=$(verdict "${V[su_app]} <= 1.15 * ${V[su_floor]}")
V_CPU=$(verdict "${V[cpu_app]} <= 1.2 * ${V[cpu_floor]}")
V_WAKE=$(verdict "${V[timer_app]} >= 0.95 && ${V[timer_app]} <= 1.05 && ${V[msg_app]} <= 1.05")
V_ALLOC=$(verdict "${V[ownalloc_app]} == 0")
V_HWM=$(verdict "$HWM_OVER <= 2048")
V_RESTORE=$(verdict "$CD_N >= 10 && $RESTORE_MIN >= 0 && $RESTORE_MAX <= 100")
V_ACT=$(verdict "$CD_N >= 10 && $ACT_MIN >= 5000 && $ACT_MAX <= 5100")
met=0; missed=0
for v in "$V_SIZE" "$V_SU" "$V_CPU" "$V_WAKE" "$V_ALLOC" "$V_HWM" "$V_RESTORE" "$V_ACT"; do
    if [ "$v" = met ]; then met=$((met + 1)); else missed=$((missed + 1)); fi
done

# row LABEL KEY [UNIT [DECIMALS]] — a measure of the three programs and the product's ratios to the floor and the bare
row() {
    local a=${V[$2_app]} f=${V[$2_floor]} b=${V[$2_bare]}
    printf '| %s | %s | %s | %s | %s | %s |' "$1" "$(fmt "$a" "${4:-1}")${3:-}" "$(fmt "$f" "${4:-1}")${3:-}" \
        "$(fmt "$b" "${4:-1}")${3:-}" "$(ratio "$a" "$f")" "$(ratio "$a" "$b")"
}
span() { echo "$(fmt "${V[$1_$3]}")..$(fmt "${V[$2_$3]}")"; }
# the exe's own calls per second while idle, by function, the product beside the floor (0.5 a second or more)
calls_table() (
    export LC_ALL=C
    echo "| Function | Tarveil XP | Floor |"
    echo "|---|---:|---:|"
    join -a1 -a2 -e 0 -o 0,1.2,2.2 <(sort "$WORK/calls-app.txt") <(sort "$WORK/calls-floor.txt") |
        awk '$2 >= 0.5 || $3 >= 0.5' | sort -k2,2gr -k1,1 | awk '{ printf "| `%s` | %s | %s |\n", $1, $2, $3 }'
)
# modules the product holds that the floor does not, and those both hold whose resident size differs most
modules_table() (
    export LC_ALL=C
    echo "| Module | Tarveil XP, resident kB | Floor, resident kB | Bare window, resident kB |"
    echo "|---|---:|---:|---:|"
    join -a1 -a2 -e - -o 0,1.2,2.2 "$WORK/modules-app.txt" "$WORK/modules-floor.txt" |
        join -a1 -e - -o 0,1.2,1.3,2.2 - "$WORK/modules-bare.txt" |
        awk '{ d = ($2 == "-" || $3 == "-") ? 1e9 : $2 - $3; if (d < 0) d = -d } $1 ~ /^\(/ || d >= 64 { print d, $0 }' |
        sort -k1,1gr | awk '{ printf "| %s | %s | %s | %s |\n", $2, $3, $4, $5 }'
    printf '| all of it (VmRSS at the end of the idle minute) | %s | %s | %s |\n' \
        "$(total_rss app)" "$(total_rss floor)" "$(total_rss bare)"
)
total_rss() { awk '{ s += $2 } END { print s + 0 }' "$WORK/modules-$1.txt"; }
# only_in A B [LIST] — names on A's list (loaded: loaded before the window showed; modules: held while idle) not on B's
only_in() (
    export LC_ALL=C
    list=${3:-loaded}
    names=$(comm -23 <(awk '{ print $1 }' "$WORK/$list-$1.txt" | sort -u) <(awk '{ print $1 }' "$WORK/$list-$2.txt" | sort -u))
    echo ${names:-none}
)

# a run on a machine that was doing other work says so with its figures
busy_note() {
    awk -v a="${LOAD_BEGIN%% *}" -v b="${LOAD_END%% *}" 'BEGIN { if (a >= 0.5 || b >= 0.5)
        printf "\nOther work shared the machine: the single times are longer than on a quiet one; the ratios compare." }'
}
CPU_MODEL=$(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo)
RESULTS=$(cat <<EOF
Measured $(date -d "@$T_BEGIN" '+%Y-%m-%d %H:%M %Z') in $(( (T_END - T_BEGIN) / 60 )) min $(( (T_END - T_BEGIN) % 60 )) s by \`bash bench/run.sh\`
(commit $(cd "$ROOT" && git rev-parse --short HEAD 2>/dev/null || echo unknown)$(cd "$ROOT" && git diff --quiet HEAD -- platform scheduler shell power resources win32 bench 2>/dev/null || echo ", with uncommitted changes")).
Machine: $(nproc) x ${CPU_MODEL:-unknown CPU}, $(uname -sr), $(wine --version 2>/dev/null), Xvfb at 96 DPI;
load average $LOAD_BEGIN at the start, $LOAD_END at the end.$(busy_note)
$(if [ -n "$EMULATOR" ]; then echo "Wine's 32-bit side ran under QEMU's user-mode emulator ($EMULATOR): times and memory hold the emulator's share, the ratios still compare."; else echo "Wine's 32-bit side ran natively."; fi)

| Measure | Tarveil XP | Floor | Bare window | XP / floor | XP / bare | Target | |
|---|---:|---:|---:|---:|---:|---|---|
$(row "Exe size, bytes" size " B" 0) <= 128 KiB | $V_SIZE |
$(row "of which resources (.rsrc)" rsrc " B" 0) | |
$(row "Start-up to mapped window, median of ${V[sun_app]} / ${V[sun_floor]} / ${V[sun_bare]}" su " ms") <= x 1.15 the floor | $V_SU |
| start-up, fastest..slowest | $(span sumin sumax app) ms | $(span sumin sumax floor) ms | $(span sumin sumax bare) ms | | | | |
$(row "CPU over ${IDLE_S} s waiting" cpu " ms") <= x 1.2 the floor | $V_CPU |
$(row "Thread wake-ups per second (voluntary context switches)" wake "" 2) | |
$(row "WM_TIMER per second" timer "" 2) 1 wake-up a second | $V_WAKE |
$(row "Messages per second" msg "" 2) | |
| Gap between WM_TIMERs, median (min..max) | $(fmt "${V[gap_app]}" 0) ($(fmt "${V[gapmin_app]}" 0)..$(fmt "${V[gapmax_app]}" 0)) ms | $(fmt "${V[gap_floor]}" 0) ($(fmt "${V[gapmin_floor]}" 0)..$(fmt "${V[gapmax_floor]}" 0)) ms | $(fmt "${V[gap_bare]}" 0) ($(fmt "${V[gapmin_bare]}" 0)..$(fmt "${V[gapmax_bare]}" 0)) ms | | | | |
$(row "Calls into system libraries per second, by the exe's own code" own "" 2) | |
$(row "Calls into system libraries per second, the whole process (the exe's and the libraries' own)" all "" 2) | |
$(row "Allocation calls per second, by the exe's own code" ownalloc "" 2) none per tick | $V_ALLOC |
$(row "Allocation calls per second, the whole process" alloc "" 2) | |
$(row "Peak resident memory (VmHWM)" hwm " kB" 0) <= the floor + 2048 kB (now +$HWM_OVER kB) | $V_HWM |
$(row "Modules loaded before the window shows" mods0 "" 0) | |
$(row "Calls by the exe's own code before the window shows" own0 "" 0) | |
| Window back after the target second's start, $CD_N countdowns | median $(fmt "$RESTORE_MED") ms ($(fmt "$RESTORE_MIN")..$(fmt "$RESTORE_MAX")) | | | | | 0..100 ms | $V_RESTORE |
| Action call (SetSystemPowerState) after it | median $(fmt "$ACT_MED") ms ($(fmt "$ACT_MIN")..$(fmt "$ACT_MAX")) | | | | | 5000..5100 ms | $V_ACT |
| Countdown ticks: lateness past each second ($TICK_N ticks, $TICKS_PER a countdown) | median $(fmt "$TICK_MED") ms ($(fmt "$TICK_MIN")..$(fmt "$TICK_MAX")) | | | | | | |
| Countdown ticks: gap between ticks | median $(fmt "$GAP_MED") ms ($(fmt "$GAP_MIN")..$(fmt "$GAP_MAX")) | | | | | | |

Targets: $met met, $missed missed. ShowWindow call to X map, median (min, max, n): $MAPLAG ms (a check of the
clock mapping: the trace's times and the X server's agree to within this). Per-countdown rows (window back,
ShowWindow, action, ticks; ms after the target second's start): \`build/bench/work/countdowns.txt\`.

**Calls the exe's own code makes per second while waiting**, by function (traced over ${TRACE_S} s; 0.5 a second or
more in either):

$(calls_table)

**Resident memory by module at the end of the idle minute**, where the product and the floor differ by 64 kB or
more or one of them lacks the module; "(exe)" is the program's own image, "(other)" the heaps, stacks, bitmaps and
Wine's own mappings:

$(modules_table)

Modules loaded before the window shows, by the product and not the floor: $(only_in app floor);
by the floor and not the product: $(only_in floor app). Modules held while waiting by the floor and not the bare
window, the price of the job itself: $(only_in floor bare modules).
EOF
)
mkdir -p "$(dirname "$DOC")"
if [ -f "$DOC" ] && grep -q '^<!-- bench:begin -->$' "$DOC" && grep -q '^<!-- bench:end -->$' "$DOC"; then
    printf '%s\n' "$RESULTS" >"$WORK/results.md"
    awk -v r="$WORK/results.md" '/^<!-- bench:begin -->$/ { print; while ((getline l <r) > 0) print l; skip = 1; next }
        /^<!-- bench:end -->$/ { skip = 0 } !skip { print }' "$DOC" >"$DOC.tmp" && mv "$DOC.tmp" "$DOC"
else
    printf '# Performance\n\n<!-- bench:begin -->\n%s\n<!-- bench:end -->\n' "$RESULTS" >"$DOC"
fi
printf '%s\n' "$RESULTS"
log "figures written to $DOC ($met targets met, $missed missed)"
exit 0
