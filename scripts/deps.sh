#!/usr/bin/env bash
# scripts/deps.sh — checks for every tool the build and the tests use; as root installs what is missing (Debian).
# Sourced (as scripts/deps_test.sh does), it only defines its functions and runs nothing.
set -u

# "what to look for|Debian package": a command on PATH, or an absolute path that must exist
CHECKS=(
    "cmake|cmake"
    "g++|g++"
    "make|make"
    "/usr/src/googletest/CMakeLists.txt|googletest"
    "/usr/include/gtest/gtest.h|libgtest-dev"
    "i686-w64-mingw32-g++-win32|g++-mingw-w64-i686-win32"
    "i686-w64-mingw32-g++-posix|g++-mingw-w64-i686-posix"
    "i686-w64-mingw32-windres|binutils-mingw-w64-i686"
    "i686-w64-mingw32-objdump|binutils-mingw-w64-i686"
    "wine|wine"
    "/usr/lib/wine/wineserver32|wine32:i386"
    "/usr/share/wine/fonts/tahoma.ttf|fonts-wine"
    "Xvfb|xvfb"
    "xdotool|xdotool"
    "/usr/bin/convert|imagemagick"
    "/usr/bin/compare|imagemagick"
    "/usr/bin/import|imagemagick"
    "/usr/bin/display|imagemagick"
    "xwininfo|x11-utils"
    "xdpyinfo|x11-utils"
    "xprop|x11-utils"
    "openbox|openbox"
    "flock|util-linux"
    "timeout|coreutils"
    "awk|mawk"
    "clang++|clang"
    "/usr/lib/llvm-14/lib/clang/14.0.6/lib/linux/libclang_rt.fuzzer-x86_64.a|libclang-rt-14-dev"
    "/usr/include/X11/Xlib.h|libx11-dev"
    "gcc|gcc"
    "wrestool|icoutils"
    "xmllint|libxml2-utils"
    "iconv|libc-bin"
    "git|git"
    "zip|zip"
    "unzip|unzip"
    "zipinfo|unzip"
    "sha256sum|coreutils"
)

