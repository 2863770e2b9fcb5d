#!/usr/bin/env bash
# tests/win32/under_wine.sh PREFIX PROGRAM [ARGS...] — how CTest runs a Win32 layer test program: under Wine, in PREFIX
# (made here the first time), on a private Xvfb of its own, so that it needs no desktop and writes nothing to $HOME.
# With PREFIX alone it only makes the prefix (scripts/test.sh does so ahead of time, in the background).
set -u

prefix=$1 program=${2:-}
shift $(( $# < 2 ? $# : 2 ))

export WINEPREFIX=$prefix WINEARCH=win32 WINEDEBUG=-all
# No prompt to fetch Mono or Gecko, and no menu entries or file associations written under $HOME by wineboot.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
logdir=$(dirname "$prefix")/wine-logs
# the limits below are a native run's, scaled where Wine is emulated
source "$(dirname "$0")/../e2e/pace.sh"
mkdir -p "$logdir"

# One prefix for every run; two runs at once wait for the first to finish making it.
(
    flock -w "$(e2e_limit 600)" 9 || { echo "under_wine: waited too long for $prefix.lock" >&2; exit 1; }
    [ -f "$prefix/system.reg" ] && exit 0
    rm -rf "$prefix"
    echo "under_wine: making the Wine prefix $prefix (once; slow under emulation)" >&2
    # made without a display, which it does not need, and with the lock closed: Wine's services outlive wineboot
    if ! env -u DISPLAY timeout "$(e2e_limit 300)" wineboot -i >"$logdir/wineboot.log" 2>&1 9>&-; then
        echo "under_wine: wineboot failed (see $logdir/wineboot.log)" >&2
        exit 1
    fi
    timeout "$(e2e_limit 60)" wineserver -w 9>&-
    # Debian's Wine looks for its own fonts (MS Sans Serif, Tahoma) where fonts-wine does not put them.
    mkdir -p "$prefix/drive_c/windows/Fonts"
    [ -d /usr/share/wine/fonts ] && cp -n /usr/share/wine/fonts/* "$prefix/drive_c/windows/Fonts/"
    [ -f "$prefix/system.reg" ]
) 9>"$prefix.lock" || exit 1

[ -n "$program" ] || exit 0

# A bare X server, never the desktop's display: the windows under test stay off the user's screen, and with a window
# manager on the display one of the focus checks would not hold.
xvfb_pid=
cleanup() {
    timeout "$(e2e_limit 20)" wineserver -k >/dev/null 2>&1
    if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; fi
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

unset DISPLAY
for n in $(seq 70 89); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -dpi 96 -nolisten tcp >"$logdir/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 1 100); do
        kill -0 "$xvfb_pid" 2>/dev/null || break   # another server took :n first
        # the answer must come from our server, not from one that took :n a moment earlier and made ours quit
        if DISPLAY=":$n" timeout 5 xdpyinfo >/dev/null 2>&1 && kill -0 "$xvfb_pid" 2>/dev/null; then
            export DISPLAY=":$n"
            break 2
        fi
        sleep 0.1
    done
    kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; xvfb_pid=
done
if [ -z "${DISPLAY:-}" ]; then
    echo "under_wine: could not start Xvfb on any of :70 to :89 (see $logdir/xvfb.log)" >&2
    exit 1
fi

wine "$program" "$@"
