#!/usr/bin/env bash
# scripts/check_package.sh — checks that the release zip holds what it says: the three files in order, the sums in
# SHA256SUMS right for them, the exe the very bytes the build made, LISEZMOI.txt as Notepad on XP needs it, and the
# dates and fields that keep the zip reproducible. Ends with "N passed, M failed".
#   check_package.sh [ZIP]    default: dist/Tarveil-XP-<version>.zip
set -u

root=$(cd "$(dirname "$0")/.." && pwd)
define() { sed -nE "s/^#define $1 \"(.*)\"$/\\1/p" "$root/resources/version.h"; }
dotted=$(define TARVEIL_VERSION_DOTTED)
text=$(define TARVEIL_VERSION_TEXT)
exe_name=$(define TARVEIL_FILE_NAME)
zip=${1:-$root/dist/Tarveil-XP-$dotted.zip}
built="$root/build/win32/$exe_name"

passed=0
failed=0
check() {  # check WHAT COMMAND... — one line per check
    local what=$1; shift
    if "$@"; then echo "PASS: $what"; passed=$((passed + 1)); else echo "FAIL: $what"; failed=$((failed + 1)); fi
}
finish() { echo "$passed passed, $failed failed"; [ "$failed" -eq 0 ]; exit; }

work=$(mktemp -d "${TMPDIR:-/tmp}/check_package.XXXXXX")
trap 'rm -rf "$work"' EXIT

check "the zip $(basename "$zip") exists and opens" unzip -tqq "$zip"
[ "$failed" = 0 ] || finish
unzip -qq "$zip" -d "$work/x"

names=$(zipinfo -1 "$zip")
check "it holds '$exe_name', LISEZMOI.txt and SHA256SUMS, in that order, and nothing else" \
    test "$names" = "$exe_name"$'\n'LISEZMOI.txt$'\n'SHA256SUMS

# --- Sums ----------------------------------------------------------------------------------------------------------
sums_ok() { (cd "$work/x" && sha256sum --quiet --strict -c SHA256SUMS >/dev/null 2>&1); }
check "SHA256SUMS is right for the files beside it" sums_ok
listed() { test "$(sed 's/\r$//; s/^[0-9a-f]*  //' "$work/x/SHA256SUMS")" = "$exe_name"$'\n'LISEZMOI.txt; }
check "SHA256SUMS lists the exe and LISEZMOI.txt" listed
built_hash() {
    [ -f "$built" ] && grep -qx "$(sha256sum "$built" | cut -d' ' -f1)  $exe_name"$'\r' "$work/x/SHA256SUMS"
}
check "the exe's sum in SHA256SUMS is the sum of the built $built" built_hash
check "the exe in the zip is the built exe, byte for byte" cmp -s "$work/x/$exe_name" "$built"

# --- LISEZMOI.txt --------------------------------------------------------------------------------------------------
readme="$work/x/LISEZMOI.txt"
bom() { test "$(head -c 3 "$readme" | od -An -tx1 | tr -d ' ')" = efbbbf; }
check "LISEZMOI.txt starts with the UTF-8 byte order mark" bom
check "LISEZMOI.txt is valid UTF-8" eval 'iconv -f UTF-8 -t UTF-8 "$readme" >/dev/null 2>&1'
crlf_only() {
    local lf cr crlf
    lf=$(tr -cd '\n' <"$readme" | wc -c); cr=$(tr -cd '\r' <"$readme" | wc -c); crlf=$(grep -c $'\r$' "$readme")
    [ "$lf" -gt 0 ] && [ "$lf" = "$cr" ] && [ "$crlf" = "$lf" ]
}
check "LISEZMOI.txt ends every line with CRLF, and has no other CR" crlf_only
# Every character in Latin-1, so any font of XP's Notepad has it, and lines short enough to read without wrapping.
latin1() {
    tail -c +4 "$readme" | sed 's/\r$//' | iconv -f UTF-8 -t ISO-8859-1 >"$work/latin1.txt" 2>/dev/null &&
        ! awk 'length($0) > 76 { bad = 1 } END { exit !bad }' "$work/latin1.txt"
}
check "LISEZMOI.txt is in Latin-1 characters, at most 76 to a line" latin1
check "LISEZMOI.txt gives the version $text ($dotted)" grep -qF "$text ($dotted)" "$readme"
check "LISEZMOI.txt has no unfilled placeholder" eval '! grep -q "@[A-Z_]*@" "$readme"'

# --- The exe's own version -----------------------------------------------------------------------------------------
manifest_version() {
    command -v wrestool >/dev/null && command -v xmllint >/dev/null || return 1
    wrestool -x --raw --type=24 "$work/x/$exe_name" >"$work/manifest.xml" 2>/dev/null &&
        test "$(xmllint --xpath "string(/*[local-name()='assembly']/*[local-name()='assemblyIdentity']/@version)" \
            "$work/manifest.xml" 2>/dev/null)" = "$dotted"
}
check "the exe's manifest has version $dotted, as resources/version.h" manifest_version

# --- What keeps the zip reproducible -------------------------------------------------------------------------------
fields() { ! zipinfo -v "$zip" | grep -E 'length of extra field' | grep -vqE ':[[:space:]]+0 bytes'; }
check "no entry has extra fields (uid, gid, times)" fields
one_date() { test "$(zipinfo -T "$zip" | awk '/^-/ { print $7 }' | sort -u | wc -l)" = 1; }
check "every entry carries the same date" one_date

finish
