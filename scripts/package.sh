#!/usr/bin/env bash
# scripts/package.sh — builds the release exe with the win32 preset and writes dist/Tarveil-XP-<version>.zip: the exe
# as built, LISEZMOI.txt (CRLF, UTF-8 with a BOM) and SHA256SUMS. The same commit gives the same zip, byte for byte:
# fixed order, no extra fields, every date set to the commit's (or SOURCE_DATE_EPOCH) in UTC.
#   package.sh            build, then package
#   package.sh --no-build package the exe already in build/win32
set -u

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root" || exit 1
die() { echo "package: $*" >&2; exit 1; }

build=1
[ "${1:-}" = --no-build ] && build=0
for t in zip sha256sum iconv; do command -v "$t" >/dev/null || die "$t not found (bash scripts/deps.sh)"; done

# name and version from the one header that the program and its version block use
define() { sed -nE "s/^#define $1 \"(.*)\"$/\\1/p" resources/version.h; }
dotted=$(define TARVEIL_VERSION_DOTTED)
text=$(define TARVEIL_VERSION_TEXT)
exe_name=$(define TARVEIL_FILE_NAME)
[ -n "$dotted" ] && [ -n "$text" ] && [ -n "$exe_name" ] || die "cannot read the version from resources/version.h"

# the date every file in the zip carries
if [ -n "${SOURCE_DATE_EPOCH:-}" ]; then
    epoch=$SOURCE_DATE_EPOCH
elif epoch=$(git -C "$root" log -1 --format=%ct 2>/dev/null) && [ -n "$epoch" ]; then
    :
else
    die "no date for the files: not a git checkout and SOURCE_DATE_EPOCH is not set"
fi
[[ $epoch =~ ^[0-9]+$ ]] || die "SOURCE_DATE_EPOCH '$epoch' is not a number of seconds"

if [ "$build" = 1 ]; then
    mkdir -p build
    cmake --preset win32 >build/package-configure.log 2>&1 || { cat build/package-configure.log; die "configure failed"; }
    cmake --build --preset win32 >build/package-build.log 2>&1 || { tail -n 40 build/package-build.log; die "build failed"; }
fi
exe="build/win32/$exe_name"
[ -f "$exe" ] || die "$exe not found: build it first"

stage=build/package/stage
rm -rf build/package && mkdir -p "$stage" || die "cannot make $stage"
cp "$exe" "$stage/$exe_name"

# LISEZMOI.txt: UTF-8 with a BOM, so that Notepad (XP's included) reads the accents right whatever the system's
# code page; CRLF, the only line end XP's Notepad shows.
src=resources/LISEZMOI.txt
iconv -f UTF-8 -t UTF-8 "$src" >/dev/null 2>&1 || die "$src is not UTF-8"
! grep -q $'\r' "$src" || die "$src has CR characters: keep it with LF ends, the package adds the CR"
{ printf '\357\273\277'
  sed -e "s/@VERSION_TEXT@/$text/g" -e "s/@VERSION_DOTTED@/$dotted/g" -e 's/$/\r/' "$src"
} >"$stage/LISEZMOI.txt"
! grep -q '@[A-Z_]*@' "$stage/LISEZMOI.txt" || die "$src has a placeholder the package does not fill"

# SHA256SUMS in sha256sum's format, CRLF too: "sha256sum -c" reads it, and so does Notepad.
(cd "$stage" && sha256sum "$exe_name" LISEZMOI.txt | sed 's/$/\r/' >SHA256SUMS) || die "sha256sum failed"

chmod 644 "$stage"/*
touch -d "@$epoch" "$stage"/*
mkdir -p dist
zip_path="dist/Tarveil-XP-$dotted.zip"
rm -f "$zip_path"
# -X: no extra fields (no Unix uid, gid or times); -D: no folder entries; the names in this order.
(cd "$stage" && TZ=UTC zip -X -D -q -9 "$root/$zip_path" "$exe_name" LISEZMOI.txt SHA256SUMS) || die "zip failed"
echo "package: $zip_path ($(stat -c %s "$zip_path") bytes; $exe_name $(stat -c %s "$exe") bytes, sha256 $(sha256sum "$exe" | cut -c1-16)...)"
