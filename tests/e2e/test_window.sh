#!/usr/bin/env bash
# tests/e2e/test_window.sh — the main window as first shown: size, clock, entry prompt, options, hidden countdown,
# caption strip, desktop behind it, and its size at 120 and 144 DPI.
source "$(dirname "$0")/lib.sh"

# The layout checked, at 96 DPI, as Windows rectangles "LEFT TOP RIGHT BOTTOM" (right and bottom excluded).
WIN_W=242
WIN_H=178
CLOCK_RECT="64 24 177 46"
ENTRY_RECT="16 56 225 80"
ENTRY_BG=E0E0E0
PANEL_RECT="24 72 217 137"
OPTION_ARRETER_RECT="32 88 105 105"
RADIO_MARK_W=14            # the mark (13 px at 96 DPI) sits in the option's first columns
CANCEL_RECT="56 152 185 177"
DIGIT_RECT="24 122 41 138"
STRIP_REF="$E2E_ROOT/resources/BandeauTitre.bmp"   # drawn at the window's top-left corner
# 3630 x 2670 twips at other resolutions, +-1 for rounding
DPI_SIZES="120:302:223 144:363:267"

FUZZ=3                     # per cent, for exact-looking comparisons

# incl RECT [INSET] — the rectangle as the harness's inclusive region "X0 Y0 X1 Y1", shrunk by INSET on every side
incl() { local i=${5:-0}; echo "$(($1 + i)) $(($2 + i)) $(($3 - 1 - i)) $(($4 - 1 - i))"; }

e2e_require_exe
e2e_setup
e2e_wallpaper || e2e_fail "paint the desktop"
e2e_shot_root "$E2E_WORK/desktop.png" || e2e_fail "screenshot of the desktop"

e2e_start_app
wid=$(e2e_wait_window) || { e2e_fail "a window named 'Tarveil XP' appears" "none within $(e2e_limit "$E2E_TIMEOUT") s"; e2e_finish; }
e2e_pass "a window named 'Tarveil XP' appears"

# --- First look: taken as soon as the window is up --------------------------------------------------------------
e2e_shot_window "$wid" "$E2E_WORK/first.png" || e2e_fail "screenshot of the window"
cp "$E2E_WORK/first.png" "$E2E_WORK/win.png"

e2e_assert_eq "${WIN_W}x${WIN_H}" "${E2E_WIN_W}x${E2E_WIN_H}" "window is ${WIN_W}x${WIN_H} with no caption or border"
# what the desktop shows where the window lies
"$E2E_CONVERT" "$E2E_WORK/desktop.png" -crop "${E2E_WIN_W}x${E2E_WIN_H}+${E2E_WIN_X}+${E2E_WIN_Y}" +repage \
    "$E2E_WORK/behind.png"

# --- Clock box ---------------------------------------------------------------------------------------------------
CLOCK_IN=$(incl $CLOCK_RECT 2)   # inside its border
read -r n cx0 cy0 cx1 cy1 <<<"$(e2e_dark_bbox "$E2E_WORK/first.png" $CLOCK_IN)"
e2e_assert_ge "$n" 20 "clock box shows text in the first screenshot"
read -r bx0 by0 bx1 by1 <<<"$(incl $CLOCK_RECT)"
if [ "$n" -gt 0 ]; then
    left=$((cx0 - bx0)); right=$((bx1 - cx1))
    e2e_assert_le "$(( left > right ? left - right : right - left ))" 3 \
        "clock text is centred (left margin $left, right margin $right)"
fi

