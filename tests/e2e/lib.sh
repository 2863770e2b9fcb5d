# tests/e2e/lib.sh — sourced harness for the end-to-end scripts: private Xvfb, wine prefix, app, pixels, relay, asserts.
#
# Usage in a test script:
#   source "$(dirname "$0")/lib.sh"
#   e2e_setup                 # display + this script's own prefix (E2E_DPI, E2E_FRESH_PREFIX=1 honoured)
#   e2e_start_app             # runs "$E2E_EXE" under wine in the background
#   wid=$(e2e_wait_window) || ...
#   ... e2e_assert_* ...
#   e2e_finish                # prints "N passed, M failed" and exits with the status
#
# Everything started here is stopped by the EXIT trap: the app, the prefix's wineserver, Xvfb; the prefix is deleted.
# Nothing in here uses `set -e`; the assertions decide the exit status.

# ---------------------------------------------------------------------------------------------------------------
# Settings (override from the environment before sourcing or before e2e_setup)
E2E_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
E2E_BUILD=${E2E_BUILD:-$E2E_ROOT/build/e2e}
E2E_EXE=${E2E_EXE:-$E2E_ROOT/build/win32/Tarveil XP.exe}
E2E_DPI=${E2E_DPI:-96}
E2E_SCREEN=${E2E_SCREEN:-1024x768x24}
source "$E2E_ROOT/tests/e2e/pace.sh"
source "$E2E_ROOT/tests/e2e/data/window.sh"
source "$E2E_ROOT/tests/e2e/data/texts.sh"
E2E_TIMEOUT=${E2E_TIMEOUT:-30}            # default limit of a wait, a native run's (seconds; each wait scales it)
E2E_FRESH_PREFIX=${E2E_FRESH_PREFIX:-0}   # 1: wineboot a prefix for this script instead of copying the template
E2E_WINEDEBUG=${E2E_WINEDEBUG:--all}
E2E_WM=${E2E_WM:-openbox}                 # the window manager on the display, as a Wine user has one; "none" for none
E2E_WM_STALL=${E2E_WM_STALL:-}            # "PERIOD:STOP" (seconds): every PERIOD, the window manager stopped for STOP
E2E_WINDOW_NAME=${E2E_WINDOW_NAME:-'^Tarveil XP$'}   # xdotool --name regex of the program's window
E2E_NAME=${E2E_NAME:-$(basename "$0" .sh)}
E2E_WORK=${E2E_WORK:-$E2E_BUILD/work/$E2E_NAME}   # screenshots and logs of this script

# The real ImageMagick tools, never a stand-in earlier on PATH.
E2E_CONVERT=${E2E_CONVERT:-/usr/bin/convert}
E2E_COMPARE=${E2E_COMPARE:-/usr/bin/compare}
E2E_IMPORT=${E2E_IMPORT:-/usr/bin/import}
[ -x "$E2E_CONVERT" ] || E2E_CONVERT=convert
[ -x "$E2E_COMPARE" ] || E2E_COMPARE=compare
[ -x "$E2E_IMPORT" ] || E2E_IMPORT=import

# State
E2E_PASSED=0
E2E_FAILED=0
E2E_SKIPPED=0
E2E_FINISHED=0
E2E_XVFB_PID=
E2E_WM_PID=
E2E_WM_STALL_PID=
E2E_DISPLAY_NUM=
E2E_APP_PID=
E2E_PREFIX_IS_FRESH=0
E2E_RELAY_SET=0
E2E_EXTRA_CLEANUP=()

mkdir -p "$E2E_BUILD" "$E2E_WORK"
rm -f "$E2E_WORK/wm-stall.log"

# ---------------------------------------------------------------------------------------------------------------
# Logging and assertions

# The log's times are the machine's, even where a script runs the program, or itself, under a zone of its own.
if [ -n "${TZ+set}" ]; then _E2E_LOG_TZ=(env "TZ=$TZ"); else _E2E_LOG_TZ=(env -u TZ); fi
e2e_log() { printf '[%s %s] %s\n' "$E2E_NAME" "$("${_E2E_LOG_TZ[@]}" date +%H:%M:%S)" "$*" >&2; }

e2e_pass() { E2E_PASSED=$((E2E_PASSED + 1)); printf 'PASS: %s\n' "$1"; }

# e2e_fail NAME [DETAIL]
e2e_fail() {
    E2E_FAILED=$((E2E_FAILED + 1))
    printf 'FAIL: %s%s\n' "$1" "${2:+ — $2}"
}

# e2e_skip NAME REASON
e2e_skip() { E2E_SKIPPED=$((E2E_SKIPPED + 1)); printf 'SKIP: %s — %s\n' "$1" "$2"; }

# e2e_check NAME COMMAND...  — passes when the command succeeds
e2e_check() {
    local name=$1; shift
    if "$@"; then e2e_pass "$name"; else e2e_fail "$name" "command failed: $*"; fi
}

# e2e_assert_eq EXPECTED ACTUAL NAME
e2e_assert_eq() {
    if [ "$1" = "$2" ]; then e2e_pass "$3"; else e2e_fail "$3" "expected '$1', got '$2'"; fi
}

# e2e_assert_ne UNEXPECTED ACTUAL NAME
e2e_assert_ne() {
    if [ "$1" != "$2" ]; then e2e_pass "$3"; else e2e_fail "$3" "got '$2', which it must not be"; fi
}

# e2e_assert_range VALUE LOW HIGH NAME  — integers, inclusive
e2e_assert_range() {
    if _e2e_is_int "$1" && [ "$1" -ge "$2" ] && [ "$1" -le "$3" ]; then
        e2e_pass "$4"
    else
        e2e_fail "$4" "got '$1', expected $2..$3"
    fi
}

# e2e_assert_ge VALUE MIN NAME / e2e_assert_le VALUE MAX NAME
e2e_assert_ge() {
    if _e2e_is_int "$1" && [ "$1" -ge "$2" ]; then e2e_pass "$3"; else e2e_fail "$3" "got '$1', expected >= $2"; fi
}
e2e_assert_le() {
    if _e2e_is_int "$1" && [ "$1" -le "$2" ]; then e2e_pass "$3"; else e2e_fail "$3" "got '$1', expected <= $2"; fi
}

