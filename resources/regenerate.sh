#!/bin/sh
# Rebuilds resources/BandeauTitre.bmp and resources/IconeProgramme.ico from resources/gen/draw_resources.cpp.
# Needs only a host C++17 compiler (CXX, default g++). The output is the same bytes on every run; commit it,
# since the Windows build uses the committed files, not the generator.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
cxx=${CXX:-g++}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

# -ffp-contract=off: no fused multiply-adds, so the floating-point results (and the bytes) do not
# depend on the compiler's choice of instructions.
"$cxx" -std=c++17 -O2 -ffp-contract=off -Wall -Wextra -o "$work/draw_resources" "$here/gen/draw_resources.cpp"
"$work/draw_resources" "$work"

for f in BandeauTitre.bmp IconeProgramme.ico; do
    if cmp -s "$work/$f" "$here/$f"; then
        echo "unchanged: resources/$f"
    else
        cp "$work/$f" "$here/$f"
        echo "written:   resources/$f"
    fi
done
