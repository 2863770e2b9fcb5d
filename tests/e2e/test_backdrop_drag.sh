#!/usr/bin/env bash
# tests/e2e/test_backdrop_drag.sh — the desktop as the window's background, moving the window by dragging it,
# and the two caption glyphs (minimise acts as "OK", close ends the program, removes the tray icon and stops a
# running countdown before its action).
source "$(dirname "$0")/lib.sh"

# Under Wine without a window manager, hiding the window holds for about two seconds before the copy.
REPAINT_WAIT=${REPAINT_WAIT:-4}
BAD_FORMAT_TITLE="^$TXT_FORMAT_TITLE\$"

e2e_require_exe
e2e_setup
e2e_wallpaper || e2e_fail "paint the desktop"
e2e_shot_root "$E2E_WORK/desktop.png" || e2e_fail "screenshot of the desktop"
# The icon's calls give the program's thread; its screen reads (a BitBlt from a DC that GetDC gave) show when a
# release has read the screen.
e2e_relay_include "Shell_NotifyIconA;GetDC;BitBlt"
# a window manager stopped by a held drag never stays so
e2e_on_exit 'kill -CONT "$E2E_WM_PID"'

# where WID lies on screen, as "X Y", read once it is shown (see moved_by)
position() { e2e_wait_until 10 viewable "$1"; e2e_geometry "$1" && echo "$E2E_WIN_X $E2E_WIN_Y"; }

