#!/usr/bin/env bash
# tests/e2e/test_clock_changes.sh — the local clock moved under the release exe by a daylight-saving change some
# seconds ahead, made with a TZ rule built from the current date and time (the machine's clock is never touched):
#   skip   armed for a time inside the hour the change skips: the countdown starts at the change, one action follows
#   end    a countdown started two seconds before daylight time ends runs on to exactly one action
#   after  armed for a time four seconds after the change: it fires at that time, not at the change
# The three run side by side, each as its own run of this script with its own Xvfb, prefix and program. While the skip
# case waits for its change, a second program in its prefix, in the machine's zone, is stopped for more than a late
# tick across its own target: once it runs again its window comes back with the message naming the missed time, and
# nothing is done. That case mostly waits, so it rides along with another rather than taking a prefix of its own.
#
# Wine takes the zone from TZ in each process on its own: ntdll converts the UTC time with the bias the C library gives
# for the present instant under that process's TZ, at every reading, so the change shows at its very second. The
# wineserver's own TZ does not reach a program's GetLocalTime (a server started in UTC+3 served programs that showed
# UTC with no TZ and UTC+5 with TZ set to it), so the server and the desktop process start in the machine's zone and
# only the program gets the case's rule.
CASE=${1:-}
E2E_NAME=test_clock_changes${CASE:+-$CASE}
source "$(dirname "$0")/lib.sh"

CASES="skip end after"
LEAD=${E2E_CLOCK_LEAD:-20}      # seconds from the window being up to the change, on a quiet machine
RELAY_FUNCS="shell32.Shell_NotifyIconA;KERNEL32.SetSystemPowerState;user32.ExitWindowsEx;KERNEL32.CreateProcessW;user32.MessageBoxW"
RELAY_FUNCS="$RELAY_FUNCS;user32.SetWindowTextW"
ACTION_RE='Call (KERNEL32\.SetSystemPowerState|user32\.ExitWindowsEx|KERNEL32\.CreateProcessW)\('
ADD_RE='Call shell32\.Shell_NotifyIconA\(00000000,'
RESTORE_RE='Call shell32\.Shell_NotifyIconA\(00000002,'

# --- The parent: start the cases, then add up what they report ------------------------------------------------------
if [ -z "$CASE" ]; then
    e2e_require_exe
    pids=()
    for c in $CASES; do
        bash "$0" "$c" >"$E2E_WORK/$c.out" 2>"$E2E_WORK/$c.err" &
        pids+=($!)
    done
    # stopped from outside, each case still stops what it started
    e2e_on_exit 'kill "${pids[@]}"'
    i=0
    for c in $CASES; do
        wait "${pids[$i]}"
        status=$?
        i=$((i + 1))
        grep -E '^(PASS|FAIL|SKIP): ' "$E2E_WORK/$c.out" | sed "s/^\([A-Z]*\): /\1: $c: /"
        summary=$(grep -E '^[0-9]+ passed, [0-9]+ failed' "$E2E_WORK/$c.out" | tail -n1)
        if [[ $summary =~ ^([0-9]+)\ passed,\ ([0-9]+)\ failed ]]; then
            E2E_PASSED=$((E2E_PASSED + BASH_REMATCH[1])); E2E_FAILED=$((E2E_FAILED + BASH_REMATCH[2]))
        fi
        if [ "$status" -ne 0 ] && [ -z "$(grep -E '^FAIL: ' "$E2E_WORK/$c.out")" ]; then
            e2e_fail "$c: the case ran to its end" "status $status, see $E2E_WORK/$c.err"
        fi
        # a failed case's whole log, and any attempt that had to be made again, are shown
        if [ "$status" -ne 0 ]; then
            grep -a -E '^\[' "$E2E_WORK/$c.err" | sed 's/^/    /' >&2
        else
            grep -a -E '^\[.*attempt [0-9]: .*(too late|not armed)' "$E2E_WORK/$c.err" | sed 's/^/    /' >&2
        fi
        e2e_log "$c: ${summary:-no summary} (status $status)"
    done
    e2e_finish
fi

# --- One case ---------------------------------------------------------------------------------------------------------


