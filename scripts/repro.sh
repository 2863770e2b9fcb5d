#!/usr/bin/env bash
# scripts/repro.sh — builds one commit twice, from two clean copies in two folders of different depth, in two time
# zones and locales, and checks that the release exe and the zip come out the same bytes, the exe with no link time
# stamp and nothing of either folder in it. Ends with "N passed, M failed".
#   repro.sh [COMMIT]    default HEAD; the committed tree is built, not the working copy
set -u

root=$(cd "$(dirname "$0")/.." && pwd)
rev=${1:-HEAD}
passed=0
failed=0
check() {  # check WHAT COMMAND...
    local what=$1; shift
    if "$@"; then echo "PASS: $what"; passed=$((passed + 1)); else echo "FAIL: $what"; failed=$((failed + 1)); fi
}
finish() { echo "$passed passed, $failed failed"; [ "$failed" -eq 0 ]; exit; }

commit=$(git -C "$root" rev-parse --verify -q "$rev^{commit}") || { echo "repro: no commit $rev"; failed=1; finish; }
epoch=$(git -C "$root" log -1 --format=%ct "$commit")
work=$(mktemp -d "${TMPDIR:-/tmp}/repro.XXXXXX")
trap 'rm -rf "$work"' EXIT
one="$work/a"
two="$work/second/copy/of/the/same/commit"
echo "repro: building ${commit:0:12} in $one and in $two"

# build DIR TZ LOCALE — a clean copy of the commit, configured, built and packaged as a user would
build() {
    mkdir -p "$1" && git -C "$root" archive "$commit" | tar -x -C "$1" || return 1
    (cd "$1" && export TZ=$2 LC_ALL=$3 SOURCE_DATE_EPOCH=$epoch && umask "$4" &&
        cmake --preset win32 && cmake --build --preset win32 && bash scripts/package.sh --no-build) >"$1.log" 2>&1
}
exe_name=$(sed -nE 's/^#define TARVEIL_FILE_NAME "(.*)"$/\1/p' "$root/resources/version.h")
zip_name=$(sed -nE 's/^#define TARVEIL_VERSION_DOTTED "(.*)"$/Tarveil-XP-\1.zip/p' "$root/resources/version.h")

start=$(date +%s)
build "$one" UTC C 022
ok_one=$?
# A second later at least, so that anything taken from the clock would differ.
sleep 1
build "$two" Pacific/Kiritimati C.UTF-8 077
ok_two=$?
echo "repro: two builds in $(( $(date +%s) - start )) s"
check "first copy builds and packages" test "$ok_one" = 0
check "second copy builds and packages" test "$ok_two" = 0
[ "$ok_one" = 0 ] && [ "$ok_two" = 0 ] || { tail -n 30 "$one.log" "$two.log"; finish; }

a="$one/build/win32/$exe_name"
b="$two/build/win32/$exe_name"
check "the two exes are the same bytes ($(stat -c %s "$a") bytes)" cmp "$a" "$b"
check "the two zips are the same bytes" cmp "$one/dist/$zip_name" "$two/dist/$zip_name"
stamp() { i686-w64-mingw32-objdump -p "$1" | grep -q '^Time/Date[[:space:]].*Jan  1 00:00:00 1970'; }
check "the exe has no link time stamp" stamp "$a"
no_path() { ! grep -aqF -e "$work" -e "$root" "$1"; }
check "the exe holds neither build folder nor the source folder" no_path "$a"
finish
