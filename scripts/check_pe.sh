#!/usr/bin/env bash
# scripts/check_pe.sh — checks that an exe will load and run on 32-bit Windows XP as XP's loader and CPUs see it, not
# as Wine does: PE32 i386, GUI, versions <= 5.01, system DLLs only, only functions XP has (a reviewed allow-list,
# each line with its evidence, plus a deny-list of later additions), the same for the functions the program looks up
# at run time, no instruction the Pentium MMX or the AMD K6 lacks, a manifest XP's loader accepts, and icons it reads.
#   check_pe.sh [EXE]          check (default: "build/win32/Tarveil XP.exe")
#   check_pe.sh --list [EXE]   print the exe's imports as "dll function" lines, the allow-list's format
#   check_pe.sh --bound        print the functions the program looks up at run time, as read for the check
# The lists are data beside this script: xp-imports.txt (allowed), xp-denied.txt (added after XP). XP_IMPORTS names
# another allow-list and BOUND_FUNCTIONS a file in --bound's format to check instead (the tests use both).
set -u

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
OBJDUMP=${OBJDUMP:-i686-w64-mingw32-objdump}
ALLOW=${XP_IMPORTS:-$here/xp-imports.txt}
DENIED=$here/xp-denied.txt
WRESTOOL=${WRESTOOL:-wrestool}
XMLLINT=${XMLLINT:-xmllint}
CXX_HOST=${CXX_HOST:-g++}

mode=check
case "${1:-}" in --list) mode=list; shift ;; --bound) mode=bound; shift ;; esac
exe=${1:-$root/build/win32/Tarveil XP.exe}

# pe_facts, built on the host, prints what bash reads badly: the program's table of run-time names, an icon's images.
work=$(mktemp -d "${TMPDIR:-/tmp}/check_pe.XXXXXX")
trap 'rm -rf "$work"' EXIT
facts() {
    [ -x "$work/pe_facts" ] || "$CXX_HOST" -std=c++17 -O1 -I"$root" -o "$work/pe_facts" "$here/pe_facts.cpp" >&2 || return 1
    "$work/pe_facts" "$@"
}
# "library entry [Windows it came with, when after XP]", the library in lower case
bound_functions() {
    if [ -n "${BOUND_FUNCTIONS:-}" ]; then cat "$BOUND_FUNCTIONS"; else facts bound; fi | awk 'NF { $1 = tolower($1); print }'
}
if [ "$mode" = bound ]; then bound_functions; exit; fi

[ -f "$exe" ] || { echo "check_pe: $exe not found" >&2; exit 1; }
for tool in "$OBJDUMP|binutils-mingw-w64-i686" "$WRESTOOL|icoutils" "$XMLLINT|libxml2-utils" "$CXX_HOST|g++" "iconv|libc-bin"; do
    command -v "${tool%%|*}" >/dev/null || { echo "check_pe: ${tool%%|*} not found (package ${tool#*|})" >&2; exit 1; }
done

dump=$("$OBJDUMP" -p "$exe" 2>&1) || { echo "check_pe: objdump cannot read $exe" >&2; echo "$dump" >&2; exit 1; }

# "dll function" per imported function, dll in lower case; ordinal-only imports become "dll #N"
imports() {
    awk '
        /^[ \t]*DLL Name:/ { dll = tolower($3); intable = 0; next }
        /^[ \t]*vma:[ \t]+Hint/ { intable = 1; next }
        intable && NF == 0 { intable = 0; next }
        intable && dll != "" {
            if ($2 ~ /^<none>$/) next
            if (NF >= 3) print dll, $3
            else if (NF == 2) print dll, "#" $2
        }
    ' <<<"$dump" | sort -u
}

if [ "$mode" = list ]; then
    imports
    exit 0
fi

fails=0
bad() { echo "check_pe: FAIL: $*"; fails=$((fails + 1)); }
ok() { echo "check_pe: ok: $*"; }