# "M<month>.<week>.<weekday>/<hh:mm:ss>" of a wall-clock time given as epoch seconds read as UTC: week 5 is the
# last of the month, and any day past the 28th is the last of its weekday.
posix_date() {
    local m d wd
    read -r m d wd <<<"$(date -u -d "@$1" '+%-m %-d %w')"
    echo "M$m.$(( (d - 1) / 7 + 1 )).$wd/$(date -u -d "@$1" +%H:%M:%S)"
}

# make_rule KIND CHANGE_EPOCH — sets TZ_RULE and OFFSET (standard time minus UTC, seconds). The standard offset puts
# the change near local noon, whatever the hour in UTC, so no rule date has to cross midnight or a new year. "start":
# daylight time starts at the change and ends two weeks later. "end": it started two weeks ago and ends at the change.
# POSIX writes a start in standard time, an end in daylight time, and an offset as the hours to add to reach UTC.
make_rule() {
    local kind=$1 change=$2 h
    h=$(( (12 - $(date -u -d "@$change" +%-H) + 36) % 24 - 12 ))   # -12..11
    OFFSET=$((h * 3600))
    local std=$((change + OFFSET))
    if [ "$kind" = start ]; then
        TZ_RULE="XST$((-h))XDT,$(posix_date "$std"),$(posix_date $((std + 14 * 86400)))"
    else
        TZ_RULE="XST$((-h))XDT,$(posix_date $((std - 14 * 86400))),$(posix_date $((std + 3600)))"
    fi
}

APP_TID=
has_action() { [ "$(count_calls "$ACTION_RE")" -gt 0 ]; }
app_calls() { grep -a -E "^[0-9]+\.[0-9]+:${APP_TID:-xxxx}:Call " "$E2E_RELAY_LOG" 2>/dev/null; }
count_calls() { app_calls | grep -a -c -E -- "$1"; }
# wall_ms REGEX [N] — wall-clock time (epoch ms) of the Nth call matching REGEX, from its trace time and the two
# clocks read together at the program's start.
wall_ms() {
    local ts; ts=$(app_calls | grep -a -E -- "$1" | sed -n "${2:-1}p" | cut -d: -f1)
    [ -n "$ts" ] || return 1
    awk -v t="$ts" -v w="$WALL0" -v m="$MONO0" 'BEGIN { printf "%.0f\n", t * 1000 - m + w }'
}

e2e_require_exe
e2e_clocks >/dev/null || { e2e_fail "build the clock helper"; e2e_finish; }

e2e_setup
e2e_reg_add 'HKCU\Software\Wine\X11 Driver' Managed REG_SZ N || e2e_fail "set unmanaged windows"
e2e_relay_include "$RELAY_FUNCS" || e2e_fail "set the relay filter"
e2e_end_session
# The wineserver and the desktop process start again with the settings above; how long that takes (a second or
# two natively, twenty and more with three Wine runs side by side under emulation) says how far ahead to put the change.
t0=$(e2e_now_ms)
WINEDEBUG=-all timeout "$(e2e_limit 60)" wine reg query 'HKCU\Software\Wine\X11 Driver' >/dev/null 2>&1
restart_s=$(( ($(e2e_now_ms) - t0 + 999) / 1000 ))

# local_text EPOCH — the wall-clock time under the case's rule
local_text() { TZ=$TZ_RULE date -d "@$1" +%H:%M:%S; }

# plan_change LEAD_S — puts the change LEAD_S seconds from now and sets the rule, the target and the first tick.
plan_change() {
    CHANGE=$(( $(date +%s) + $1 ))
    case $CASE in
        skip) make_rule start "$CHANGE"   # a time never shown
              TARGET=$(date -u -d "@$((CHANGE + OFFSET + 1800))" +%H:%M:%S); FIRST_TICK=$CHANGE ;;
        after) make_rule start "$CHANGE"; TARGET=$(local_text $((CHANGE + 4))); FIRST_TICK=$((CHANGE + 4)) ;;
        end) make_rule end "$CHANGE"; TARGET=$(local_text $((CHANGE - 2))); FIRST_TICK=$((CHANGE - 2)) ;;
    esac
}
case $CASE in
    skip|end|after) ;;
    *) e2e_fail "known case '$CASE'"; e2e_finish ;;
