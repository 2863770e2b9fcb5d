#!/usr/bin/env bash
# scripts/check_pe_test.sh — builds small exes that break one XP rule each and checks that check_pe.sh refuses each
# for that rule and no other; the harmless exe they start from must pass.
set -u

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
CXX=${CXX_WIN32:-i686-w64-mingw32-g++-win32}
WINDRES=${WINDRES:-i686-w64-mingw32-windres}
work=$(mktemp -d "${TMPDIR:-/tmp}/check_pe_test.XXXXXX")
trap 'rm -rf "$work"' EXIT

fatal() { echo "check_pe_test: $*"; echo "0 passed, 1 failed"; exit 1; }
for t in "$CXX" "$WINDRES" cmake convert; do command -v "$t" >/dev/null || fatal "$t not found (scripts/deps.sh)"; done

# --- Programs ----------------------------------------------------------------------------------------------------------
cat >"$work/xp.cpp" <<'EOF'
#include <windows.h>
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return (int)GetTickCount() & 1; }
EOF
cat >"$work/vista.cpp" <<'EOF'
#include <windows.h>
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return (int)GetTickCount64() & 1; }
EOF
cat >"$work/srw.cpp" <<'EOF'
#include <windows.h>
static SRWLOCK lock;
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { InitializeSRWLock(&lock); return 0; }
EOF
cat >"$work/beep.cpp" <<'EOF'
#include <windows.h>
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return Beep(440, 1) ? 0 : 1; }
EOF
cat >"$work/secure.cpp" <<'EOF'
#define MINGW_HAS_SECURE_API 1
#include <windows.h>
#include <string.h>
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { char b[8]; return strcpy_s(b, sizeof b, "abc"); }
EOF
cat >"$work/shared.cpp" <<'EOF'
#include <windows.h>
#include <string>
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR cmd, int) { std::string s(cmd); return (int)s.size() & 1; }
EOF
# DwmFlush came with Vista: it may be looked up at run time, never imported (its case names the import library
# after forcing the symbol undefined, as the library comes before the object on the link line).
cat >"$work/dwm.cpp" <<'EOF'
#include <windows.h>
extern "C" __declspec(dllimport) HRESULT WINAPI DwmFlush();
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return DwmFlush() == S_OK; }
EOF
# A minimum of two ints: cmov once compiled for the Pentium Pro.
cat >"$work/cmov.cpp" <<'EOF'
#include <windows.h>
volatile int a = 1, b = 2;
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { int x = a, y = b; return x < y ? x : y; }
EOF
# A comparison of two doubles: fcomi once compiled for the Pentium Pro.
cat >"$work/fcomi.cpp" <<'EOF'
#include <windows.h>
volatile double p = 1.5, q = 2.5;
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return p < q; }
EOF
cat >"$work/sse.cpp" <<'EOF'
#include <windows.h>
volatile double p = 1.5, q = 2.5;
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return (int)(p * q); }
EOF
cat >"$work/mmx.cpp" <<'EOF'
#include <windows.h>
#include <mmintrin.h>
volatile int a = 1, b = 2;
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    int r = _mm_cvtsi64_si32(_mm_add_pi8(_mm_cvtsi32_si64(a), _mm_cvtsi32_si64(b)));
    _mm_empty();
    return r;
}
EOF

# Start-up work the program's own entry point never does: a C++ initializer and a C initializer in the C runtime's
# tables, and a TLS directory (without callbacks, so that it trips that rule alone).
cat >"$work/crt_xc.cpp" <<'EOF'
#include <windows.h>
static void Init() { SetLastError(5); }
extern "C" __attribute__((section(".CRT$XCU"), used)) void (*const tarveil_init)(void) = Init;
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return (int)GetTickCount() & 1; }
EOF
cat >"$work/crt_xi.cpp" <<'EOF'
#include <windows.h>
static int Init() { SetLastError(5); return 0; }
extern "C" __attribute__((section(".CRT$XIU"), used)) int (*const tarveil_init)(void) = Init;
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return (int)GetTickCount() & 1; }
EOF
cat >"$work/tls.cpp" <<'EOF'
#include <windows.h>
// The linker points the exe's TLS directory entry at _tls_used.
extern "C" {
IMAGE_TLS_DIRECTORY32 _tls_used = {0, 0, 0, 0, 0, 0};
}
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return (int)(GetTickCount() + _tls_used.Characteristics) & 1; }
EOF