_e2e_is_int() { [[ $1 =~ ^-?[0-9]+$ ]]; }

# e2e_finish — prints the summary line and exits: non-zero on any failure or when nothing was checked at all.
e2e_finish() {
    E2E_FINISHED=1
    local line="$E2E_PASSED passed, $E2E_FAILED failed"
    [ "$E2E_SKIPPED" -gt 0 ] && line="$line, $E2E_SKIPPED skipped"
    echo "$line"
    if [ "$E2E_FAILED" -gt 0 ]; then exit 1; fi
    if [ "$E2E_PASSED" -eq 0 ] && [ "$E2E_SKIPPED" -eq 0 ]; then
        echo "$E2E_NAME: no check ran" >&2
        exit 1
    fi
    exit 0
}

# e2e_require_exe — fails the script at once when the program has not been built.
e2e_require_exe() {
    if [ ! -f "$E2E_EXE" ]; then
        e2e_fail "program exists" "$E2E_EXE not found (build it: cmake --preset win32 && cmake --build --preset win32)"
        e2e_finish
    fi
}

# ---------------------------------------------------------------------------------------------------------------
# Cleanup

# e2e_on_exit COMMAND — run COMMAND (a string, eval'd) at exit, before the app, wine and Xvfb are stopped.
e2e_on_exit() { E2E_EXTRA_CLEANUP+=("$1"); }

_e2e_cleanup() {
    local status=$?
    trap - EXIT INT TERM HUP
    _e2e_wm_stall_end
    local c
    for c in "${E2E_EXTRA_CLEANUP[@]}"; do eval "$c" >/dev/null 2>&1 || true; done
    e2e_stop_app
    if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
        e2e_end_session
        if [ "$E2E_PREFIX_IS_FRESH" = 1 ]; then
            # the server's folder under /tmp, named in the prefix, outlives the server
            local sdir; sdir=$(cat "$WINEPREFIX/wineserver" 2>/dev/null)
            [[ $sdir =~ ^wine-[A-Za-z0-9]+$ ]] && rm -rf "${TMPDIR:-/tmp}/$sdir"
            rm -rf "$WINEPREFIX"
        fi
    fi
    e2e_stop_display
    if [ "$E2E_FINISHED" != 1 ]; then
        echo "$E2E_NAME: ended before e2e_finish (status $status)" >&2
        E2E_FAILED=$((E2E_FAILED + 1))
        echo "$E2E_PASSED passed, $E2E_FAILED failed"
        [ "$status" -eq 0 ] && status=1
    fi
    exit "$status"
}
trap _e2e_cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

# ---------------------------------------------------------------------------------------------------------------
# Display

# e2e_start_display [DPI] — a private Xvfb on the first free :N from 90, exported as DISPLAY, with the window manager
# running on it before any Wine program starts.
e2e_start_display() {
    local dpi=${1:-$E2E_DPI} n
    [ -n "$E2E_XVFB_PID" ] && return 0
    for n in $(seq 90 189); do
        [ -e "/tmp/.X$n-lock" ] && continue
        [ -e "/tmp/.X11-unix/X$n" ] && continue
        Xvfb ":$n" -screen 0 "$E2E_SCREEN" -dpi "$dpi" -nolisten tcp -noreset \
            >"$E2E_WORK/xvfb.log" 2>&1 &
        E2E_XVFB_PID=$!
        local i
        for i in $(seq 1 100); do
            if ! kill -0 "$E2E_XVFB_PID" 2>/dev/null; then break; fi   # lost a race for :n, try the next
            # the answer must come from our server, not one that took :n a moment earlier and made ours quit
            # and the display's lock names it: two scripts started together both get an answer from the winner
            if DISPLAY=":$n" timeout 5 xdpyinfo >/dev/null 2>&1 && sleep 0.2 && kill -0 "$E2E_XVFB_PID" 2>/dev/null &&
                [ "$(tr -dc 0-9 <"/tmp/.X$n-lock" 2>/dev/null)" = "$E2E_XVFB_PID" ]; then
                E2E_DISPLAY_NUM=$n
                export DISPLAY=":$n"
                e2e_log "Xvfb on :$n (pid $E2E_XVFB_PID, ${dpi} dpi)"
                e2e_start_wm
                return
            fi
            sleep 0.1
        done
        kill "$E2E_XVFB_PID" 2>/dev/null
        wait "$E2E_XVFB_PID" 2>/dev/null
        E2E_XVFB_PID=
    done
    echo "e2e: could not start Xvfb (see $E2E_WORK/xvfb.log)" >&2
    return 1
}

# e2e_start_wm — openbox on the display, waited for until it has taken the screen (the root window names it).
# Without a window manager Wine waits about 2 s for an answer at every change of a managed window.
e2e_start_wm() {
    [ "$E2E_WM" = none ] && return 0
    command -v openbox >/dev/null || { echo "e2e: openbox not found (package openbox)" >&2; return 1; }
    # its own log goes with this script's files, not under $HOME/.cache
    XDG_CACHE_HOME="$E2E_WORK" openbox --sm-disable >"$E2E_WORK/openbox.log" 2>&1 &
    E2E_WM_PID=$!
    local i
    for i in $(seq 1 100); do
        kill -0 "$E2E_WM_PID" 2>/dev/null || break
        if timeout 5 xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; then
            e2e_log "openbox on :$E2E_DISPLAY_NUM (pid $E2E_WM_PID)"
            _e2e_wm_stall_start
            return
        fi
        sleep 0.1
    done
    echo "e2e: openbox did not start (see $E2E_WORK/openbox.log)" >&2
    return 1
}