esac

# arm — types the target once the entry box is cleared, picks "Mettre en veille" and clicks "OK"; true when the icon is
# added before the deadline. How long that took sets the sleeper's lead (e2e_lead).
arm() {
    e2e_clear_entry "$wid"
    local clicks; clicks=$(e2e_now_ms)
    e2e_type "$wid" "$TARGET"
    read -r vx vy <<<"$VEILLE_XY"; e2e_click_button "$wid" "$vx" "$vy"
    read -r kx ky <<<"$OK_XY"; e2e_click "$wid" "$kx" "$ky"
    e2e_log "typed $TARGET and clicked 'OK' in $(( $(e2e_now_ms) - clicks )) ms; $(( armed_by - $(e2e_now_ms) )) ms left to arm"
    local wait_s=$(( (armed_by - $(e2e_now_ms)) / 1000 ))
    if [ "$wait_s" -gt 0 ] && e2e_wait_by "$armed_by" _e2e_relay_has "$ADD_RE" \
        && [ "$(e2e_now_ms)" -lt "$armed_by" ]; then
        e2e_armed_since "$clicks"
        e2e_log "icon added $(( armed_by - $(e2e_now_ms) )) ms before the deadline"
        return 0
    fi
    e2e_log "no icon by the deadline: program $(e2e_app_running && echo running || echo gone);" \
        "windows: $(timeout 10 xdotool search --onlyvisible --name . getwindowname %@ 2>/dev/null | tr '\n' '|');" \
        "calls traced: $(grep -a -c ':Call ' "$E2E_RELAY_LOG" 2>/dev/null)"
    e2e_shot_root "$E2E_WORK/not-armed-$attempt.png" && e2e_log "screen in $E2E_WORK/not-armed-$attempt.png"
    return 1
}