# free_diff WID DESKTOP SHOT — pixels of the free regions of the window that differ from DESKTOP at its place.
free_diff() {
    local wid=$1 desktop=$2 shot=$3 r n total=0
    e2e_shot_window "$wid" "$shot" || { echo -1; return; }
    "$E2E_CONVERT" "$desktop" -crop "${E2E_WIN_W}x${E2E_WIN_H}+${E2E_WIN_X}+${E2E_WIN_Y}" +repage "$shot.behind.png"
    for r in "${FREE_REGIONS[@]}"; do
        # shellcheck disable=SC2086
        n=$(e2e_diff_count "$shot.behind.png" "$shot" $r 0)
        [ "$n" -lt 0 ] && { echo -1; return; }
        total=$((total + n))
    done
    echo "$total"
}
# The window hides for a moment at each release, and a hidden one would show the desktop under it whatever it holds.
viewable() { timeout 10 xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable'; }
_free_matches() { viewable "$1" && [ "$(free_diff "$1" "$2" "$3")" = 0 ] && viewable "$1"; }

# backdrop_matches WID DESKTOP LABEL [WAIT] — the free regions of the window equal DESKTOP at the window's place,
# pixel for pixel, within WAIT seconds (the repaint hides the window, which Wine without a window manager holds
# for about two seconds).
backdrop_matches() {
    local wid=$1 desktop=$2 label=$3 wait=${4:-10} shot="$E2E_WORK/$3.png" at
    at=$(position "$wid")
    if e2e_wait_until "$wait" _free_matches "$wid" "$desktop" "$shot"; then
        e2e_pass "$label: background equals the screen under the window at ($at)"
    else
        e2e_fail "$label: background equals the screen under the window at ($at)" \
            "$(free_diff "$wid" "$desktop" "$shot") pixels differ"
    fi
}

# wait_screen_read N — waits, up to 10 s, until the trace past its first N lines shows a read of the screen returning:
# a BitBlt from a DC that GetDC gave (the program's own pictures are memory DCs). The trace is followed as it is
# written, so that the wait ends within milliseconds of the read.
wait_screen_read() {
    local fd follower found
    exec {fd}< <(exec timeout "$(e2e_limit 10)" tail -n +"$(($1 + 1))" -f "$E2E_RELAY_LOG")
    follower=$!
    awk '
        /:Ret  user32\.GetDC\(\) retval=/ { sub(/.*retval=/, ""); screen[$1] = 1; next }
        /:Call gdi32\.BitBlt\(/ { split($0, a, /[(,]/); reading = (a[7] in screen); next }
        reading && /:Ret  gdi32\.BitBlt\(\)/ { found = 1; exit }
        END { exit !found }' <&"$fd"
    found=$?
    kill "$follower" 2>/dev/null
    exec {fd}<&-
    return "$found"
}

at_place() { [ "$(position "$1")" = "$2 $3" ]; }

# drag WID "X Y" DX DY [BUTTON] [held] — presses at a window-relative point, moves by (DX, DY) in three steps,
# releases. "held" stops the window manager from just before the release until the program has read the screen
# once after it. Where Wine runs natively, the program copies the screen before the window manager has taken the
# window's frame off it, and that frame still holds the window's old pixels; here, where Wine runs several times
# slower under emulation, the window manager mostly wins, so it is stopped. Resumed at the first read, it takes the
# frame off while the program can still wait for that (a few hundred milliseconds).
drag() {
    local wid=$1 dx=$3 dy=$4 button=${5:-1} held=${6:-} x y sx sy x0 y0 from
    read -r x y <<<"$2"
    e2e_geometry "$wid" || return 1
    x0=$E2E_WIN_X; y0=$E2E_WIN_Y
    sx=$((x0 + x)); sy=$((y0 + y))
    timeout 10 xdotool mousemove "$sx" "$sy" sleep 0.3 mousedown "$button" sleep 0.3 \
        mousemove $((sx + dx / 3)) $((sy + dy / 3)) sleep 0.3 \
        mousemove $((sx + 2 * dx / 3)) $((sy + 2 * dy / 3)) sleep 0.3 \
        mousemove $((sx + dx)) $((sy + dy)) sleep 0.3
    if [ "$held" = held ]; then
        # the window manager has put the frame where the pointer took the window before it is stopped
        e2e_wait_until 5 at_place "$wid" $((x0 + dx)) $((y0 + dy)) || e2e_log "the window is not at its new place"
        from=$(wc -l <"$E2E_RELAY_LOG")
        kill -STOP "$E2E_WM_PID"
        timeout 10 xdotool mouseup "$button"
        wait_screen_read "$from" || e2e_log "no read of the screen after the release"
        kill -CONT "$E2E_WM_PID"
    else
        timeout 10 xdotool mouseup "$button"
    fi
    e2e_pause 0.5
}

# moved_by WID "X0 Y0" DX DY LABEL — the window, shown, lies at (X0 + DX, Y0 + DY). Waited for: a release hides the
# window while it copies the screen and shows it again, and a place read while it was hidden, the window manager
# held, came out (0,0). A window moved wrong stays where it went, and the wait ends with it.
moved_by() {
    local x0 y0 want
    read -r x0 y0 <<<"$2"
    want="$((x0 + $3)) $((y0 + $4))"
    e2e_wait_until 10 placed "$1" "$want"
    e2e_assert_eq "$want" "$(position "$1")" "$5"
}
placed() { viewable "$1" && [ "$(position "$1")" = "$2" ]; }

e2e_start_app_traced
wid=$(e2e_wait_window) || { e2e_fail "a window named 'Tarveil XP' appears" "none within $(e2e_limit "$E2E_TIMEOUT") s"; e2e_finish; }
e2e_pass "a window named 'Tarveil XP' appears"
e2e_pause 1
start=$(position "$wid")
e2e_log "window at $start"

# --- The backdrop as first shown ------------------------------------------------------------------------------
backdrop_matches "$wid" "$E2E_WORK/desktop.png" "start"

# --- Drags that move the window -----------------------------------------------------------------------------------
# From the caption strip, a line and the bare surface; each axis both ways and alone, and both diagonals, each new
# place overlapping the one before. After each release the window copies the screen again: its background must be
# the desktop at the new place, not the window's own old background.
n=0
for move in "strip:$STRIP_XY:57:33" "strip:$STRIP_XY:-21:-12" "line:$LINE_XY:30:0" "surface:$SURFACE_XY:0:-15" \
    "strip:$STRIP_XY:-30:20" "surface:$SURFACE_XY:30:-20"; do
    IFS=: read -r what grab dx dy <<<"$move"
    n=$((n + 1))
    here=$(position "$wid")
    drag "$wid" "$grab" "$dx" "$dy" 1 held
    moved_by "$wid" "$here" "$dx" "$dy" "drag from the $what by ($dx,$dy) moves the window by ($dx,$dy)"
    backdrop_matches "$wid" "$E2E_WORK/desktop.png" "drag$n"
done

# --- Presses that start no drag -------------------------------------------------------------------------------------
here=$(position "$wid")
drag "$wid" "$STRIP_XY" 40 25 3
moved_by "$wid" "$here" 0 0 "a right-button drag from the caption strip moves nothing"
# its release repaints the backdrop too, behind a hidden window: let that end
e2e_pause "$REPAINT_WAIT"
for press in "clock box:$CLOCK_XY" "selected option:$OPTION_ARRETER_XY" "panel label:$PANEL_XY"; do
    what=${press%%:*}
    drag "$wid" "${press#*:}" 40 25
    moved_by "$wid" "$here" 0 0 "a left-button drag from the $what moves nothing"
done

# --- The minimise glyph acts as "OK"; activation leaves the backdrop, a release repaints it ---------------------------
# A different desktop from here on: what the window shows tells when it last copied the screen.
"$E2E_CONVERT" "$E2E_WORK/desktop.png" -negate "$E2E_WORK/desktop2.png"
timeout 20 display -window root "$E2E_WORK/desktop2.png" >"$E2E_WORK/display2.log" 2>&1
e2e_shot_root "$E2E_WORK/desktop2-check.png"
e2e_assert_eq "$(e2e_pixel "$E2E_WORK/desktop2.png" 1000 700)" "$(e2e_pixel "$E2E_WORK/desktop2-check.png" 1000 700)" \
    "the desktop now shows its negative"
trace_from=$(wc -l <"$E2E_RELAY_LOG")
# The message box takes the activation; closing it switches back to the window, then a control is clicked.
read -r gx gy <<<"$MINIMISE_XY"
e2e_click "$wid" "$gx" "$gy"
if box=$(e2e_wait_window "$BAD_FORMAT_TITLE" 10); then
    e2e_pass "the minimise glyph checks the prompt text: 'Format de l'heure incorrect !' appears"
    e2e_key "$box" Return
    e2e_wait_no_window "$BAD_FORMAT_TITLE" 10 || e2e_fail "the message box goes with Enter"
else
    e2e_fail "the minimise glyph checks the prompt text" "no message box titled 'Format de l'heure incorrect !'"
fi
e2e_check "the program still runs after the minimise glyph" e2e_app_running
read -r cx cy <<<"$CLOCK_XY"
e2e_click "$wid" "$cx" "$cy"
# long enough for a repaint to have shown, had one started
e2e_pause "$REPAINT_WAIT"
trace_to=$(wc -l <"$E2E_RELAY_LOG")
backdrop_matches "$wid" "$E2E_WORK/desktop.png" "activation leaves the old copy" 0
here=$(position "$wid")
drag "$wid" "$STRIP_XY" 10 10 1 held
moved_by "$wid" "$here" 10 10 "drag by (10,10) on the new desktop"
backdrop_matches "$wid" "$E2E_WORK/desktop2.png" "the release copies the new desktop"

# --- The close glyph ends the program -------------------------------------------------------------------------------
read -r gx gy <<<"$CLOSE_XY"
e2e_click "$wid" "$gx" "$gy"
if e2e_wait_app_exit 15; then
    e2e_pass "a click on the close glyph ends the program"
else
    e2e_fail "a click on the close glyph ends the program" "still running 15 s later"
fi
e2e_assert_ge "$(e2e_relay_count 'Call shell32\.Shell_NotifyIconA\(00000002,')" 1 \
    "closing removes the tray icon: Shell_NotifyIconA(NIM_DELETE = 2) in the trace"

# The window really was switched back to while its backdrop was watched: its thread (the one that removed the
# icon) got an activation in that stretch of the trace.
tid=$(e2e_relay_grep 'Call shell32\.Shell_NotifyIconA\(' | head -n1 | cut -d: -f1)
activations=$(sed -n "$((trace_from + 1)),${trace_to}p" "$E2E_RELAY_LOG" |
    grep -a -c -E "^$tid:Call window proc [0-9A-Fa-f]+ \(hwnd=[0-9a-f]+,msg=WM_ACTIVATE,wp=0000000[12],")
e2e_assert_ge "$activations" 1 "the window was activated again after the message box ($activations times)"

# --- The close glyph during the countdown: the program ends before the action ---------------------------------------
e2e_relay_include "Shell_NotifyIconA;ExitWindowsEx;SetSystemPowerState;CreateProcessA;CreateProcessW;user32.SetWindowTextW"
E2E_RELAY_LOG=$E2E_WORK/relay-countdown.log
e2e_start_app_traced
if wid=$(e2e_wait_window); then
    e2e_clear_entry "$wid"
    chosen=$(date +%s%3N)
    e2e_type "$wid" "$(e2e_time_in "$(e2e_lead 4)")"
    read -r ox oy <<<"$OK_XY"
    e2e_click "$wid" "$ox" "$oy"
    e2e_relay_wait 'Call shell32\.Shell_NotifyIconA\(00000000,' && e2e_armed_since "$chosen"
    # the countdown shows its white "ANNULER !" button where the desktop was
    cancel_up() {
        e2e_shot_window "$wid" "$E2E_WORK/countdown.png" &&
            [ "$(e2e_count_color "$E2E_WORK/countdown.png" $CANCEL_FACE FFFFFF 0)" -ge 1000 ]
    }
    if e2e_wait_until 20 cancel_up; then
        e2e_pass "the countdown starts"
        read -r gx gy <<<"$CLOSE_XY"
        e2e_click "$wid" "$gx" "$gy"
        if e2e_wait_app_exit 4; then
            e2e_pass "the close glyph ends the program during the countdown"
        else
            e2e_fail "the close glyph ends the program during the countdown" "still running 4 s later"
        fi
        # Counted on the program's own thread (the one that added the icon): when Wine's server has ended between
        # the two runs, the services that start again with it write their calls into the same trace.
        tid=$(e2e_relay_grep 'Call shell32\.Shell_NotifyIconA\(' | head -n1 | cut -d: -f1)
        e2e_assert_ne "" "$tid" "the program's thread is in the trace"
        e2e_assert_eq 0 "$(e2e_relay_count "^${tid:-none}:Call [a-z0-9]+\.(ExitWindowsEx|SetSystemPowerState|CreateProcess[AW])\(")" \
            "the countdown never reached its action"
    else
        e2e_fail "the countdown starts" "no 'ANNULER !' button within 20 s"
    fi
else
    e2e_fail "the window appears again"
fi

e2e_finish
