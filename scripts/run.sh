#!/usr/bin/env bash
# scripts/run.sh — builds the release exe and runs it under Wine: on $DISPLAY when there is one, otherwise on a
# private Xvfb long enough to save a screenshot (build/screenshot.png, or the file given with --shot FILE).
#   run.sh                      build and run
#   run.sh --shot FILE          no display: save the screenshot to FILE (e.g. docs/screenshot.png)
set -u

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root" || exit 1
shot="$root/build/screenshot.png"
if [ "${1:-}" = --shot ] && [ -n "${2:-}" ]; then
    shot=$(cd "$(dirname "$2")" 2>/dev/null && pwd)/$(basename "$2") || { echo "run: no folder for $2" >&2; exit 1; }
fi

bash scripts/deps.sh || exit 1
mkdir -p build
cmake --preset win32 >build/configure-win32.log 2>&1 || { cat build/configure-win32.log; exit 1; }
cmake --build --preset win32 || exit 1
exe="$root/build/win32/Tarveil XP.exe"
[ -f "$exe" ] || { echo "run: $exe was not built" >&2; exit 1; }

if [ -n "${DISPLAY:-}" ]; then
    # a prefix of its own, so a 64-bit ~/.wine is never touched
    export WINEPREFIX="$root/build/wineprefix" WINEARCH=win32 WINEDEBUG=${WINEDEBUG:--all}
    export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "run: creating $WINEPREFIX"
        wineboot -i >/dev/null 2>&1 || { echo "run: wineboot failed" >&2; exit 1; }
    fi
    mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
    [ -d /usr/share/wine/fonts ] && cp -n /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
    cd "$(dirname "$exe")" && exec wine "$exe"
fi

# No display: the e2e harness gives a private Xvfb and prefix and stops them at exit.
E2E_NAME=run
source "$root/tests/e2e/lib.sh"
E2E_EXE=$exe
e2e_setup
e2e_wallpaper || echo "run: could not paint the desktop" >&2
e2e_start_app
if ! wid=$(e2e_wait_window); then
    echo "run: no window named 'Tarveil XP' within $(e2e_limit "$E2E_TIMEOUT") s" >&2
    sed 's/^/    /' "$E2E_WORK/app.stderr" >&2
    E2E_FINISHED=1
    exit 1
fi
e2e_geometry "$wid"
e2e_shot_root "$E2E_WORK/root.png" || { echo "run: screenshot failed" >&2; E2E_FINISHED=1; exit 1; }
# the window with a margin of desktop around it, which it shows through its own background
m=24
x=$((E2E_WIN_X - m)); y=$((E2E_WIN_Y - m))
[ "$x" -lt 0 ] && x=0
[ "$y" -lt 0 ] && y=0
mkdir -p "$(dirname "$shot")"
"$E2E_CONVERT" "$E2E_WORK/root.png" -crop "$((E2E_WIN_W + 2 * m))x$((E2E_WIN_H + 2 * m))+$x+$y" +repage \
    -strip "$shot" || { E2E_FINISHED=1; exit 1; }
echo "run: window ${E2E_WIN_W}x${E2E_WIN_H} at ${E2E_WIN_X},${E2E_WIN_Y}; screenshot: $shot"
E2E_FINISHED=1
exit 0