# Shots a little over a second apart, kept clear of a minute change so that only the seconds may move.
wait_mid_minute() { local s; s=$((10#$(date +%S))); [ "$s" -ge 2 ] && [ "$s" -le 54 ]; }
e2e_wait_until 70 wait_mid_minute
for i in 1 2 3; do
    e2e_shot_window "$wid" "$E2E_WORK/tick$i.png"
    sleep 1.1
done
for pair in "1 2" "2 3" "1 3"; do
    read -r a b <<<"$pair"
    d=$(e2e_diff_count "$E2E_WORK/tick$a.png" "$E2E_WORK/tick$b.png" $CLOCK_IN)
    e2e_assert_ge "$d" 1 "clock changes between shots $a and $b"
done
# HH:MM:SS within a minute: what changes is the seconds, the right part of the text
read -r dn dx0 _ dx1 _ <<<"$(e2e_diff_bbox "$E2E_WORK/tick1.png" "$E2E_WORK/tick2.png" $CLOCK_IN 32)"
read -r tn tx0 _ tx1 _ <<<"$(e2e_dark_bbox "$E2E_WORK/tick1.png" $CLOCK_IN)"
if [ "$dn" -gt 0 ] && [ "$tn" -gt 0 ]; then
    e2e_assert_ge "$dx0" $(( tx0 + (tx1 - tx0) * 5 / 8 )) \
        "only the seconds change within a minute (changes from x=$dx0, text $tx0..$tx1)"
else
    e2e_fail "only the seconds change within a minute" "no change ($dn) or no text ($tn)"
fi

# --- Entry box ---------------------------------------------------------------------------------------------------
read -r ex0 ey0 ex1 ey1 <<<"$(incl $ENTRY_RECT)"
area=$(( (ex1 - ex0 + 1) * (ey1 - ey0 + 1) ))
grey=$(e2e_count_color "$E2E_WORK/win.png" $ex0 $ey0 $ex1 $ey1 "$ENTRY_BG" 2)
e2e_assert_ge "$grey" $(( area / 2 )) "entry box background is light grey $ENTRY_BG ($grey of $area pixels)"
e2e_assert_ge "$(e2e_count_dark "$E2E_WORK/win.png" $ex0 $ey0 $ex1 $ey1)" 15 "entry box shows its prompt in dark text"
# the grey reaches the box's corners, inside its border
for pt in "$((ex0 + 3)) $((ey0 + 3))" "$((ex1 - 3)) $((ey1 - 3))"; do
    read -r x y <<<"$pt"
    e2e_assert_eq "$ENTRY_BG" "$(e2e_pixel "$E2E_WORK/win.png" "$x" "$y")" "entry box is grey at ($x,$y)"
done
# the grey stops at the box's edges: just outside is the desktop
for pt in "$((ex0 - 1)) $(((ey0 + ey1) / 2))" "$((ex1 + 1)) $(((ey0 + ey1) / 2))"; do
    read -r x y <<<"$pt"
    e2e_assert_ne "$ENTRY_BG" "$(e2e_pixel "$E2E_WORK/win.png" "$x" "$y")" "no grey outside the entry box at ($x,$y)"
done

# --- White panel ---------------------------------------------------------------------------------------------------
read -r PX0 PY0 PX1 PY1 <<<"$(incl $PANEL_RECT)"
below="$((PX0 + 1)) $((ey1 + 1)) $((PX1 - 1)) $((PY1 - 1))"   # what the entry box leaves of it, inside any border
parea=$(( (PX1 - PX0 - 1) * (PY1 - ey1 - 1) ))
white=$(e2e_count_color "$E2E_WORK/win.png" $below FFFFFF 0)
e2e_assert_ge "$white" $(( parea * 6 / 10 )) "panel is white ($white of $parea pixels below the entry box)"
# its first row under the entry box and its first column are white from end to end
row=$((ey1 + 2)); col=$((PX0 + 2))
e2e_assert_eq $((PX1 - 2 - col + 1)) "$(e2e_count_color "$E2E_WORK/win.png" $col $row $((PX1 - 2)) $row FFFFFF 0)" \
    "panel row y=$row is white from x=$col to $((PX1 - 2))"
e2e_assert_eq $((PY1 - 2 - row + 1)) "$(e2e_count_color "$E2E_WORK/win.png" $col $row $col $((PY1 - 2)) FFFFFF 0)" \
    "panel column x=$col is white from y=$row to $((PY1 - 2))"
for x in $((PX0 - 2)) $((PX1 + 2)); do
    e2e_assert_eq 0 "$(e2e_count_color "$E2E_WORK/win.png" "$x" $row "$x" $((PY1 - 2)) FFFFFF 8)" \
        "no white outside the panel at x=$x"
done

# --- Options: "Arrêter" selected -----------------------------------------------------------------------------------
read -r ox0 oy0 ox1 oy1 <<<"$(incl $OPTION_ARRETER_RECT)"
mark="$ox0 $oy0 $((ox0 + RADIO_MARK_W - 1)) $oy1"
read -r mn mx0 my0 mx1 my1 <<<"$(e2e_dark_bbox "$E2E_WORK/win.png" $mark 160)"
if [ "$mn" -gt 0 ]; then
    mcx=$(( (mx0 + mx1) / 2 )); mcy=$(( (my0 + my1) / 2 ))
    dot=$(e2e_count_dark "$E2E_WORK/win.png" $((mcx - 1)) $((mcy - 1)) $((mcx + 1)) $((mcy + 1)))
    e2e_assert_ge "$dot" 5 "'Arrêter' is selected: filled dot at the centre ($mcx,$mcy) of its mark"
else
    e2e_fail "'Arrêter' is selected" "no radio mark found in $mark"
fi
e2e_assert_ge "$(e2e_count_dark "$E2E_WORK/win.png" $((ox0 + RADIO_MARK_W)) $oy0 $ox1 $oy1)" 20 \
    "'Arrêter' option shows its label"

# --- Countdown group hidden ----------------------------------------------------------------------------------------
e2e_assert_eq 0 "$(e2e_diff_count "$E2E_WORK/behind.png" "$E2E_WORK/win.png" $(incl $CANCEL_RECT) "$FUZZ")" \
    "no 'ANNULER !' button: its place shows the desktop behind the window"
# the digit box lies on the panel's corner: hidden, it shows the panel's white and nothing else inside the border
read -r gx0 gy0 gx1 gy1 <<<"$(incl $DIGIT_RECT)"
gin="$((gx0 + 1)) $gy0 $gx1 $((gy1 - 2))"
e2e_assert_eq 0 "$(e2e_count_dark "$E2E_WORK/win.png" $gin 160)" "countdown digit box shows no digit"
e2e_assert_eq 1 "$(e2e_count_colors "$E2E_WORK/win.png" $gin)" "countdown digit box is flat"

# --- Caption strip ---------------------------------------------------------------------------------------------------
if [ -f "$STRIP_REF" ]; then
    e2e_assert_eq 0 "$(e2e_compare_ref "$E2E_WORK/win.png" 0 0 "$STRIP_REF" "$FUZZ")" \
        "caption strip matches $(basename "$STRIP_REF")"
else
    e2e_skip "caption strip matches the bitmap" "$STRIP_REF not there yet"
fi

# --- Other resolutions -----------------------------------------------------------------------------------------------
for entry in $DPI_SIZES; do
    IFS=: read -r dpi w h <<<"$entry"
    e2e_stop_app
    e2e_end_session
    e2e_stop_display
    e2e_start_display "$dpi" || { e2e_fail "Xvfb at $dpi DPI"; continue; }
    e2e_wallpaper "$E2E_WORK/wallpaper.png" >/dev/null 2>&1   # only for the screenshots' sake
    e2e_set_dpi "$dpi" || { e2e_fail "set $dpi DPI"; continue; }
    e2e_start_app
    if wid=$(e2e_wait_window); then
        e2e_geometry "$wid"
        e2e_assert_range "$E2E_WIN_W" $((w - 1)) $((w + 1)) "width at $dpi DPI is ${w}±1 (got $E2E_WIN_W)"
        e2e_assert_range "$E2E_WIN_H" $((h - 1)) $((h + 1)) "height at $dpi DPI is ${h}±1 (got $E2E_WIN_H)"
        e2e_shot_window "$wid" "$E2E_WORK/win-$dpi.png"
    else
        e2e_fail "window appears at $dpi DPI"
    fi
done

e2e_finish