# A race with the screen that a fast machine loses and a slow one hides shows when the window manager lags: with
# E2E_WM_STALL a loop stops it for STOP seconds every PERIOD, all through the script (each stop's time in wm-stall.log).
_e2e_wm_stall_start() {
    [ -n "$E2E_WM_STALL" ] || return 0
    [[ $E2E_WM_STALL =~ ^([0-9.]+):([0-9.]+)$ ]] || { echo "e2e: E2E_WM_STALL is PERIOD:STOP, not '$E2E_WM_STALL'" >&2; return 1; }
    local period=${BASH_REMATCH[1]} stop=${BASH_REMATCH[2]} wm=$E2E_WM_PID
    echo "openbox $wm" >>"$E2E_WORK/wm-stall.log"
    ( while sleep "$period" && kill -STOP "$wm" 2>/dev/null; do
        date +%T.%3N >>"$E2E_WORK/wm-stall.log"; sleep "$stop"; kill -CONT "$wm"; done ) >/dev/null 2>&1 &
    E2E_WM_STALL_PID=$!
    e2e_log "window manager stopped for ${stop}s every ${period}s"
}
# the loop ended before the window manager is let run, so that it is never left stopped
_e2e_wm_stall_end() {
    [ -n "$E2E_WM_STALL_PID" ] || return 0
    kill "$E2E_WM_STALL_PID" 2>/dev/null
    wait "$E2E_WM_STALL_PID" 2>/dev/null
    E2E_WM_STALL_PID=
    kill -CONT "$E2E_WM_PID" 2>/dev/null
}

e2e_stop_display() {
    _e2e_wm_stall_end
    if [ -n "$E2E_WM_PID" ]; then
        kill "$E2E_WM_PID" 2>/dev/null
        wait "$E2E_WM_PID" 2>/dev/null
        E2E_WM_PID=
    fi
    [ -z "$E2E_XVFB_PID" ] && return 0
    kill "$E2E_XVFB_PID" 2>/dev/null
    local i
    for i in $(seq 1 50); do kill -0 "$E2E_XVFB_PID" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$E2E_XVFB_PID" 2>/dev/null
    wait "$E2E_XVFB_PID" 2>/dev/null
    E2E_XVFB_PID=
}

# e2e_wallpaper [FILE] — paints the root window with FILE, by default a gradient running red across and green down,
# so a window that copies the desktop behind it can be told from one painted flat.
e2e_wallpaper() {
    local img=${1:-$E2E_WORK/wallpaper.png}
    if [ -z "${1:-}" ]; then
        local w=${E2E_SCREEN%%x*} rest=${E2E_SCREEN#*x}
        local h=${rest%%x*}
        "$E2E_CONVERT" -size "${h}x${w}" gradient:'#707070-#202020' -rotate 270 \
            \( -size "${w}x${h}" gradient:'#5A5A5A-#A0A0A0' \) -size "${w}x${h}" xc:'#D8D8D8' \
            -colorspace sRGB -channel RGB -combine -depth 8 "$img" || return 1
    fi
    # display's status is 1 even when it worked: judge by what the screen shows
    timeout 20 display -window root "$img" >"$E2E_WORK/display.log" 2>&1
    e2e_shot_root "$E2E_WORK/wallpaper-check.png" || return 1
    [ "$(e2e_pixel "$E2E_WORK/wallpaper-check.png" 7 5)" = "$(e2e_pixel "$img" 7 5)" ]
}

# ---------------------------------------------------------------------------------------------------------------
# Wine prefix

_e2e_wine_env() {
    export WINEARCH=win32
    export WINEDEBUG=$E2E_WINEDEBUG
    # no prompts to fetch Mono or Gecko, and no menu entries or file associations written under $HOME by wineboot
    export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}
}

# e2e_prefix [fresh] — sets WINEPREFIX to this script's own prefix, deleted at exit, so that scripts run side by side
# never share a wineserver or registry. It is a hard-linked copy of a template made once with wineboot and reused
# by every script (build/e2e/prefix-template); "fresh" (or E2E_FRESH_PREFIX=1) runs wineboot for this script alone.
e2e_prefix() {
    _e2e_wine_env
    local mode=${1:-}
    [ "$E2E_FRESH_PREFIX" = 1 ] && mode=fresh
    export WINEPREFIX="$E2E_BUILD/prefix-$E2E_NAME.$$"
    E2E_PREFIX_IS_FRESH=1
    rm -rf "$WINEPREFIX"
    if [ "$mode" = fresh ]; then
        _e2e_wineboot
        return
    fi
    e2e_prefix_template || return 1
    _e2e_clone_prefix "$E2E_BUILD/prefix-template" "$WINEPREFIX"
}

# e2e_prefix_template — makes the template once; a caller that finds it being made waits for it.
e2e_prefix_template() {
    _e2e_wine_env
    local tpl="$E2E_BUILD/prefix-template"
    (
        flock -w "$(e2e_limit 600)" 9 || exit 1
        if [ ! -f "$tpl/.e2e-ready" ]; then
            rm -rf "$tpl"
            export WINEPREFIX="$tpl"
            # without the lock's descriptor: Wine's services outlive wineboot and would hold the lock for minutes
            _e2e_wineboot 9>&- || exit 1
            touch "$tpl/.e2e-ready"
        fi
    ) 9>"$E2E_BUILD/prefix.lock"
}