# fills "missing" with the packages whose tools are absent; prints what is missing when asked to
find_missing() {
    missing=()
    local c what pkg
    for c in "${CHECKS[@]}"; do
        what=${c%%|*}
        pkg=${c#*|}
        if [[ $what == /* ]]; then
            [ -e "$what" ] && continue
        else
            command -v "$what" >/dev/null 2>&1 && continue
        fi
        [ "${1:-}" = quiet ] || echo "deps: missing $what (package $pkg)" >&2
        [[ " ${missing[*]-} " == *" $pkg "* ]] || missing+=("$pkg")
    done
}

# A mirror in the middle of a sync may serve a stale index for one architecture. apt's update then fails in part, and
# the install may find "held broken packages": the amd64 libraries come from the security suite, whose i386 twins
# the stale index no longer lists, and multi-arch wants both at one version. The lists apt has are still good for
# the rest; preferring the release's own suite for the install resolves the twins at their common version.
os_release=/etc/os-release

# the running release's code name (bookworm, ...), from the system; empty when it says none
release_codename() {
    local name=
    [ -r "$os_release" ] && name=$(. "$os_release" && echo "${VERSION_CODENAME:-}")
    [ -n "$name" ] || name=$(lsb_release -cs 2>/dev/null)
    echo "$name"
}

update_lists() {
    apt-get "${apt_opts[@]}" update -q >/dev/null ||
        echo "deps: apt-get update failed in part (see above); going on with the package lists apt has" >&2
}

# install_packages SUITE PACKAGE... — apt-get install, from SUITE when one is named (backports); once more with the
# running release's own suite preferred when that fails; said, with the command to run by hand, when both fail.
install_packages() {
    local suite=$1; shift
    local first=("$@") again=("$@")
    # a named suite stays the packages' own on the second try, "-t" then naming the release
    if [ -n "$suite" ]; then first=(-t "$suite" "$@"); again=("${@/%//$suite}"); fi
    local install=(apt-get "${apt_opts[@]}" install -y -q --no-install-recommends)
    "${install[@]}" "${first[@]}" >/dev/null && return 0
    local release; release=$(release_codename)
    if [ -n "$release" ]; then
        echo "deps: apt-get install failed; trying once more with $release's own suite preferred (-t $release)" >&2
        "${install[@]}" -t "$release" "${again[@]}" >/dev/null && return 0
        echo "deps: apt-get install failed again with -t $release" >&2
        first=(-t "$release" "${again[@]}")
    else
        echo "deps: apt-get install failed, and the release's code name is unknown for another try" >&2
    fi
    echo "deps: the command to run by hand, as root: apt-get install -y --no-install-recommends ${first[*]}" >&2
    return 1
}
install_tools() { update_lists; install_packages "" "$@"; }

# Wine runs the program in a 32-bit Linux process. Some virtual machines run no 32-bit code at all (the kernel
# answers "Exec format error"); there QEMU's user-mode emulator runs Wine's 32-bit side. The emulator of Debian 12
# (7.2) ignores MAP_FIXED_NOREPLACE and Wine starts up for minutes, so it comes from the release's backports (10.0).
runs_32bit() { /usr/lib/wine/wineserver32 --version >/dev/null 2>&1; }
qemu=/usr/bin/qemu-i386-static
binfmt_dir=/proc/sys/fs/binfmt_misc
apt_dir=/etc/apt
install_emulator() {
    update_lists
    install_packages "$1" qemu-user-static || { echo "deps: could not install qemu-user-static from $1" >&2; return 1; }
}
# ensure_emulator — QEMU's i386 emulator there, from backports when missing or older than 8, and binfmt_misc mounted.
ensure_emulator() {
    local release; release=$(release_codename)
    [ -n "$release" ] || { echo "deps: the release's code name is unknown: no backports to take QEMU from" >&2; return 1; }
    local backports=$release-backports
    if ! "$qemu" --version 2>/dev/null | grep -Eq 'version ([89]|[1-9][0-9])\.'; then
        local list=$apt_dir/sources.list.d/tarveil-backports.list
        grep -rqs "$backports" "$apt_dir/sources.list" "$apt_dir/sources.list.d/" ||
            echo "deb http://deb.debian.org/debian $backports main" >"$list"
        install_emulator "$backports" || return 1
    fi
    [ -e "$binfmt_dir/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt_dir" ||
        { echo "deps: cannot mount binfmt_misc" >&2; return 1; }
}
# register_i386 NAME — the binfmt_misc entry NAME hands 32-bit little-endian ELF executables and shared objects for the
# i386 to the emulator (flag F: opened now, so it serves every mount namespace).
register_i386() {
    printf '%s' ":$1:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:$qemu:F" \
        >"$binfmt_dir/register"
}
ensure_32bit_exec() {
    [ -e /usr/lib/wine/wineserver32 ] || return 0
    runs_32bit && return 0
    echo "deps: this machine runs no 32-bit code: setting up QEMU's i386 user-mode emulation for Wine"
    if [ "$(id -u)" != 0 ]; then
        echo "deps: run as root to set it up (backports' qemu-user-static, binfmt_misc entry qemu-i386)" >&2
        return 1
    fi
    ensure_emulator || return 1
    # an entry left by an older emulator holds that file open (flag F): replace it
    [ -e "$binfmt_dir/qemu-i386" ] && echo -1 >"$binfmt_dir/qemu-i386"
    register_i386 qemu-i386 || { echo "deps: cannot register the i386 emulator" >&2; return 1; }
    runs_32bit || { echo "deps: 32-bit programs still do not run" >&2; return 1; }
    echo "deps: Wine's 32-bit side runs under $("$qemu" --version | head -n1)"
}

# Wine's 32-bit side under the emulator on purpose, where the kernel could run it (scripts/test.sh --emulated): a
# binfmt_misc entry is tried ahead of the kernel's own loaders. The entry is the whole machine's, so every 32-bit
# program started while it is there is emulated, other users' too: it is named after the run that asked for it
# (tarveil-emulate-PID), taken out by emulate_32bit_off when that run ends, and one left by a run that was killed is
# taken out by the next.
emulation_entry=
emulate_32bit_on() {
    if [ "$(id -u)" != 0 ]; then echo "deps: only root can hand 32-bit programs to the emulator" >&2; return 1; fi
    ensure_emulator || return 1
    local e
    for e in "$binfmt_dir"/tarveil-emulate-*; do
        [ -e "$e" ] && ! kill -0 "${e##*-}" 2>/dev/null && echo -1 >"$e"
    done
    emulation_entry=tarveil-emulate-$$
    register_i386 "$emulation_entry" ||
        { echo "deps: cannot register the i386 emulator" >&2; emulation_entry=; return 1; }
    runs_32bit || { emulate_32bit_off; echo "deps: 32-bit programs do not run under the emulator" >&2; return 1; }
    echo "deps: Wine's 32-bit side runs under $("$qemu" --version 2>/dev/null | head -n1) until this run ends" \
        "(binfmt_misc entry $emulation_entry)"
}
emulate_32bit_off() {
    [ -n "$emulation_entry" ] && [ -e "$binfmt_dir/$emulation_entry" ] && echo -1 >"$binfmt_dir/$emulation_entry" &&
        echo "deps: 32-bit programs run natively again (binfmt_misc entry $emulation_entry taken out)"
    emulation_entry=
    return 0
}

# a lock held by another apt run is waited for rather than failed on
apt_opts=(-o DPkg::Lock::Timeout=600 -o Acquire::Retries=3)

[ "${BASH_SOURCE[0]}" = "$0" ] || return 0

find_missing
if [ ${#missing[@]} -eq 0 ]; then
    ensure_32bit_exec || exit 1
    echo "deps: all tools present"
    exit 0
fi

needs_i386=0
for p in "${missing[@]}"; do [[ $p == *:i386 ]] && needs_i386=1; done
release=$(release_codename)
cmd="apt-get update; apt-get install -y --no-install-recommends ${missing[*]}"
[ -n "$release" ] && cmd="$cmd || apt-get install -y --no-install-recommends -t $release ${missing[*]}"
[ "$needs_i386" = 1 ] && cmd="dpkg --add-architecture i386 && $cmd"

if [ "$(id -u)" != 0 ]; then
    echo "deps: run as root:" >&2
    echo "  sudo sh -c 'export DEBIAN_FRONTEND=noninteractive; $cmd'" >&2
    exit 1
fi

echo "deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
if [ "$needs_i386" = 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386 || exit 1
fi
install_tools "${missing[@]}" || exit 1

# a package that installed but did not bring its tool is still a failure
find_missing
[ ${#missing[@]} -eq 0 ] || { echo "deps: still missing after install: ${missing[*]}" >&2; exit 1; }
ensure_32bit_exec || exit 1
echo "deps: all tools present"