# --- Icons -------------------------------------------------------------------------------------------------------------
# ico_image ICO INDEX OUT — the image data of one entry of an .ico file
le() { local v=$1 n=$2 i; for ((i = 0; i < n; i++)); do printf "\\x$(printf %02x $((v & 255)))"; v=$((v >> 8)); done; }
u32() { od -An -tu4 --endian=little -v -j "$2" -N 4 "$1" | tr -d ' '; }
ico_image() {
    local e=$((6 + 16 * $2))
    dd if="$1" of="$3" bs=1 skip="$(u32 "$1" $((e + 12)))" count="$(u32 "$1" $((e + 8)))" status=none
}
# ico_build OUT "SIZE BITS FILE"... — an .ico of the given images (SIZE 256 is written as 0, as the format has it)
ico_build() {
    local out=$1; shift
    local off=$((6 + 16 * $#)) img size bits file len
    { le 0 2; le 1 2; le $# 2
      for img in "$@"; do
          read -r size bits file <<<"$img"; len=$(stat -c %s "$file")
          le $((size & 255)) 1; le $((size & 255)) 1; le 0 1; le 0 1; le 1 2; le "$bits" 2; le "$len" 4; le "$off" 4
          off=$((off + len))
      done
      for img in "$@"; do read -r size bits file <<<"$img"; cat "$file"; done
    } >"$out"
}
# dib SIZE OUT — a 32-bit DIB icon image of SIZE x SIZE (BITMAPINFOHEADER, pixels, AND mask)
dib() {
    local s=$1 out=$2
    { le 40 4; le "$s" 4; le $((2 * s)) 4; le 1 2; le 32 2; le 0 4; le 0 4; le 0 4; le 0 4; le 0 4; le 0 4
      head -c $((s * s * 4)) /dev/zero | tr '\0' '\200'
      head -c $((s * ((s + 31) / 32) * 4)) /dev/zero
    } >"$out"
}
icon="$root/resources/IconeProgramme.ico"
for i in 0 1 2 3 4 5; do ico_image "$icon" "$i" "$work/img$i"; done
# the product icon's 32-bit images: entries 3, 4, 5 are 16, 32 and 48 px
convert -size 48x48 xc:red "png:$work/img48.png" || fatal "cannot draw the PNG image"
dib 256 "$work/img256"
ico_build "$work/png.ico" "16 32 $work/img3" "32 32 $work/img4" "48 32 $work/img48.png"
ico_build "$work/big.ico" "16 32 $work/img3" "32 32 $work/img4" "48 32 $work/img5" "256 32 $work/img256"
ico_build "$work/no48.ico" "16 32 $work/img3" "32 32 $work/img4"

# --- Manifests -----------------------------------------------------------------------------------------------------
cmake -DTARVEIL_MANIFEST_OUT="$work/good.manifest" -P "$root/cmake/version.cmake" >/dev/null || fatal "no manifest"
V3='urn:schemas-microsoft-com:asm.v3'
sed 's|<trustInfo xmlns="urn:schemas-microsoft-com:asm.v3">|<trustInfo>|' "$work/good.manifest" >"$work/trustinfo.manifest"
sed "s|<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\"|& xmlns:asmv3=\"$V3\"|" "$work/good.manifest" >"$work/twons.manifest"
sed 's|</assembly>|<windowsSettings xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings"><dpiAware>true</dpiAware></windowsSettings></assembly>|' \
    "$work/good.manifest" >"$work/foreign.manifest"
sed 's|</assembly>||' "$work/good.manifest" >"$work/broken.manifest"
sed 's|version="6.0.0.0"|version="5.82.0.0"|' "$work/good.manifest" >"$work/comctl5.manifest"
for f in trustinfo twons foreign broken comctl5; do
    cmp -s "$work/good.manifest" "$work/$f.manifest" && fatal "the $f manifest is not changed: the product manifest no longer looks as expected"
done

# res NAME MANIFEST ICON — a resource object with one manifest and one icon group
res() {
    printf '1 24 "%s"\n101 ICON "%s"\n' "$2" "$3" >"$work/$1.rc"
    "$WINDRES" "$work/$1.rc" -O coff -o "$work/$1.res.o" 2>"$work/windres.log" || { cat "$work/windres.log"; fatal "windres $1"; }
}
res good "$work/good.manifest" "$icon"
res trustinfo "$work/trustinfo.manifest" "$icon"
res twons "$work/twons.manifest" "$icon"
res foreign "$work/foreign.manifest" "$icon"
res broken "$work/broken.manifest" "$icon"
res comctl5 "$work/comctl5.manifest" "$icon"
res png "$work/good.manifest" "$work/png.ico"
res big "$work/good.manifest" "$work/big.ico"
res no48 "$work/good.manifest" "$work/no48.ico"

# --- Lists -------------------------------------------------------------------------------------------------------------
# The program's own entry point, which every probe uses unless it tests the stock one.
# It skips the program's name by the command line's own rule, in scheduler/CommandLine.cpp (with the time text it
# reads): those go in with it.
for src in win32/startup/start.cpp scheduler/CommandLine.cpp scheduler/TimeText.cpp; do
    $CXX -Os -march=i586 -I"$root" -c "$root/$src" -o "$work/$(basename "$src" .cpp).o" 2>"$work/cc.log" ||
        { cat "$work/cc.log"; fatal "$src does not compile"; }
done
START="$work/start.o $work/CommandLine.o $work/TimeText.o -nostartfiles -Wl,--disable-runtime-pseudo-reloc"
XP_FLAGS="-O2 -march=i586 -D_WIN32_WINNT=0x0501 -static -mwindows"
$CXX $XP_FLAGS "$work/xp.cpp" $START "$work/good.res.o" -o "$work/xp.exe" 2>"$work/cc.log" ||
    { cat "$work/cc.log"; fatal "the harmless exe does not build"; }
# The allow-list for these cases: the reviewed list and what the harmless exe imports, so only the rule under test
# can trip; the run-time names are the program's own.
{ cat "$here/xp-imports.txt"; bash "$here/check_pe.sh" --list "$work/xp.exe" | sed 's/$/ Windows 2000 Professional/'; } >"$work/allow.txt"
awk '!done && /^[a-z]/ { print $1, $2; done = 1; next } 1' "$work/allow.txt" >"$work/noevidence.txt"
# The program's run-time names (check_pe.sh --bound), with Beep added, with DwmFlush's mark taken off, and with a mark
# that names XP itself.
bash "$here/check_pe.sh" --bound >"$work/bound_own.txt" || fatal "check_pe.sh --bound"
{ cat "$work/bound_own.txt"; echo "kernel32.dll Beep"; } >"$work/bound_beep.txt"
sed 's|^dwmapi.dll DwmFlush Windows Vista$|dwmapi.dll DwmFlush|' "$work/bound_own.txt" >"$work/bound_unmarked.txt"
sed 's|^dwmapi.dll DwmFlush Windows Vista$|dwmapi.dll DwmFlush Windows XP|' "$work/bound_own.txt" >"$work/bound_markxp.txt"
for f in bound_unmarked bound_markxp; do
    cmp -s "$work/bound_own.txt" "$work/$f.txt" && fatal "the run-time names no longer hold DwmFlush marked as from Windows Vista"
done

# --- Cases ---------------------------------------------------------------------------------------------------------
# name | source | compiler flags | entry point (own or stock) | resources | allow-list | run-time list | status |
# what every FAIL line must say (extended regex). The allow-list "allow+exe" also takes the case's own imports, for an
# exe whose start-up code or libraries import what the program does not (the rule under test is another one). Where
# the regex has alternatives, the first is the rule under test and must be among the FAIL lines.
P6="-O2 -march=pentiumpro -D_WIN32_WINNT=0x0501 -static -mwindows"
CASES=(
    "XP-only exe passes|xp.cpp|$XP_FLAGS|own|good|allow|own|0|"
    "GetTickCount64 refused|vista.cpp|-O2 -march=i586 -D_WIN32_WINNT=0x0600 -static -mwindows|own|good|allow|own|1|GetTickCount64, which Windows XP lacks"
    "SRW lock refused|srw.cpp|-O2 -march=i586 -D_WIN32_WINNT=0x0600 -static -mwindows|own|good|allow|own|1|InitializeSRWLock, which Windows XP lacks"
    "function off the reviewed list refused|beep.cpp|$XP_FLAGS|own|good|allow|own|1|Beep, not on the list"
    "bounds-checked CRT function refused|secure.cpp|$XP_FLAGS|own|good|allow|own|1|strcpy_s, a bounds-checked CRT function"
    "subsystem 6.0 refused|xp.cpp|$XP_FLAGS -Wl,--major-subsystem-version,6,--minor-subsystem-version,0|own|good|allow|own|1|Subsystem version 6.0 is above 5.01"
    "OS version 5.2 refused|xp.cpp|$XP_FLAGS -Wl,--major-os-version,5,--minor-os-version,2|own|good|allow|own|1|OSystem version 5.2 is above 5.01"
    "subsystem 5.1 accepted|xp.cpp|$XP_FLAGS -Wl,--major-subsystem-version,5,--minor-subsystem-version,1|own|good|allow|own|0|"
    "console exe refused|xp.cpp|-O2 -march=i586 -D_WIN32_WINNT=0x0501 -static -mconsole|own|good|allow|own|1|subsystem 00000003"
    "DLL outside the system refused|shared.cpp|-O2 -march=i586 -D_WIN32_WINNT=0x0501 -mwindows|own|good|allow+exe|own|1|libstdc\+\+-6\.dll|libgcc_s"
    "cmov (built for the Pentium Pro) refused|cmov.cpp|$P6|own|good|allow|own|1|cmov \(P6\) at"
    "fcomi (built for the Pentium Pro) refused|fcomi.cpp|$P6|own|good|allow|own|1|fcomi/fucomi \(P6\) at"
    "SSE refused|sse.cpp|$XP_FLAGS -msse2 -mfpmath=sse|own|good|allow|own|1|SSE register at"
    "MMX refused|mmx.cpp|$XP_FLAGS -mmmx|own|good|allow|own|1|MMX \(an %mm register or emms\) at"
    "C++ initializer in .CRT\$XC refused|crt_xc.cpp|$XP_FLAGS|own|good|allow|own|1|1 start-up function pointer\(s\) in \.CRT"
    "C initializer in .CRT\$XI refused|crt_xi.cpp|$XP_FLAGS|own|good|allow|own|1|1 start-up function pointer\(s\) in \.CRT"
    "TLS directory refused|tls.cpp|$XP_FLAGS|own|good|allow|own|1|has a TLS directory"
    "cmov in MinGW's stock start-up code refused|xp.cpp|$XP_FLAGS|stock|good|allow+exe|own|1|cmov \(P6\) at|in \.CRT|TLS directory"
    "trustInfo in asm.v1 refused|xp.cpp|$XP_FLAGS|own|trustinfo|allow|own|1|<trustInfo> in the default namespace"
    "element declaring two namespaces refused|xp.cpp|$XP_FLAGS|own|twons|allow|own|1|<assembly> declares more than one namespace"
    "element in a namespace XP does not skip refused|xp.cpp|$XP_FLAGS|own|foreign|allow|own|1|<windowsSettings> in namespace"
    "manifest that is not well-formed refused|xp.cpp|$XP_FLAGS|own|broken|allow|own|1|not well-formed XML"
    "common controls 5.82 dependency refused|xp.cpp|$XP_FLAGS|own|comctl5|allow|own|1|the one dependency must be Microsoft.Windows.Common-Controls"
    "PNG icon image refused|xp.cpp|$XP_FLAGS|own|png|allow|own|1|48 x 48 image is PNG-compressed"
    "256 px icon entry refused|xp.cpp|$XP_FLAGS|own|big|allow|own|1|256 x 256 entry"
    "icon without 48 px refused|xp.cpp|$XP_FLAGS|own|no48|allow|own|1|no 48x48 image"
    "run-time name off the reviewed list refused|xp.cpp|$XP_FLAGS|own|good|allow|bound_beep|1|looks up kernel32.dll!Beep at run time"
    "run-time name from a later Windows without its mark refused|xp.cpp|$XP_FLAGS|own|good|allow|bound_unmarked|1|looks up dwmapi.dll!DwmFlush at run time, and dwmapi.dll is not a Windows XP system DLL"
    "run-time name marked as after XP but naming XP refused|xp.cpp|$XP_FLAGS|own|good|allow|bound_markxp|1|'Windows XP' names no Windows after XP"
    "function marked as after XP but imported refused|dwm.cpp|$XP_FLAGS -Wl,-u,__imp__DwmFlush@0 -ldwmapi|own|good|allow|own|1|dwmapi\\.dll"
    "allow-list line without evidence refused|xp.cpp|$XP_FLAGS|own|good|noevidence|own|1|cites no evidence"
)

passed=0
failed=0
i=0
for c in "${CASES[@]}"; do
    IFS='|' read -r name src flags entry resname allow bound want _ <<<"$c"
    msg=${c#*|*|*|*|*|*|*|*|}  # the rest of the line, alternatives included
    i=$((i + 1))
    exe="$work/case$i.exe"
    link=$START
    [ "$entry" = stock ] && link=
    # Compiling <windows.h> is the slow part: one object per source and compiler flags, the link flags left out.
    cflags=$(tr ' ' '\n' <<<"$flags" | grep -vE '^(-Wl,.*|-static|-mwindows|-mconsole)$' | tr '\n' ' ')
    obj="$work/${src%.cpp}-$(md5sum <<<"$cflags" | cut -c1-8).o"
    # shellcheck disable=SC2086
    if { [ -f "$obj" ] || $CXX $cflags -c "$work/$src" -o "$obj" 2>"$work/cc.log"; } &&
        $CXX $flags "$obj" $link "$work/$resname.res.o" -o "$exe" 2>"$work/cc.log"; then
        :
    else
        echo "FAIL: $name — does not compile"; sed 's/^/    /' "$work/cc.log"; failed=$((failed + 1)); continue
    fi
    boundlist="$work/$bound.txt"
    [ "$bound" = own ] && boundlist="$work/bound_own.txt"
    allowlist="$work/$allow.txt"
    if [ "$allow" = allow+exe ]; then
        allowlist="$work/allow-case$i.txt"
        { cat "$work/allow.txt"; bash "$here/check_pe.sh" --list "$exe" | grep -v '^lib' | sed 's/$/ Windows 2000 Professional/'; } >"$allowlist"
    fi
    out=$(XP_IMPORTS="$allowlist" BOUND_FUNCTIONS="$boundlist" bash "$here/check_pe.sh" "$exe" 2>&1)
    got=$?
    fails=$(grep 'FAIL:' <<<"$out")
    others=$([ -n "$fails" ] && grep -cvE -- "${msg:-^$}" <<<"$fails")
    # the rule under test is the first alternative: some FAIL line must be its
    named=$([ -n "$fails" ] && grep -cE -- "${msg%%|*}" <<<"$fails")
    if [ "$got" -eq "$want" ] && { [ "$want" = 0 ] || { [ "${named:-0}" -gt 0 ] && [ "${others:-0}" = 0 ]; }; }; then
        echo "PASS: $name"; passed=$((passed + 1))
    else
        echo "FAIL: $name — status $got (want $want); every FAIL line must match '$msg', one at least '${msg%%|*}'"
        sed 's/^/    /' <<<"$out"
        failed=$((failed + 1))
    fi
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
