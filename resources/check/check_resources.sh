#!/bin/sh
# Compiles resources/Tarveil.rc with windres, links it into check/resource_check.cpp and runs the result
# under wine, which reads the version block, icon group, bitmap and manifest back as Windows would.
# Needs: cmake, i686-w64-mingw32-windres, i686-w64-mingw32-g++, wine (32-bit). Exit status 0 when all checks pass.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
res=$(dirname "$here")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

# the manifest is written from its template, with the version of version.h, as the CMake build does
cmake -DTARVEIL_MANIFEST_OUT="$work/Tarveil.manifest" -P "$(dirname "$res")/cmake/version.cmake"
i686-w64-mingw32-windres -I "$res" -I "$work" "$res/Tarveil.rc" -O coff -o "$work/Tarveil.res.o"
i686-w64-mingw32-g++ -std=c++17 -O1 -Wall -static -o "$work/resource_check.exe" \
    "$here/resource_check.cpp" "$work/Tarveil.res.o" -lversion -lgdi32

WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" wine "$work/resource_check.exe"
