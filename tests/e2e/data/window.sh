# tests/e2e/data/window.sh — where the end-to-end scripts click and look in the program's window and on the screen.
# Window-relative, in pixels at 96 DPI: points "X Y"; regions "X0 Y0 X1 Y1", inclusive.

# Points to click or press
ENTRY_XY="120 68"          # the entry box (a click clears it)
OK_XY="204 126"
ARRETER_XY="50 96"         # the options
REBOOT_XY="150 96"
VEILLE_XY="110 120"
CANCEL_XY="120 164"        # "ANNULER !"
MINIMISE_XY="220 8"        # the caption strip's glyphs
CLOSE_XY="234 8"
STRIP_XY="40 8"            # the caption strip, away from the glyphs
LINE_XY="128 20"           # on a line, between the strip and the clock box
SURFACE_XY="120 160"       # bare surface below the panel
CLOCK_XY="120 35"          # the read-only clock box
OPTION_ARRETER_XY="60 96"  # on "Arrêter", the option selected at start
PANEL_XY="30 110"          # the white panel's label, between the options

# Regions
CLOCK_BOX="64 24 177 46"
ENTRY_TEXT="20 60 221 76"         # inside the entry box's edge
PANEL_STRIP="24 82 216 87"        # panel between the entry box and the options: nothing else drawn there
OPTION_REBOOT="120 88 209 105"
DIGIT_BOX="24 122 40 138"
CANCEL_BUTTON="56 152 184 177"
CANCEL_FACE="58 154 182 175"      # "ANNULER !" inside its edge
# bare window surface, clear of the controls, the caption strip and the lines (the countdown hidden)
FREE_REGIONS=("0 18 13 177" "0 140 241 177" "228 18 241 177")

# With no notification-area host on the X display (no desktop environment in Xvfb), Wine 8's explorer keeps the
# icons in a small window of its own, titled "Wine System Tray": 160x20 at (3,22) on the root, mapped while it
# holds at least one icon, icons 16 px wide from its left edge. A click on it reaches the program as the icon's
# callback message. It is white where it holds no icon.
TRAY_RE='^Wine System Tray$'
TRAY_ICON_XY="10 10"
TRAY_ICON_AREA="0 0 19 19"