field() { awk -v k="$1" '$1 == k { print $2; exit }' <<<"$dump"; }

# --- Format -------------------------------------------------------------------------------------------------------
if grep -q 'file format pei-i386' <<<"$dump"; then ok "PE for i386"; else bad "not a PE for i386"; fi
if grep -Eq '^Magic[[:space:]]+010b' <<<"$dump"; then ok "PE32"; else bad "not PE32 (Magic $(field Magic))"; fi
sub=$(field Subsystem)
if [ "$sub" = 00000002 ]; then ok "GUI subsystem"; else bad "subsystem $sub, expected 00000002 (Windows GUI)"; fi
if grep -Eq '^Characteristics.*DLL' <<<"$dump" || grep -q '^[[:space:]]*DLL$' <<<"$dump"; then bad "is a DLL"; fi

# --- Versions: XP is 5.1 ------------------------------------------------------------------------------------------
at_most_xp() { [ "$1" -lt 5 ] || { [ "$1" -eq 5 ] && [ "$2" -le 1 ]; }; }
for kind in OSystem Subsystem; do
    maj=$(field "Major${kind}Version"); min=$(field "Minor${kind}Version")
    if ! [[ $maj =~ ^[0-9]+$ && $min =~ ^[0-9]+$ ]]; then
        bad "cannot read the ${kind} version"
    elif at_most_xp "$maj" "$min"; then
        ok "${kind} version $maj.$min <= 5.01"
    else
        bad "${kind} version $maj.$min is above 5.01: XP refuses to load it"
    fi
done

# --- DLLs -----------------------------------------------------------------------------------------------------------
# Those XP ships in system32; anything else (libstdc++-6, libgcc_s, libwinpthread-1, ucrtbase, api-ms-win-*) would
# have to travel with the exe.
SYSTEM_DLLS="kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll comctl32.dll msvcrt.dll powrprof.dll
comdlg32.dll ole32.dll oleaut32.dll shlwapi.dll winmm.dll uxtheme.dll version.dll ntdll.dll"
all=$(imports)
dlls=$(awk '{ print $1 }' <<<"$all" | sort -u)
[ -n "$dlls" ] || bad "no imports found (objdump output not understood?)"
for d in $dlls; do
    if [[ " $(echo $SYSTEM_DLLS) " == *" $d "* ]]; then ok "imports from $d"; else bad "imports from $d, not a Windows XP system DLL"; fi
done

# --- Functions ------------------------------------------------------------------------------------------------------
# Added after XP: never allowed, whatever the allow-list says.
DENY=$(grep -v '^[[:space:]]*#' "$DENIED" | awk 'NF >= 2 { print tolower($1), $2 }')
[ -n "$DENY" ] || bad "list of functions added after XP $DENIED not found or empty"
# in_list LIST — the lines of stdin that are also lines of LIST (one awk, not one grep per function)
in_list() { awk 'NR == FNR { seen[$0] = 1; next } $0 in seen' <(printf '%s\n' "$1") -; }
not_in_list() { awk 'NR == FNR { seen[$0] = 1; next } NF && !($0 in seen)' <(printf '%s\n' "$1") -; }

denied=0
denied_list=$(in_list "$DENY" <<<"$all")
while read -r d f; do
    [ -z "$d" ] && continue
    bad "imports $d!$f, which Windows XP lacks"; denied=$((denied + 1))
done <<<"$denied_list"
# the bounds-checked CRT functions came to the system msvcrt.dll with Vista
secure=$(awk '$1 == "msvcrt.dll" && $2 ~ /_s$/' <<<"$all" | not_in_list "$denied_list")
while read -r d f; do
    [ -z "$d" ] && continue
    bad "imports $d!$f, a bounds-checked CRT function XP's msvcrt.dll lacks"; denied=$((denied + 1))
done <<<"$secure"
denied_list+=$'\n'$secure
[ "$denied" = 0 ] && ok "no function from the list of post-XP additions"