# The slept-through target, beside the skip case: a second program in this prefix, in the machine's zone, armed from
# its command line (no click of the script's can then land on the case's window, which its countdown brings to the
# front at the change) for a time SLEEPER_LEAD seconds after its start, started again with the lead the last start took
# if it was not armed 3 s before. Its own process (not the wineserver) is stopped 1.5 s before that
# time and let run again SLEEPER_STOP_MS later: the last check before the stop was the tick of the second before, so
# the next one comes more than 60 s after it, no late tick, as after a sleep. Started once the case's own program is
# armed and hidden, and after every case has measured its restart.
SLEEPER_LEAD=10
SLEEPER_STOP_MS=62500
SLEEPER_LOG=$E2E_WORK/relay-sleeper.log
sleeper_calls() { grep -a -E "^[0-9]+\.[0-9]+:${SLEEPER_TID:-xxxx}:Call " "$SLEEPER_LOG" 2>/dev/null; }
sleeper_count() { sleeper_calls | grep -a -c -E -- "$1"; }
tarveil_pids() {   # the wine processes running the exe in this prefix
    local p
    for p in $(pgrep -f 'Tarveil XP\.exe'); do
        tr '\0' '\n' </proc/"$p"/environ 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" && echo "$p"
    done
}
# the sleeper's windows on screen: named as the program, and not the case's own; its main one has the window's size
sleeper_windows() {
    local w
    for w in $(e2e_window_ids '^Tarveil XP$'); do [ "$w" != "$wid" ] && echo "$w"; done
}
main_sized() { e2e_geometry "$1" && [ "${E2E_WIN_W}x${E2E_WIN_H}" = 242x178 ]; }
sleeper_mapped() { local w; for w in $(sleeper_windows); do main_sized "$w" && return 0; done; return 1; }
sleeper_box_shown() { local w; for w in $(sleeper_windows); do main_sized "$w" || return 0; done; return 1; }
# sleeper_start — starts and arms the second program, and (in the background) stops and resumes it; false when it
# could not.
sleeper_start() {
    local first attempt started target_s lead
    first=$(tarveil_pids)
    # stopped from outside, nothing is left stopped or stopping
    e2e_on_exit 'kill $SLEEPER_STOPPER; kill -CONT $sleeper_pid; kill $SLEEPER_APP_PID'
    lead=$(e2e_limit "$SLEEPER_LEAD")
    for attempt in 1 2 3; do
        target_s=$(( $(date +%s) + lead ))
        SLEEPER_TARGET=$(date -d "@$target_s" +%H:%M:%S)
        started=$(e2e_now_ms)
        (cd "$(dirname "$E2E_EXE")" && WINEDEBUG=+timestamp,+relay exec wine "$E2E_EXE" "$SLEEPER_TARGET" /veille) \
            >"$E2E_WORK/sleeper.stdout" 2>"$SLEEPER_LOG" &
        SLEEPER_APP_PID=$!
        e2e_wait_by $(( target_s * 1000 - 3000 )) grep -a -q -E "$ADD_RE" "$SLEEPER_LOG" && break
        e2e_log "sleeper: attempt $attempt: not armed 3 s before $SLEEPER_TARGET"
        kill "$SLEEPER_APP_PID" 2>/dev/null; wait "$SLEEPER_APP_PID" 2>/dev/null
        [ "$attempt" = 3 ] && return 1
        lead=$(( 2 * ($(e2e_now_ms) - started) / 1000 + 4 ))
    done
    SLEEPER_TID=$(grep -a -E "$ADD_RE" "$SLEEPER_LOG" | head -n1 | cut -d: -f2)
    sleeper_pid=$(tarveil_pids | grep -v -x -F "${first:-none}" | head -n1)
    [ -n "$sleeper_pid" ] || { e2e_log "sleeper: its process not found"; return 1; }
    (
        e2e_sleep_until $(( target_s * 1000 - 1500 ))
        kill -STOP "$sleeper_pid"
        stopped_at=$(e2e_now_ms)
        e2e_sleep_until $(( stopped_at + SLEEPER_STOP_MS ))
        kill -CONT "$sleeper_pid"
        e2e_log "sleeper: stopped $(( $(e2e_now_ms) - stopped_at )) ms across $SLEEPER_TARGET"
    ) &
    SLEEPER_STOPPER=$!
    return 0
}
# sleeper_check — once it runs again: the window back, the message naming the time, no countdown, no power call.
sleeper_check() {
    wait "$SLEEPER_STOPPER"
    local t=$SLEEPER_TARGET
    local box_re; box_re=$(e2e_box_re "$(e2e_text_re "$TXT_MISSED" "$t" "$t")" 00000030)
    if e2e_wait_until 20 sleeper_has "$box_re"; then
        e2e_pass "slept through: after the stop the message names $t, says why, and that it stays armed"
    else
        e2e_fail "slept through: after the stop the message names $t, says why, and that it stays armed" \
            "boxes traced: $(sleeper_count 'MessageBoxW')"
    fi
    e2e_check "slept through: the window is back on screen" e2e_wait_until 10 sleeper_mapped
    e2e_check "slept through: the message box shows" e2e_wait_until 10 sleeper_box_shown
    # A countdown would remove the icon again at each of its ticks, one a second: 3 s show that none began.
    e2e_pause 3
    e2e_assert_eq 1 "$(sleeper_count "$RESTORE_RE")" "slept through: the icon removed once, no countdown"
    e2e_assert_eq 0 "$(sleeper_count "$ACTION_RE")" "slept through: no power call"
    e2e_assert_eq 1 "$(sleeper_count 'Call user32\.MessageBoxW\(')" "slept through: one message"
}
sleeper_has() { sleeper_calls | grep -a -q -E -- "$1"; }

