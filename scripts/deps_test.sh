#!/usr/bin/env bash
# scripts/deps_test.sh — what scripts/deps.sh runs and says when apt-get fails, against a fake apt-get; no root, no network.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
fake=$(mktemp -d) || exit 1
trap 'rm -rf "$fake"' EXIT
# The fake logs each call without the lock options; "update" fails when FAIL_UPDATE=1, "install" the first FAIL_INSTALLS times.
cat >"$fake/apt-get" <<'FAKE'
#!/bin/bash
while [ "$1" = -o ]; do shift 2; done
echo "$*" >>"$FAKE_DIR/calls"
if [ "$1" = update ] && [ "$FAIL_UPDATE" = 1 ]; then echo "E: File has unexpected size (1 != 2). Mirror sync in progress?" >&2; exit 100; fi
if [ "$1" = install ] && [ "$(grep -c '^install' "$FAKE_DIR/calls")" -le "$FAIL_INSTALLS" ]; then
    echo "E: Unable to correct problems, you have held broken packages." >&2; exit 100; fi
exit 0
FAKE
printf '#!/bin/sh\necho lsbrel\n' >"$fake/lsb_release" && printf '#!/bin/sh\necho 0\n' >"$fake/id" &&
    chmod +x "$fake/apt-get" "$fake/lsb_release" "$fake/id"
echo 'VERSION_CODENAME=osrel' >"$fake/os-release"
# the emulator asked for on purpose: none there yet, a register file standing for binfmt_misc's, apt's lists apart
mkdir -p "$fake/binfmt" "$fake/apt/sources.list.d" && : >"$fake/binfmt/register"
PATH=$fake:$PATH
[ "$(command -v apt-get)" = "$fake/apt-get" ] || { echo "the fake apt-get is not first on PATH"; echo "0 passed, 1 failed"; exit 1; }
source "$root/scripts/deps.sh"
qemu=$fake/no-qemu binfmt_dir=$fake/binfmt apt_dir=$fake/apt

I='install -y -q --no-install-recommends'
# name | call | update fails | installs failing | os-release | status | calls made, ";" between | said (regex)
cases=(
"all well|install_tools cmake g++|0|0|os-release|0|update -q;$I cmake g++|^$"
"update fails|install_tools cmake|1|0|os-release|0|update -q;$I cmake|update failed in part.*lists apt has"
"install fails once|install_tools cmake wine32:i386|0|1|os-release|0|update -q;$I cmake wine32:i386;$I -t osrel cmake wine32:i386|once more with osrel's own suite"
"install fails twice|install_tools cmake|1|2|os-release|1|update -q;$I cmake;$I -t osrel cmake|failed again.*by hand, as root: apt-get install -y --no-install-recommends -t osrel cmake$"
"no os-release: lsb_release names it|install_tools cmake|0|1|none|0|update -q;$I cmake;$I -t lsbrel cmake|-t lsbrel"
"emulator, install fails once|install_emulator osrel-backports|1|1|os-release|0|update -q;$I -t osrel-backports qemu-user-static;$I -t osrel qemu-user-static/osrel-backports|update failed.*once more with osrel"
"emulated on purpose: the emulator from backports|emulate_32bit_on|0|0|os-release|0|update -q;$I -t osrel-backports qemu-user-static|runs under .*binfmt_misc entry tarveil-emulate-[0-9]+\\)$"
"emulator, install fails twice|install_emulator osrel-backports|0|2|os-release|1|update -q;$I -t osrel-backports qemu-user-static;$I -t osrel qemu-user-static/osrel-backports|by hand.*-t osrel qemu-user-static/osrel-backports.*could not install qemu-user-static from osrel-backports"
)
pass=0 fail=0
for c in "${cases[@]}"; do
    IFS='|' read -r name call fu nf rel want_st want_calls want_said <<<"$c"
    : >"$fake/calls"; os_release=$fake/$rel
    said=$(FAKE_DIR=$fake FAIL_UPDATE=$fu FAIL_INSTALLS=$nf $call 2>&1); st=$?
    said=$(grep '^deps:' <<<"$said" | paste -sd' '); calls=$(paste -sd';' "$fake/calls")
    if [ "$st" = "$want_st" ] && [ "$calls" = "$want_calls" ] && grep -Eq -- "$want_said" <<<"$said"; then
        pass=$((pass + 1)); echo "PASS: $name"
    else
        fail=$((fail + 1)); echo "FAIL: $name — status $st, ran: $calls; said: $said"
    fi
done
echo "$pass passed, $fail failed"
[ "$fail" -eq 0 ]