# Hard links make the copy instant; the files Wine may rewrite in place are copied for real so the template stays
# as wineboot left it (wineserver replaces the .reg files by renaming, but nothing is lost by being careful).
_e2e_clone_prefix() {
    local tpl=$1 dst=$2 f
    cp -al "$tpl" "$dst" || return 1
    rm -f "$dst/wineserver"   # names the template's server folder under /tmp; the copy gets its own
    for f in "$dst"/*.reg "$dst"/.update-timestamp "$dst"/drive_c/windows/*.ini; do
        [ -f "$f" ] && cp --remove-destination "$tpl/${f#"$dst"/}" "$f"
    done
    return 0
}

_e2e_wineboot() {
    e2e_log "creating wine prefix $WINEPREFIX"
    # made without a display: nothing to show, and it is faster
    if ! env -u DISPLAY timeout "$(e2e_limit 300)" wineboot -i >"$E2E_WORK/wineboot.log" 2>&1; then
        echo "e2e: wineboot failed (see $E2E_WORK/wineboot.log)" >&2
        return 1
    fi
    e2e_wait_session_gone
    [ -f "$WINEPREFIX/system.reg" ] || return 1
    e2e_install_wine_fonts
}

# e2e_install_wine_fonts — puts Wine's own fonts (MS Sans Serif, Tahoma, ...) in the prefix's Fonts folder. Debian's
# Wine looks for them in a folder where fonts-wine does not put them, and would draw every face with DejaVu Sans.
e2e_install_wine_fonts() {
    local src=/usr/share/wine/fonts dst="$WINEPREFIX/drive_c/windows/Fonts"
    [ -d "$src" ] || { echo "e2e: $src missing (package fonts-wine): text will not look as on Windows" >&2; return 0; }
    mkdir -p "$dst" && cp -n "$src"/* "$dst"/
}

# e2e_wait_session_gone — waits until this prefix's Wine session is over: its wineserver gone, the last step of a
# session going down (after ExitWindowsEx, or its last program's end). A program started before then joins the session
# that is ending and goes down with it.
e2e_wait_session_gone() { timeout "$(e2e_limit 60)" wineserver -w >/dev/null 2>&1; return 0; }

# e2e_end_session — ends this prefix's Wine session at once, and waits until it is over.
e2e_end_session() {
    timeout "$(e2e_limit 20)" wineserver -k >/dev/null 2>&1
    e2e_wait_session_gone
}

# e2e_new_session — a new session for the settings just written: the old one over, the wineserver and the desktop
# process started again, untraced.
e2e_new_session() {
    e2e_end_session
    WINEDEBUG=-all timeout "$(e2e_limit 60)" wine reg query 'HKCU\Software\Wine\X11 Driver' >/dev/null 2>&1
    return 0
}

# e2e_reg_add KEY VALUE TYPE DATA — writes one registry value in the current prefix.
e2e_reg_add() {
    timeout "$(e2e_limit 60)" wine reg add "$1" /v "$2" /t "$3" /d "$4" /f >>"$E2E_WORK/reg.log" 2>&1
}

# e2e_set_dpi DPI — what Windows programs in this prefix see as the screen's pixels per inch.
e2e_set_dpi() {
    e2e_reg_add 'HKCU\Control Panel\Desktop' LogPixels REG_DWORD "$1" &&
        e2e_reg_add 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts' LogPixels REG_DWORD "$1"
}

# e2e_setup — display and prefix at E2E_DPI.
e2e_setup() {
    e2e_start_display "$E2E_DPI" || { e2e_fail "start Xvfb"; e2e_finish; }
    e2e_prefix || { e2e_fail "create wine prefix"; e2e_finish; }
    e2e_set_dpi "$E2E_DPI" || { e2e_fail "set DPI to $E2E_DPI"; e2e_finish; }
}

# ---------------------------------------------------------------------------------------------------------------
# Helper programs

# The MinGW C compiler for the Windows helpers.
if [ -z "${CC_WIN:-}" ]; then
    for CC_WIN in i686-w64-mingw32-gcc i686-w64-mingw32-gcc-win32 i686-w64-mingw32-gcc-posix none; do
        command -v "$CC_WIN" >/dev/null && break
    done
fi
E2E_HELPERS=${E2E_HELPERS:-$E2E_BUILD/helpers}

# e2e_helper NAME — prints the path of the helper program built from tests/e2e/helpers/NAME.c, building it first when it
# is missing or older than its source (once for every script: they share build/e2e/helpers). clocks runs on the host,
# powrprof is a DLL, clip a console program; the others are GUI programs, as a console program started by the window
# gets a console window of its own, which can take the keyboard from the window the script types into next.
e2e_helper() {
    local name=$1 src=$E2E_ROOT/tests/e2e/helpers/$1.c out cc
    case $name in
        clocks) out=$E2E_HELPERS/clocks; cc=(gcc -O1) ;;
        powrprof) out=$E2E_HELPERS/powrprof.dll; cc=("$CC_WIN" -O1 -s -shared -Wl,--kill-at) ;;
        clip) out=$E2E_HELPERS/clip.exe; cc=("$CC_WIN" -O1 -s) ;;
        *) out=$E2E_HELPERS/$name.exe; cc=("$CC_WIN" -O1 -s -mwindows) ;;
    esac
    [ -f "$src" ] || { echo "e2e: no helper source $src" >&2; return 1; }
    mkdir -p "$E2E_HELPERS" || return 1
    (
        flock -w 120 9 || exit 1
        [ "$out" -nt "$src" ] && exit 0
        "${cc[@]}" -o "$out.tmp" "$src" 2>"$E2E_HELPERS/$name.log" && mv -f "$out.tmp" "$out" && exit 0
        echo "e2e: building $name failed: $(head -c 400 "$E2E_HELPERS/$name.log")" >&2
        rm -f "$out.tmp"
        exit 1
    ) 9>"$E2E_HELPERS/.lock" || return 1
    echo "$out"
}

# e2e_helpers VAR=NAME... — builds each helper into its variable (HELPER=shell_icon sets HELPER to its path); a failed
# build is a failed check, and the script ends.
e2e_helpers() {
    local a path
    for a in "$@"; do
        path=$(e2e_helper "${a#*=}") || { e2e_fail "build the helper ${a#*=}" "see $E2E_HELPERS/${a#*=}.log"; e2e_finish; }
        printf -v "${a%%=*}" '%s' "$path"
    done
}

# ---------------------------------------------------------------------------------------------------------------
# Relay traces

# e2e_relay_include "ExitWindowsEx;SetSystemPowerState" — only these functions appear in a +relay trace.
e2e_relay_include() {
    E2E_RELAY_SET=1
    e2e_reg_add 'HKCU\Software\Wine\Debug' RelayInclude REG_SZ "$1"
}

# e2e_text_re TEXT [REGEX...] — the pattern (extended) of TEXT as Wine's relay prints a string argument: a non-ASCII
# character as \XXXX (UTF-16 units), a line break as \n, quotes and backslashes escaped. Each "%s" in TEXT becomes the
# next REGEX, as is.
e2e_text_re() {
    local LC_ALL=C.UTF-8 s=$1 out= c n i
    shift
    for ((i = 0; i < ${#s}; i++)); do
        c=${s:i:1}
        if [ "$c" = % ] && [ "${s:i+1:1}" = s ]; then
            out+=${1-}
            shift
            i=$((i + 1))
            continue
        fi
        case $c in
            $'\n') out+='\\n' ;;
            '"') out+='\\"' ;;
            '\') out+='\\\\' ;;
            [].[^\$*+?\(\){}\|]) out+="\\$c" ;;
            *) printf -v n '%d' "'$c"
               if [ "$n" -gt 65535 ]; then
                   printf -v c '\\\\%04x\\\\%04x' $(( 0xD800 + ((n - 0x10000) >> 10) )) $(( 0xDC00 + ((n - 0x10000) & 0x3FF) ))
               elif [ "$n" -lt 32 ] || [ "$n" -gt 126 ]; then
                   printf -v c '\\\\%04x' "$n"
               fi
               out+=$c ;;
        esac
    done
    printf '%s\n' "$out"
}

# e2e_box_re TEXT_REGEX STYLE [TITLE] [OWNER_REGEX] — the pattern of the program's MessageBoxW call with that text (a
# pattern from e2e_text_re), TITLE (by default the program's name) and STYLE (8 hex digits). The relay cuts a long text
# short with "..." after its quote.
e2e_box_re() {
    printf 'Call user32\\.MessageBoxW\\(%s,[0-9a-f]+ L"%s"(\\.\\.\\.)?,[0-9a-f]+ L"%s",%s\\)\n' "${4:-[0-9a-f]+}" "$1" \
        "$(e2e_text_re "${3:-$TXT_TITLE}")" "$2"
}

# Where e2e_start_app_traced writes the trace.
E2E_RELAY_LOG=${E2E_RELAY_LOG:-$E2E_WORK/relay.log}

# e2e_relay_count REGEX — number of trace lines matching REGEX (case-insensitive, extended).
e2e_relay_count() {
    [ -f "$E2E_RELAY_LOG" ] || { echo 0; return; }
    grep -a -i -c -E -- "$1" "$E2E_RELAY_LOG"
}

# e2e_relay_grep REGEX — prints the trace lines matching REGEX.
e2e_relay_grep() {
    [ -f "$E2E_RELAY_LOG" ] || return 1
    grep -a -i -E -- "$1" "$E2E_RELAY_LOG"
}

# e2e_relay_wait REGEX [TIMEOUT] — waits until a trace line matches.
e2e_relay_wait() {
    e2e_wait_until "${2:-$E2E_TIMEOUT}" _e2e_relay_has "$1"
}
_e2e_relay_has() { [ -f "$E2E_RELAY_LOG" ] && grep -a -q -i -E -- "$1" "$E2E_RELAY_LOG"; }

# A loaded machine delays what a script sees (a poll, a screenshot, a grep of the trace) by seconds, never what the
# program did: the program's own events are timed against each other by the time stamps of a trace started with
# WINEDEBUG=+timestamp,+relay (one clock, CLOCK_MONOTONIC_RAW, for every line), and against the time it was to act at
# by its own clock, the text it writes into the clock box. The wall clock is then only a loose bound.

# e2e_clocks — "WALL_MS TRACE_MS": the wall clock (epoch ms) and the trace's clock (ms) at one instant.
e2e_clocks() {
    local bin; bin=$(e2e_helper clocks) || return 1
    "$bin"
}

# e2e_ms_after_clock FROM_LINE CLOCK_TEXT REGEX — trace milliseconds from the program's last write of CLOCK_TEXT
# (SetWindowTextW, in the relay filter) to the next call matching REGEX on the same thread, both after FROM_LINE:
# the clock box shows the second the tick read, so that write is the tick of that second. Other processes' calls
# (Wine's own start-up) write no such text. Empty when either is missing.
# E2E_ACTION_MS: its range from the target's tick to the action, five ticks on. That tick may come anywhere in its
# second (one came 866 ms in, the next on time), so the low end is 4 s; an action a tick early is the wall clock's
# to catch ("seen" at least 4800 ms after the target) and the countdown's unit tests'.
E2E_ACTION_MS="4000 5500"
e2e_ms_after_clock() {
    [ -f "$E2E_RELAY_LOG" ] || return 0
    tail -n +"$(($1 + 1))" "$E2E_RELAY_LOG" | WANT="$2" CALL="$3" awk '
        BEGIN { want = ":Call user32.SetWindowTextW(" ; text = "L\"" ENVIRON["WANT"] "\")"; call = tolower(ENVIRON["CALL"]) }
        { split($0, f, ":") }
        index(tolower($0), tolower(want)) && index($0, text) { at[f[2]] = f[1] }
        /:Call / && (f[2] in at) && tolower($0) ~ call { printf "%d\n", (f[1] - at[f[2]]) * 1000 + 0.5; exit }'
}

# ---------------------------------------------------------------------------------------------------------------
# The program

# e2e_start_app [ARGS...] — starts the program under wine in the background; PID in E2E_APP_PID.
e2e_start_app() {
    _e2e_start_app "$E2E_WINEDEBUG" "$E2E_WORK/app.stderr" "$@"
}

# e2e_start_app_traced [ARGS...] — the same with WINEDEBUG=+relay, its trace in E2E_RELAY_LOG.
e2e_start_app_traced() {
    : >"$E2E_RELAY_LOG"
    _e2e_start_app "+relay" "$E2E_RELAY_LOG" "$@"
}

_e2e_start_app() {
    local debug=$1 errlog=$2; shift 2
    [ -f "$E2E_EXE" ] || { echo "e2e: $E2E_EXE not found" >&2; return 1; }
    local dir; dir=$(dirname "$E2E_EXE")
    (cd "$dir" && WINEDEBUG=$debug exec wine "$E2E_EXE" "$@") >"$E2E_WORK/app.stdout" 2>"$errlog" &
    E2E_APP_PID=$!
    e2e_log "started $(basename "$E2E_EXE") (pid $E2E_APP_PID)"
}

# e2e_app_running — true while the wine process started by e2e_start_app lives.
e2e_app_running() { [ -n "$E2E_APP_PID" ] && kill -0 "$E2E_APP_PID" 2>/dev/null; }

# e2e_wait_app_exit [TIMEOUT] — waits for the program to end by itself; returns its status, 124 on timeout.
e2e_wait_app_exit() {
    local t=${1:-$E2E_TIMEOUT}
    if e2e_wait_until "$t" _e2e_not_running; then
        wait "$E2E_APP_PID" 2>/dev/null
        local st=$?
        E2E_APP_PID=
        return $st
    fi
    return 124
}
_e2e_not_running() { ! e2e_app_running; }

e2e_stop_app() {
    [ -z "$E2E_APP_PID" ] && return 0
    kill "$E2E_APP_PID" 2>/dev/null
    local i
    for i in $(seq 1 30); do kill -0 "$E2E_APP_PID" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$E2E_APP_PID" 2>/dev/null
    wait "$E2E_APP_PID" 2>/dev/null
    E2E_APP_PID=
}

# e2e_wait_window [NAME_REGEX] [TIMEOUT] — prints the id of the first visible X window so named, once it is painted.
# TIMEOUT is a native run's, scaled (e2e_limit).
e2e_wait_window() {
    local name=${1:-$E2E_WINDOW_NAME} lim t out end
    lim=$(e2e_limit "${2:-$E2E_TIMEOUT}")
    t=$lim end=$(( $(date +%s) + lim ))
    until out=$(_e2e_search "$t" --sync --onlyvisible --name "$name") && [ -n "$out" ]; do
        t=$(( end - $(date +%s) ))
        [ "$t" -gt 0 ] || return 1
        sleep 0.2
    done
    out=$(printf '%s\n' "$out" | head -n1)
    # what a screenshot then shows is the window's first paint, whole
    e2e_wait_by $(( end * 1000 )) _e2e_painted "$out" || e2e_log "window $out not seen painted within ${lim}s"
    printf '%s\n' "$out"
}

# _e2e_painted WID — two shots of the window a moment apart are alike and show more than one colour. A window not yet
# painted is one colour, or changes as the paint lands (the clock's tick changes it too: the next try gets past it).
_e2e_painted() {
    local a=$E2E_WORK/.paint-$BASHPID-a.png b=$E2E_WORK/.paint-$BASHPID-b.png ok=1
    if e2e_shot_window "$1" "$a" && [ "$("$E2E_CONVERT" "$a" -format %k info: 2>/dev/null)" -gt 1 ]; then
        sleep 0.2
        e2e_shot_window "$1" "$b" &&
            [ "$(e2e_diff_count "$a" "$b" 0 0 $((E2E_WIN_W - 1)) $((E2E_WIN_H - 1)))" = 0 ] && ok=0
    fi
    rm -f "$a" "$b"
    return $ok
}

# _e2e_search SECONDS ARGS... — xdotool search, made again when a window went away while it walked the tree: xdotool
# then dies of the X error (BadWindow) having printed nothing, which would read as "no such window". Status 2 when
# every try met one.
_e2e_search() {
    local t=$1 err=$E2E_WORK/.search-$BASHPID.err out st i
    shift
    for i in 1 2 3 4 5; do
        out=$(timeout "$t" xdotool search "$@" 2>"$err")
        st=$?
        grep -q 'X Error' "$err" 2>/dev/null || break
        st=2
    done
    rm -f "$err"
    [ -n "$out" ] && printf '%s\n' "$out"
    return $st
}

# e2e_window_ids [NAME_REGEX] — all visible windows so named right now, one id a line.
e2e_window_ids() {
    _e2e_search 10 --onlyvisible --name "${1:-$E2E_WINDOW_NAME}"
}

# e2e_wait_no_window [NAME_REGEX] [TIMEOUT] — waits until no visible window has that name (TIMEOUT scaled).
e2e_wait_no_window() {
    local name=${1:-$E2E_WINDOW_NAME}
    e2e_wait_until "${2:-$E2E_TIMEOUT}" _e2e_no_window "$name"
}
_e2e_no_window() { local out; out=$(_e2e_search 10 --onlyvisible --name "$1"); [ $? -le 1 ] && [ -z "$out" ]; }

# e2e_geometry WID — sets E2E_WIN_X E2E_WIN_Y (absolute, inside any frame) E2E_WIN_W E2E_WIN_H.
e2e_geometry() {
    local info
    info=$(timeout 10 xwininfo -id "$1" 2>/dev/null) || return 1
    E2E_WIN_X=$(awk -F: '/Absolute upper-left X/ {gsub(/ /,"",$2); print $2}' <<<"$info")
    E2E_WIN_Y=$(awk -F: '/Absolute upper-left Y/ {gsub(/ /,"",$2); print $2}' <<<"$info")
    E2E_WIN_W=$(awk -F: '/^ *Width/ {gsub(/ /,"",$2); print $2}' <<<"$info")
    E2E_WIN_H=$(awk -F: '/^ *Height/ {gsub(/ /,"",$2); print $2}' <<<"$info")
    [ -n "$E2E_WIN_W" ] && [ -n "$E2E_WIN_H" ]
}

# ---------------------------------------------------------------------------------------------------------------
# Input (window-relative coordinates)

# e2e_clear_entry WID [TRACE] — a click in the entry box, waited for until the program has cleared it: a new
# SetWindowTextW(..., L"") in the trace (user32.SetWindowTextW in the relay filter). Keys typed before then could
# reach the control that had the focus before the click.
E2E_EMPTY_TEXT_RE='Call user32\.SetWindowTextW\([0-9a-f]+,[0-9a-f]+ L""\)'
e2e_clear_entry() {
    local log=${2:-$E2E_RELAY_LOG} n
    n=$(grep -a -c -E "$E2E_EMPTY_TEXT_RE" "$log" 2>/dev/null)
    e2e_click "$1" $ENTRY_XY
    e2e_wait_until 10 _e2e_more_lines "$log" "$E2E_EMPTY_TEXT_RE" "${n:-0}" ||
        { e2e_log "the entry box was not cleared"; return 1; }
}
_e2e_more_lines() { [ "$(grep -a -c -E -- "$2" "$1" 2>/dev/null)" -gt "$3" ]; }

# e2e_click_button WID X Y [TRACE] — a click on one of the window's buttons (an option, "OK", "ANNULER !"), waited
# for until the program has it: the button's BN_CLICKED (WM_COMMAND from control 1001, 1002, 1005, 1006 or 1007)
# among the trace's window-procedure lines. The next click could otherwise take its release: with the window manager
# held a moment, Wine saw the button's press with the release at the next click's place, and the button not clicked.
E2E_BUTTON_CLICKED_RE='msg=WM_COMMAND,wp=000003(e9|ea|ed|ee|ef),'
e2e_click_button() {
    local log=${4:-$E2E_RELAY_LOG} n
    n=$(grep -a -c -E "$E2E_BUTTON_CLICKED_RE" "$log" 2>/dev/null)
    e2e_click "$1" "$2" "$3"
    e2e_wait_until 10 _e2e_more_lines "$log" "$E2E_BUTTON_CLICKED_RE" "${n:-0}" ||
        { e2e_log "the button did not take the click"; return 1; }
}

e2e_focus() { timeout 10 xdotool windowactivate --sync "$1" >/dev/null 2>&1 || timeout 10 xdotool windowfocus --sync "$1" >/dev/null 2>&1; }

# e2e_click WID X Y [BUTTON]
e2e_click() {
    timeout 10 xdotool mousemove --window "$1" "$2" "$3" click "${4:-1}"
}

# e2e_type WID TEXT — types into the focused control of the window.
e2e_type() {
    e2e_focus "$1"
    timeout 60 xdotool type --delay 40 --window "$1" -- "$2"
}

# e2e_key WID KEY... — e.g. e2e_key "$wid" Return
e2e_key() {
    local w=$1; shift
    e2e_focus "$w"
    timeout 10 xdotool key --window "$w" "$@"
}

# ---------------------------------------------------------------------------------------------------------------
# Screenshots and pixels. A REGION is "X0 Y0 X1 Y1", inclusive, in the image's pixels.

# e2e_shot_root FILE — the whole screen.
e2e_shot_root() {
    timeout 20 "$E2E_IMPORT" -silent -window root "$1" 2>/dev/null
}

# e2e_shot_window WID FILE — the window's client pixels as they are on screen (cut out of the root).
e2e_shot_window() {
    local tmp="$2.root.png"
    e2e_geometry "$1" || return 1
    e2e_shot_root "$tmp" || return 1
    "$E2E_CONVERT" "$tmp" -crop "${E2E_WIN_W}x${E2E_WIN_H}+${E2E_WIN_X}+${E2E_WIN_Y}" +repage "$2" || return 1
    rm -f "$tmp"
}

_e2e_crop_geom() { echo "$(($3 - $1 + 1))x$(($4 - $2 + 1))+$1+$2"; }

# e2e_crop FILE REGION OUT
e2e_crop() {
    local f=$1 out=$6
    "$E2E_CONVERT" "$f" -crop "$(_e2e_crop_geom "$2" "$3" "$4" "$5")" +repage "$out"
}

# e2e_pixel FILE X Y — prints RRGGBB (upper case).
e2e_pixel() {
    "$E2E_CONVERT" "$1" -alpha off -depth 8 -crop "1x1+$2+$3" +repage txt:- 2>/dev/null |
        awk '/^[0-9]/ { for (i = 1; i <= NF; i++) if ($i ~ /^#/) { print toupper(substr($i, 2, 6)); exit } }'
}

# e2e_pixels FILE REGION — prints "X Y RRGGBB" for every pixel of the region, in image coordinates.
e2e_pixels() {
    local f=$1 x0=$2 y0=$3
    "$E2E_CONVERT" "$f" -alpha off -depth 8 -crop "$(_e2e_crop_geom "$2" "$3" "$4" "$5")" +repage txt:- 2>/dev/null |
        awk -v x0="$x0" -v y0="$y0" '/^[0-9]/ {
            split($1, p, /[,:]/)
            for (i = 2; i <= NF; i++) if ($i ~ /^#/) { c = toupper(substr($i, 2, 6)); break }
            print p[1] + x0, p[2] + y0, c }'
}

# e2e_count_color FILE REGION RRGGBB [TOLERANCE] — pixels whose channels are each within TOLERANCE of the colour.
e2e_count_color() {
    local want=$6 tol=${7:-0}
    e2e_pixels "$1" "$2" "$3" "$4" "$5" | awk -v w="$want" -v t="$tol" '
        function h(s) { return index("0123456789ABCDEF", substr(s, 1, 1)) * 16 + index("0123456789ABCDEF", substr(s, 2, 1)) - 17 }
        function d(a, b) { return a > b ? a - b : b - a }
        BEGIN { wr = h(substr(w, 1, 2)); wg = h(substr(w, 3, 2)); wb = h(substr(w, 5, 2)); n = 0 }
        { r = h(substr($3, 1, 2)); g = h(substr($3, 3, 2)); b = h(substr($3, 5, 2))
          if (d(r, wr) <= t && d(g, wg) <= t && d(b, wb) <= t) n++ }
        END { print n }'
}

# e2e_count_dark FILE REGION [MAX] — pixels whose every channel is <= MAX (default 0x60): text and marks.
e2e_count_dark() {
    local max=${6:-96}
    e2e_pixels "$1" "$2" "$3" "$4" "$5" | awk -v m="$max" '
        function h(s) { return index("0123456789ABCDEF", substr(s, 1, 1)) * 16 + index("0123456789ABCDEF", substr(s, 2, 1)) - 17 }
        BEGIN { n = 0 }
        { if (h(substr($3, 1, 2)) <= m && h(substr($3, 3, 2)) <= m && h(substr($3, 5, 2)) <= m) n++ }
        END { print n }'
}

# e2e_dark_bbox FILE REGION [MAX] — "COUNT X0 Y0 X1 Y1": how many dark pixels and their bounding box (image
# coordinates); "0 -1 -1 -1 -1" when there are none.
e2e_dark_bbox() {
    local max=${6:-96}
    e2e_pixels "$1" "$2" "$3" "$4" "$5" | awk -v m="$max" '
        function h(s) { return index("0123456789ABCDEF", substr(s, 1, 1)) * 16 + index("0123456789ABCDEF", substr(s, 2, 1)) - 17 }
        BEGIN { n = 0; x0 = y0 = x1 = y1 = -1 }
        { if (h(substr($3, 1, 2)) <= m && h(substr($3, 3, 2)) <= m && h(substr($3, 5, 2)) <= m) {
              if (n == 0 || $1 < x0) x0 = $1; if (n == 0 || $1 > x1) x1 = $1
              if (n == 0 || $2 < y0) y0 = $2; if (n == 0 || $2 > y1) y1 = $2
              n++ } }
        END { print n, x0, y0, x1, y1 }'
}

# e2e_diff_bbox A B REGION [TOLERANCE] — "COUNT X0 Y0 X1 Y1" of the pixels that differ between two same-sized
# images by more than TOLERANCE in some channel.
e2e_diff_bbox() {
    local tol=${7:-0}
    join -j1 <(e2e_pixels "$1" "$3" "$4" "$5" "$6" | awk '{ print $1 "_" $2, $3 }' | sort) \
             <(e2e_pixels "$2" "$3" "$4" "$5" "$6" | awk '{ print $1 "_" $2, $3 }' | sort) |
        awk -v t="$tol" '
        function h(s) { return index("0123456789ABCDEF", substr(s, 1, 1)) * 16 + index("0123456789ABCDEF", substr(s, 2, 1)) - 17 }
        function d(a, b) { return a > b ? a - b : b - a }
        BEGIN { n = 0; x0 = y0 = x1 = y1 = -1 }
        { split($1, p, "_"); x = p[1] + 0; y = p[2] + 0
          if (d(h(substr($2, 1, 2)), h(substr($3, 1, 2))) > t || d(h(substr($2, 3, 2)), h(substr($3, 3, 2))) > t ||
              d(h(substr($2, 5, 2)), h(substr($3, 5, 2))) > t) {
              if (n == 0 || x < x0) x0 = x; if (n == 0 || x > x1) x1 = x
              if (n == 0 || y < y0) y0 = y; if (n == 0 || y > y1) y1 = y
              n++ } }
        END { print n, x0, y0, x1, y1 }'
}

# e2e_count_colors FILE REGION — number of distinct colours in the region (1 means flat).
e2e_count_colors() {
    e2e_pixels "$1" "$2" "$3" "$4" "$5" | awk '{ s[$3] = 1 } END { n = 0; for (k in s) n++; print n }'
}

# e2e_diff_count A B REGION [FUZZ%] — pixels of the region that differ between two same-sized images.
e2e_diff_count() {
    local g; g=$(_e2e_crop_geom "$3" "$4" "$5" "$6")
    local fuzz=${7:-0}
    "$E2E_COMPARE" -metric AE -fuzz "$fuzz%" \
        \( "$1" -alpha off -crop "$g" +repage \) \( "$2" -alpha off -crop "$g" +repage \) null: 2>&1 | _e2e_ae_number
}

# e2e_compare_ref FILE X Y REF [FUZZ%] — differing pixels between REF and the same-sized part of FILE at X,Y.
e2e_compare_ref() {
    local f=$1 x=$2 y=$3 ref=$4 fuzz=${5:-0} size
    size=$("$E2E_CONVERT" "$ref" -format '%wx%h' info: 2>/dev/null) || { echo -1; return 1; }
    local fsize; fsize=$("$E2E_CONVERT" "$f" -format '%wx%h' info: 2>/dev/null) || { echo -1; return 1; }
    # the reference must lie wholly inside the image, or compare would measure only the overlap
    if [ $((x + ${size%x*})) -gt "${fsize%x*}" ] || [ $((y + ${size#*x})) -gt "${fsize#*x}" ]; then
        echo -1
        return 1
    fi
    "$E2E_COMPARE" -metric AE -fuzz "$fuzz%" \
        \( "$f" -alpha off -crop "${size}+${x}+${y}" +repage \) \( "$ref" -alpha off \) null: 2>&1 | _e2e_ae_number
}

# compare prints the count, or an error (size mismatch, missing file): that must never read as 0 pixels.
_e2e_ae_number() {
    awk 'NR == 1 && $1 ~ /^[0-9.]+(e[+-]?[0-9]+)?$/ { printf "%d\n", $1; ok = 1 } END { if (!ok) print -1 }'
}

# e2e_clock_runs WID — the clock box changes within a few seconds: the program's clock ticks.
e2e_clock_runs() {
    local a=$E2E_WORK/clock-a.png
    e2e_shot_window "$1" "$a" || return 1
    e2e_wait_until 3 _e2e_clock_moved "$1" "$a"
}
_e2e_clock_moved() {
    local b=$E2E_WORK/clock-b.png
    e2e_shot_window "$1" "$b" && [ "$(e2e_diff_count "$2" "$b" $CLOCK_BOX)" -gt 0 ]
}

# ---------------------------------------------------------------------------------------------------------------
# Waiting

# e2e_wait_until TIMEOUT COMMAND... — polls COMMAND every 0.2 s until it succeeds; non-zero when it has not within
# TIMEOUT seconds, a native run's limit, scaled for this machine (e2e_limit).
e2e_wait_until() {
    local t=$1; shift
    e2e_wait_by $(( $(date +%s%3N) + $(e2e_limit "$t") * 1000 )) "$@"
}

# e2e_wait_by DEADLINE_MS COMMAND... — the same until a moment on the wall clock (epoch ms), whatever the machine.
e2e_wait_by() {
    local end=$1; shift
    while :; do
        "$@" && return 0
        [ "$(date +%s%3N)" -ge "$end" ] && return 1
        sleep 0.2
    done
}

# e2e_now_ms — the wall clock in epoch milliseconds.
e2e_now_ms() { date +%s%3N; }

# e2e_sleep_until EPOCH_MS — sleeps until that moment on the wall clock (at once when it has passed).
e2e_sleep_until() {
    local d=$(($1 - $(e2e_now_ms)))
    [ "$d" -gt 0 ] && sleep "$(printf '%d.%03d' $((d / 1000)) $((d % 1000)))"
    return 0
}

# e2e_time_in SECONDS — the wall clock SECONDS from now as HH:MM:SS (what a user would type).
e2e_time_in() { date -d "@$(( $(date +%s) + $1 ))" +%H:%M:%S; }

# A time typed into the entry box to come soon is chosen once the box has been clicked, and far enough ahead for the
# typing, the clicks and the program's arming to be over before it: a native run's lead, scaled, and never less than
# twice the slowest arming this script has seen plus two seconds.
E2E_ARM_MS=0
# e2e_lead SECONDS — how far ahead to put a time chosen now.
e2e_lead() {
    local s m
    s=$(e2e_limit "$1"); m=$(( (2 * E2E_ARM_MS + 999) / 1000 + 2 ))
    echo $(( s > m ? s : m ))
}
# e2e_armed_since CHOSEN_MS — notes an arming whose time was chosen at CHOSEN_MS (epoch ms) and which is seen done now.
e2e_armed_since() {
    local d=$(( $(date +%s%3N) - $1 ))
    [ "$d" -gt "$E2E_ARM_MS" ] && E2E_ARM_MS=$d
    e2e_log "armed $d ms after the time was chosen"
    return 0
}