# The program must be up 7 s before it must be armed (a second before the change, and before the target where that
# comes first, as in the end case), and armed by then. Its start-up varies a lot when the cases run side by side under
# emulation, so an attempt that misses either is stopped and made again, each step in the log, with the change put as
# far ahead as twice the start-up just seen.
lead=$(( LEAD + 3 * restart_s ))
armed=
for attempt in 1 2 3; do
    plan_change "$lead"
    e2e_log "TZ=$TZ_RULE; change at $(date -u -d "@$CHANGE" +%T) UTC: $(local_text $((CHANGE - 1))) then $(local_text "$CHANGE"); target $TARGET"
    read -r WALL0 MONO0 <<<"$(e2e_clocks)"
    started=$(e2e_now_ms)
    TZ=$TZ_RULE _e2e_start_app "+timestamp,+relay" "$E2E_RELAY_LOG"
    armed_by=$(( (FIRST_TICK < CHANGE ? FIRST_TICK : CHANGE) * 1000 - 1000 ))
    wid=$(e2e_wait_window "$E2E_WINDOW_NAME" $(( CHANGE - $(date +%s) + 60 ))) || wid=
    startup_s=$(( ($(e2e_now_ms) - started + 999) / 1000 ))
    ahead=$(( armed_by - $(e2e_now_ms) ))
    if [ -z "$wid" ] || [ "$ahead" -lt 7000 ]; then
        e2e_log "attempt $attempt: window $([ -n "$wid" ] && echo up || echo "not up") after $startup_s s, $ahead ms before the deadline: too late"
    elif arm; then
        armed=1
        e2e_log "attempt $attempt: window up after $startup_s s, armed"
        break
    else
        e2e_log "attempt $attempt: window up after $startup_s s, $ahead ms before the deadline, but not armed"
    fi
    e2e_stop_app
    lead=$(( 2 * startup_s + 10 ))
done
if [ -z "$armed" ]; then
    e2e_fail "armed a second before the change and the target" "three attempts missed it (E2E_CLOCK_LEAD=$LEAD)"
    e2e_finish
fi
APP_TID=$(grep -a -E "$ADD_RE" "$E2E_RELAY_LOG" | head -n1 | cut -d: -f2)
e2e_pass "armed for $TARGET: 'OK' adds the icon"
sleeper=
if [ "$CASE" = skip ]; then
    if sleeper_start; then
        sleeper=1
        e2e_pass "slept through: a second program armed for $SLEEPER_TARGET"
    else
        e2e_fail "slept through: a second program armed ahead of its time" "see $E2E_WORK/skip.err"
    fi
fi
export TZ=$TZ_RULE

# The rule as the C library reads it moves the local clock by an hour at the change.
before=$(date -u -d "$(date -d "@$((CHANGE - 1))" '+%F %T')" +%s)
after=$(date -u -d "$(date -d "@$CHANGE" '+%F %T')" +%s)
expected_jump=$([ "$CASE" = end ] && echo -3599 || echo 3601)
e2e_assert_eq "$expected_jump" $((after - before)) "the rule moves the local clock by an hour at the change (seconds)"

# Everything is over 8 s after the first countdown tick, the action in the trace; 3 s more shows that nothing follows.
e2e_sleep_until $(( (FIRST_TICK + 8) * 1000 ))
e2e_wait_until 10 has_action
e2e_pause 3
first=$(wall_ms "$RESTORE_RE") || first=
when=$([ "$CASE" = skip ] && echo 'the change' || echo 'its time')
# on the wall clock only roughly: a loaded machine may delay a tick, never bring it forward
if [ -n "$first" ]; then
    e2e_assert_range $((first - FIRST_TICK * 1000)) -300 5000 \
        "countdown's first tick $((first - FIRST_TICK * 1000)) ms after $(local_text "$FIRST_TICK") ($when)"
else
    e2e_fail "the countdown starts" "no icon removal in the trace"
fi
# by the program's own clock: the countdown began at the tick whose clock read that time
ms=$(e2e_ms_after_clock 0 "$(local_text "$FIRST_TICK")" "$ACTION_RE")
e2e_assert_range "$ms" $E2E_ACTION_MS "hibernation requested ${ms} ms after the clock showed $(local_text "$FIRST_TICK") (relay times)"
e2e_assert_eq 1 "$(count_calls 'Call KERNEL32\.SetSystemPowerState\(00000000,00000000\)')" "hibernation requested once"
e2e_assert_eq 1 "$(count_calls "$ACTION_RE")" "one action call in all"
e2e_assert_eq 6 "$(count_calls "$RESTORE_RE")" "six countdown ticks, none after the action"
[ -n "$sleeper" ] && sleeper_check
e2e_finish