# --- The allow-list and its evidence ----------------------------------------------------------------------------------
# Each line: "dll function evidence", the evidence being the earliest Windows the function's documentation names.
# A line without it, or naming a later Windows, is refused with the rest of the list still used.
EVIDENCE='^(NT 3\.1|NT 3\.5|NT 3\.51|NT 4\.0|Windows 95|Windows 98|Windows 2000|Windows XP)([ ,;:(]|$)'
allowed=
if [ -f "$ALLOW" ]; then
    allowed=$(grep -v '^[[:space:]]*#' "$ALLOW" | awk 'NF >= 2 { print tolower($1), $2 }')
    unproven=0
    while IFS= read -r line; do
        [[ $line =~ ^[[:space:]]*(#|$) ]] && continue
        read -r d f evidence <<<"$line"
        if ! [[ $evidence =~ $EVIDENCE ]] || [[ $evidence =~ (SP|Service Pack)[[:space:]]?[0-9] ]]; then
            bad "allow-list line '$d $f' cites no evidence of a Windows up to XP (want e.g. 'Windows 2000 Professional')"
            unproven=$((unproven + 1))
        fi
    done <"$ALLOW"
    [ "$unproven" = 0 ] && ok "every allow-list line cites its evidence"
else
    bad "allow-list $ALLOW not found"
fi

# Everything else must be on the reviewed list of functions known on XP.
if [ -n "$allowed" ]; then
    unknown=0
    while read -r d f; do
        [ -z "$d" ] && continue
        bad "imports $d!$f, not on the list of functions known on XP ($(basename "$ALLOW")): check it exists on XP, then add it"
        unknown=$((unknown + 1))
    done < <(not_in_list "$denied_list" <<<"$all" | not_in_list "$allowed")
    [ "$unknown" = 0 ] && ok "all $(grep -c . <<<"$all") imported functions are on the XP list"
fi

# --- Functions looked up at run time ---------------------------------------------------------------------------------
# GetProcAddress names never reach the import table; the program keeps them in one table, which pe_facts prints. A
# function marked with the Windows it came with is one XP lacks, which the program does without where the look-up
# fails: the mark must name a later Windows, and the function must never be imported, or XP's loader would refuse the
# exe.
LATER='^Windows (Vista|7|8|8\.1|10|11)$'
if ! entries=$(bound_functions) || [ -z "$entries" ]; then
    bad "cannot read the list of functions looked up at run time (pe_facts bound)"
else
    bound=$(awk 'NF == 2' <<<"$entries")
    while read -r d f since; do
        [ -z "$since" ] && continue
        if ! [[ $since =~ $LATER ]]; then
            bad "looks up $d!$f as a function after XP, but '$since' names no Windows after XP (want e.g. 'Windows Vista')"
        elif in_list "$d $f" <<<"$all" | grep -q .; then
            bad "imports $d!$f, which the run-time list says came with $since: look it up at run time instead"
        else
            ok "looks up $d!$f at run time only where present (from $since on), never imported"
        fi
    done <<<"$entries"
    off=0
    system_dlls=" $(echo $SYSTEM_DLLS) "
    while read -r d f; do
        [ -z "$d" ] && continue
        if [[ $system_dlls != *" $d "* ]]; then
            bad "looks up $d!$f at run time, and $d is not a Windows XP system DLL"
        else
            bad "looks up $d!$f at run time, not on the list of functions known on XP ($(basename "$ALLOW"))"
        fi
        off=$((off + 1))
    done < <({ in_list "$DENY" <<<"$bound"; not_in_list "$allowed" <<<"$bound"; } | sort -u)
    [ "$off" = 0 ] && ok "all $(grep -c . <<<"$bound") functions looked up at run time are on the XP list"
fi

# --- Start-up work the program's own entry point does not do ------------------------------------------------------
# win32/startup/start.cpp runs the C++ constructors (__main) and nothing of the C runtime's tables: a function put in
# .CRT$XI* or .CRT$XC* (the initializers crt2.o would run) or .CRT$XL* (TLS callbacks) would silently never run,
# and a TLS directory asks for start-up work (thread data, callbacks) this program does not do. The linker merges
# them all into .CRT, and a stripped exe keeps no subsection names: any pointer there that is not 0 (the tables'
# end markers are) is refused.
crt=$("$OBJDUMP" -s -j .CRT "$exe" 2>/dev/null |
    awk '/^ [0-9a-f]+ / { for (i = 2; i <= 5 && i <= NF; i++) if ($i ~ /^[0-9a-f]+$/ && $i !~ /^0+$/) n++ } END { print n + 0 }')
if [ "$crt" != 0 ]; then
    bad "holds $crt start-up function pointer(s) in .CRT (C runtime initializers or TLS callbacks), which the program's own entry point never runs"
else
    ok "no C runtime initializer or TLS callback in .CRT"
fi
tls=$(awk '$1 == "Entry" && $2 == 9 { print $3, $4; exit }' <<<"$dump")
if [ -z "$tls" ]; then
    bad "cannot read the TLS directory entry (objdump output not understood?)"
elif [ "$tls" != "00000000 00000000" ]; then
    bad "has a TLS directory (at ${tls% *}, ${tls#* } bytes), whose thread data and callbacks need start-up work the program's own entry point does not do"
else
    ok "no TLS directory"
fi

# --- Instructions --------------------------------------------------------------------------------------------------
# The whole code of the exe, runtime included, against what the Pentium MMX and the AMD K6 lack: the P6 additions
# (conditional moves, fcomi, the long NOP 0F 1F, fxsave, sysenter, rdpmc), MMX and 3DNow! (any %mm register, emms),
# and SSE onwards (any %xmm or %ymm register, their control and cache instructions, the later additions that work
# on general registers).
disasm=$("$OBJDUMP" -d --no-show-raw-insn "$exe" 2>/dev/null) || { bad "objdump cannot disassemble the exe"; disasm=; }
insns=$(awk -F'\t' '/^ *[0-9a-f]+:\t/ { sub(/^ +/, "", $1); sub(/:$/, "", $1); print $1 "\t" $2 }' <<<"$disasm")
[ -n "$insns" ] || bad "no instructions found (objdump output not understood?)"
# what | regular expression on "mnemonic operands"
CPU_RULES=(
    "cmov (P6)|^cmov"
    "fcmov (P6)|^fcmov"
    "fcomi/fucomi (P6)|^fu?comip?( |$)"
    "long NOP 0F 1F (P6)|(^| )nop[wl]? [^ ]"
    "fxsave/fxrstor (P6)|^fxsave|^fxrstor"
    "sysenter/sysexit (P6)|^sysenter|^sysexit"
    "rdpmc (P6)|^rdpmc"
    "MMX (an %mm register or emms)|%mm[0-7]|^f?emms"
    "SSE register|%[xyz]mm[0-9]"
    "SSE control or cache instruction|^(ldmxcsr|stmxcsr|sfence|lfence|mfence|clflush|movnti|prefetch)"
    "later extension on general registers (SSE3 onwards)|^(fisttp|monitor|mwait|popcnt|lzcnt|tzcnt|movbe|crc32|andn|bextr|blsi|blsmsk|blsr|bzhi|pdep|pext|rorx|sarx|shlx|shrx|adcx|adox|rdrand|rdseed|xgetbv)( |$)"
)
cpu_bad=0
for rule in "${CPU_RULES[@]}"; do
    what=${rule%%|*}; re=${rule#*|}
    hits=$(awk -F'\t' -v re="$re" '{ m = $2; gsub(/ +/, " ", m) } m ~ re { print $1 ": " m }' <<<"$insns")
    if [ -n "$hits" ]; then
        bad "$what at $(head -n1 <<<"$hits") ($(grep -c . <<<"$hits") in all): the Pentium MMX and the AMD K6 lack it"
        cpu_bad=$((cpu_bad + 1))
    fi
done
[ "$cpu_bad" = 0 ] && [ -n "$insns" ] && ok "no P6, MMX or SSE instruction in $(grep -c . <<<"$insns") instructions"

# --- Resources -----------------------------------------------------------------------------------------------------
resources=$("$WRESTOOL" -l "$exe" 2>/dev/null)

# --- Manifest: XP's loader refuses what Wine lets through ---------------------------------------------------------
V1=urn:schemas-microsoft-com:asm.v1
V3=urn:schemas-microsoft-com:asm.v3
COMPAT=urn:schemas-microsoft-com:compatibility.v1
# The elements XP's loader knows in asm.v1; anything else there makes it refuse the exe.
XP_ELEMENTS='|assembly|assemblyIdentity|description|dependency|dependentAssembly|file|comClass|typelib|windowClass|comInterfaceExternalProxyStub|noInherit|noInheritable|clrClass|clrSurrogate|bindingRedirect|'
xpath() { "$XMLLINT" --xpath "$1" "$2" 2>/dev/null; }

check_manifest() {
    local m=$1 n
    if ! iconv -f UTF-8 -t UTF-8 "$m" >/dev/null 2>&1; then bad "manifest is not valid UTF-8"; return; fi
    if ! "$XMLLINT" --noout "$m" 2>"$work/xmllint.log"; then
        bad "manifest is not well-formed XML: $(head -n1 "$work/xmllint.log")"; return
    fi
    local enc; enc=$("$XMLLINT" --debug "$m" | awk -F= '/^encoding=/ { print $2; exit }')
    if [ -n "$enc" ] && [ "${enc^^}" != UTF-8 ]; then bad "manifest declares encoding $enc, not UTF-8"; return; fi
    ok "manifest is well-formed UTF-8 XML"

    n=$(xpath "count(/*[local-name()='assembly' and namespace-uri()='$V1' and @manifestVersion='1.0'])" "$m")
    [ "$n" = 1 ] || bad "manifest root is not <assembly manifestVersion=\"1.0\"> in $V1"

    local unknown="//*[namespace-uri()='$V1' and not(contains('$XP_ELEMENTS', concat('|', local-name(), '|')))]"
    n=$(xpath "count($unknown)" "$m")
    if [ "$n" != 0 ]; then
        bad "manifest: <$(xpath "local-name(($unknown)[1])" "$m")> in the default namespace $V1 is unknown to XP's loader, which then refuses the exe ($n such element(s)); put it in $V3"
    fi
    # Other namespaces are skipped by XP with everything inside them; only asm.v3 and compatibility are known to be.
    local foreign="//*[namespace-uri()!='$V1' and not(ancestor-or-self::*[namespace-uri()='$V3' or namespace-uri()='$COMPAT'])]"
    n=$(xpath "count($foreign)" "$m")
    if [ "$n" != 0 ]; then
        bad "manifest: <$(xpath "local-name(($foreign)[1])" "$m")> in namespace '$(xpath "namespace-uri(($foreign)[1])" "$m")' is neither known to XP's loader nor inside $V3 or $COMPAT"
    fi
    [ "$(xpath "count($unknown | $foreign)" "$m")" = 0 ] && ok "manifest elements are known to XP or in a namespace it skips"

    # XP SP2's loader crashes on an element that declares more than one namespace.
    local twice
    twice=$("$XMLLINT" --debug "$m" | awk '
        /^ *ELEMENT / { match($0, /^ */); depth = RLENGTH; cur = NR; names[cur] = substr($0, depth + 9); next }
        cur && /^ *(default )?namespace / { match($0, /^ */); if (RLENGTH == depth + 2) count[cur]++ }
        END { for (k in count) if (count[k] > 1) print names[k], count[k] }')
    if [ -n "$twice" ]; then
        read -r n k <<<"$twice"
        bad "manifest: <$n> declares more than one namespace ($k), which crashes XP SP2's loader"
    else
        ok "no manifest element declares more than one namespace"
    fi

    local deps="/*[local-name()='assembly']/*[local-name()='dependency' and namespace-uri()='$V1']/*[local-name()='dependentAssembly' and namespace-uri()='$V1']/*[local-name()='assemblyIdentity' and namespace-uri()='$V1']"
    local comctl="$deps[@type='win32' and @name='Microsoft.Windows.Common-Controls' and @version='6.0.0.0' and @processorArchitecture='x86' and @publicKeyToken='6595b64144ccf1df' and @language='*']"
    if [ "$(xpath "count($comctl)" "$m")" = 1 ] && [ "$(xpath "count(//*[local-name()='dependentAssembly'])" "$m")" = 1 ]; then
        ok "manifest depends on common controls 6.0.0.0 x86 6595b64144ccf1df, and on nothing else"
    else
        bad "manifest: the one dependency must be Microsoft.Windows.Common-Controls, version 6.0.0.0, type win32, processorArchitecture x86, publicKeyToken 6595b64144ccf1df, language *"
    fi
    local version
    version=$(xpath "string(/*[local-name()='assembly']/*[local-name()='assemblyIdentity' and namespace-uri()='$V1']/@version)" "$m")
    if [[ $version =~ ^[0-9]{1,5}(\.[0-9]{1,5}){3}$ ]]; then
        ok "manifest's own identity has version $version"
    else
        bad "manifest's own assemblyIdentity has version '$version', not four numbers"
    fi
}

manifests=$(grep -E -- '--type=24 ' <<<"$resources" | sed -E 's/ \[.*//')
if [ -z "$manifests" ]; then
    bad "no manifest (resource type 24): no common controls 6, and no checks on it"
else
    while read -r opts; do
        # shellcheck disable=SC2086
        "$WRESTOOL" -x --raw $opts "$exe" >"$work/manifest.xml" 2>/dev/null
        check_manifest "$work/manifest.xml"
    done <<<"$manifests"
fi

# --- Icons: XP reads only plain DIB images, and no 256 px entry --------------------------------------------------------
groups=$(grep -E -- '--type=14 ' <<<"$resources" | sed -E 's/ \[.*//')
if [ -z "$groups" ]; then
    bad "no icon group (resource type 14)"
else
    while read -r opts; do
        # shellcheck disable=SC2086
        "$WRESTOOL" -x $opts "$exe" >"$work/group.ico" 2>/dev/null
        name=$(sed -E 's/.*--name=([^ ]+).*/\1/' <<<"$opts")
        if ! images=$(facts icon "$work/group.ico"); then bad "icon group $name cannot be read"; continue; fi
        sizes=' '; icon_bad=0
        while read -r w h kind; do
            if [ "$kind" = png ]; then
                bad "icon group $name: the ${w} x ${h} image is PNG-compressed, which XP cannot read"; icon_bad=1
            elif [ "$kind" != dib ]; then
                bad "icon group $name: the ${w} x ${h} image is not a plain DIB (BITMAPINFOHEADER)"; icon_bad=1
            fi
            if [ "$w" -ge 256 ] || [ "$h" -ge 256 ]; then
                bad "icon group $name has a ${w} x ${h} entry, which XP cannot read"; icon_bad=1
            fi
            sizes+="${w}x${h} "
        done <<<"$images"
        for s in 16x16 32x32 48x48; do
            [[ $sizes == *" $s "* ]] || { bad "icon group $name has no $s image"; icon_bad=1; }
        done
        [ "$icon_bad" = 0 ] && ok "icon group $name: $(grep -c . <<<"$images") plain DIB images of$(tr ' ' '\n' <<<"$sizes" | sort -un | tr '\n' ' ' | sed 's/ $//')"
    done <<<"$groups"
fi

if [ "$fails" -gt 0 ]; then
    echo "check_pe: $(basename "$exe"): $fails problem(s)"
    exit 1
fi
echo "check_pe: $(basename "$exe") loads on Windows XP"
