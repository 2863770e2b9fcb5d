#!/usr/bin/env bash
# scripts/check_pe_test.sh — builds small exes that break one XP rule each and checks that check_pe.sh refuses them.
set -u

here=$(cd "$(dirname "$0")" && pwd)
CXX=${CXX_WIN32:-i686-w64-mingw32-g++-win32}
work=$(mktemp -d "${TMPDIR:-/tmp}/check_pe_test.XXXXXX")
trap 'rm -rf "$work"' EXIT

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

# The allow-list for these cases: what the harmless exe imports, so only the rule under test can trip.
XP_FLAGS="-O2 -D_WIN32_WINNT=0x0501 -static -mwindows"
if ! $CXX $XP_FLAGS "$work/xp.cpp" -o "$work/xp.exe" 2>"$work/cc.log"; then
    cat "$work/cc.log"; echo "0 passed, 1 failed"; exit 1
fi
bash "$here/check_pe.sh" --list "$work/xp.exe" >"$work/allow.txt"

# name | source | compiler flags | expected status | message expected in the output
CASES=(
    "XP-only exe passes|xp.cpp|$XP_FLAGS|0|loads on Windows XP"
    "GetTickCount64 refused|vista.cpp|-O2 -D_WIN32_WINNT=0x0600 -static -mwindows|1|GetTickCount64, which Windows XP lacks"
    "SRW lock refused|srw.cpp|-O2 -D_WIN32_WINNT=0x0600 -static -mwindows|1|InitializeSRWLock, which Windows XP lacks"
    "function off the reviewed list refused|beep.cpp|$XP_FLAGS|1|Beep, not on the list"
    "bounds-checked CRT function refused|secure.cpp|$XP_FLAGS|1|strcpy_s, a bounds-checked CRT function"
    "subsystem 6.0 refused|xp.cpp|$XP_FLAGS -Wl,--major-subsystem-version,6,--minor-subsystem-version,0|1|Subsystem version 6.0 is above 5.01"
    "OS version 5.2 refused|xp.cpp|$XP_FLAGS -Wl,--major-os-version,5,--minor-os-version,2|1|OSystem version 5.2 is above 5.01"
    "subsystem 5.1 accepted|xp.cpp|$XP_FLAGS -Wl,--major-subsystem-version,5,--minor-subsystem-version,1|0|Subsystem version 5.1 <= 5.01"
    "console exe refused|xp.cpp|-O2 -D_WIN32_WINNT=0x0501 -static -mconsole|1|subsystem 00000003"
    "DLL outside the system refused|shared.cpp|-O2 -D_WIN32_WINNT=0x0501 -mwindows|1|not a Windows XP system DLL"
)

passed=0
failed=0
i=0
for c in "${CASES[@]}"; do
    IFS='|' read -r name src flags want msg <<<"$c"
    i=$((i + 1))
    exe="$work/case$i.exe"
    # shellcheck disable=SC2086
    if ! $CXX $flags "$work/$src" -o "$exe" 2>"$work/cc.log"; then
        echo "FAIL: $name — does not compile"; sed 's/^/    /' "$work/cc.log"; failed=$((failed + 1)); continue
    fi
    out=$(XP_IMPORTS="$work/allow.txt" bash "$here/check_pe.sh" "$exe" 2>&1)
    got=$?
    if [ "$got" -eq "$want" ] && grep -qF -- "$msg" <<<"$out"; then
        echo "PASS: $name"; passed=$((passed + 1))
    else
        echo "FAIL: $name — status $got (want $want), message '$msg' $(grep -qF -- "$msg" <<<"$out" && echo found || echo missing)"
        sed 's/^/    /' <<<"$out"
        failed=$((failed + 1))
    fi
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
