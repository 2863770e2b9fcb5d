#!/usr/bin/env bash
# scripts/check_pe.sh — checks that an exe will load on 32-bit Windows XP: PE32 i386, GUI, versions <= 5.01,
# system DLLs only, and only functions XP has (a reviewed allow-list plus a deny-list of later additions).
#   check_pe.sh [EXE]          check (default: "build/win32/Tarveil XP.exe")
#   check_pe.sh --list [EXE]   print the exe's imports as "dll function" lines, the allow-list's format
set -u

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
OBJDUMP=${OBJDUMP:-i686-w64-mingw32-objdump}
ALLOW=${XP_IMPORTS:-$here/xp-imports.txt}

list_only=0
if [ "${1:-}" = --list ]; then list_only=1; shift; fi
exe=${1:-$root/build/win32/Tarveil XP.exe}

[ -f "$exe" ] || { echo "check_pe: $exe not found" >&2; exit 1; }
command -v "$OBJDUMP" >/dev/null || { echo "check_pe: $OBJDUMP not found (binutils-mingw-w64-i686)" >&2; exit 1; }

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

if [ "$list_only" = 1 ]; then
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
# Added after XP (Vista, 7, 8, 10, or only Server 2003 / XP x64): never allowed, whatever the allow-list says.
DENY='
kernel32.dll GetTickCount64
kernel32.dll InitializeSRWLock
kernel32.dll AcquireSRWLockExclusive
kernel32.dll AcquireSRWLockShared
kernel32.dll ReleaseSRWLockExclusive
kernel32.dll ReleaseSRWLockShared
kernel32.dll TryAcquireSRWLockExclusive
kernel32.dll TryAcquireSRWLockShared
kernel32.dll InitializeConditionVariable
kernel32.dll SleepConditionVariableCS
kernel32.dll SleepConditionVariableSRW
kernel32.dll WakeConditionVariable
kernel32.dll WakeAllConditionVariable
kernel32.dll InitOnceInitialize
kernel32.dll InitOnceBeginInitialize
kernel32.dll InitOnceComplete
kernel32.dll InitOnceExecuteOnce
kernel32.dll InitializeCriticalSectionEx
kernel32.dll FlsAlloc
kernel32.dll FlsFree
kernel32.dll FlsGetValue
kernel32.dll FlsSetValue
kernel32.dll CreateFile2
kernel32.dll CreateEventExA
kernel32.dll CreateEventExW
kernel32.dll CreateMutexExA
kernel32.dll CreateMutexExW
kernel32.dll CreateSemaphoreExA
kernel32.dll CreateSemaphoreExW
kernel32.dll CreateWaitableTimerExW
kernel32.dll GetSystemTimePreciseAsFileTime
kernel32.dll CompareStringEx
kernel32.dll CompareStringOrdinal
kernel32.dll GetLocaleInfoEx
kernel32.dll LCMapStringEx
kernel32.dll GetUserDefaultLocaleName
kernel32.dll GetSystemDefaultLocaleName
kernel32.dll LocaleNameToLCID
kernel32.dll LCIDToLocaleName
kernel32.dll ResolveLocaleName
kernel32.dll GetDateFormatEx
kernel32.dll GetTimeFormatEx
kernel32.dll GetNumberFormatEx
kernel32.dll GetCurrencyFormatEx
kernel32.dll EnumSystemLocalesEx
kernel32.dll IsValidLocaleName
kernel32.dll GetDynamicTimeZoneInformation
kernel32.dll SetThreadStackGuarantee
kernel32.dll GetCurrentProcessorNumber
kernel32.dll GetErrorMode
kernel32.dll GetThreadErrorMode
kernel32.dll SetThreadErrorMode
kernel32.dll QueryFullProcessImageNameA
kernel32.dll QueryFullProcessImageNameW
kernel32.dll GetFinalPathNameByHandleA
kernel32.dll GetFinalPathNameByHandleW
kernel32.dll GetFileInformationByHandleEx
kernel32.dll SetFileInformationByHandle
kernel32.dll CreateSymbolicLinkA
kernel32.dll CreateSymbolicLinkW
kernel32.dll CancelIoEx
kernel32.dll CancelSynchronousIo
kernel32.dll GetQueuedCompletionStatusEx
kernel32.dll SetFileCompletionNotificationModes
kernel32.dll Wow64DisableWow64FsRedirection
kernel32.dll Wow64RevertWow64FsRedirection
kernel32.dll CreateThreadpoolWork
kernel32.dll CreateThreadpoolTimer
kernel32.dll SetWaitableTimerEx
kernel32.dll GetProductInfo
kernel32.dll RaiseFailFastException
kernel32.dll GetProcessIdOfThread
kernel32.dll GetThreadId
kernel32.dll GetProcessId
kernel32.dll SetDllDirectoryW
kernel32.dll SetDefaultDllDirectories
kernel32.dll AddDllDirectory
kernel32.dll PowerCreateRequest
kernel32.dll PowerSetRequest
kernel32.dll PowerClearRequest
advapi32.dll RegGetValueA
advapi32.dll RegGetValueW
advapi32.dll RegDeleteTreeA
advapi32.dll RegDeleteTreeW
advapi32.dll RegSetKeyValueA
advapi32.dll RegSetKeyValueW
advapi32.dll RegDeleteKeyExA
advapi32.dll RegDeleteKeyExW
advapi32.dll RegCopyTreeW
advapi32.dll RegLoadMUIStringW
advapi32.dll InitiateShutdownA
advapi32.dll InitiateShutdownW
user32.dll SetProcessDPIAware
user32.dll IsProcessDPIAware
user32.dll SetProcessDpiAwarenessContext
user32.dll GetDpiForWindow
user32.dll GetDpiForSystem
user32.dll GetSystemMetricsForDpi
user32.dll AdjustWindowRectExForDpi
user32.dll ChangeWindowMessageFilter
user32.dll ChangeWindowMessageFilterEx
user32.dll ShutdownBlockReasonCreate
user32.dll ShutdownBlockReasonDestroy
user32.dll ShutdownBlockReasonQuery
user32.dll RegisterPowerSettingNotification
user32.dll UnregisterPowerSettingNotification
user32.dll AddClipboardFormatListener
user32.dll RemoveClipboardFormatListener
user32.dll GetWindowDisplayAffinity
user32.dll SetWindowDisplayAffinity
user32.dll CalculatePopupWindowPosition
user32.dll LogicalToPhysicalPoint
user32.dll PhysicalToLogicalPoint
shell32.dll SHGetKnownFolderPath
shell32.dll SHCreateItemFromParsingName
shell32.dll Shell_NotifyIconGetRect
shell32.dll SHGetStockIconInfo
comctl32.dll TaskDialog
comctl32.dll TaskDialogIndirect
comctl32.dll LoadIconMetric
comctl32.dll LoadIconWithScaleDown
powrprof.dll PowerGetActiveScheme
powrprof.dll PowerSetActiveScheme
powrprof.dll PowerReadACValue
powrprof.dll PowerReadDCValue
powrprof.dll PowerWriteACValueIndex
powrprof.dll PowerEnumerate
msvcrt.dll strnlen
msvcrt.dll wcsnlen
msvcrt.dll _fseeki64
msvcrt.dll _ftelli64
msvcrt.dll _set_invalid_parameter_handler
msvcrt.dll _get_invalid_parameter_handler
msvcrt.dll _configthreadlocale
msvcrt.dll _create_locale
msvcrt.dll _free_locale
msvcrt.dll _get_errno
msvcrt.dll _set_errno
msvcrt.dll _get_doserrno
msvcrt.dll _set_doserrno
msvcrt.dll _get_output_format
msvcrt.dll _set_output_format
msvcrt.dll _gmtime64_s
msvcrt.dll _localtime64_s
msvcrt.dll _wctime64_s
'
denied=0
denied_list=
while read -r d f; do
    [ -z "$d" ] && continue
    if grep -qxF "$d $f" <<<"$DENY"; then
        bad "imports $d!$f, which Windows XP lacks"; denied=$((denied + 1)); denied_list+="$d $f"$'\n'
    elif [ "$d" = msvcrt.dll ] && [[ $f == *_s ]]; then
        # the bounds-checked CRT functions came to the system msvcrt.dll with Vista
        bad "imports $d!$f, a bounds-checked CRT function XP's msvcrt.dll lacks"; denied=$((denied + 1))
        denied_list+="$d $f"$'\n'
    fi
done <<<"$all"
[ "$denied" = 0 ] && ok "no function from the list of post-XP additions"

# Everything else must be on the reviewed list of functions known on XP.
if [ -f "$ALLOW" ]; then
    unknown=0
    allowed=$(grep -v '^[[:space:]]*#' "$ALLOW" | awk 'NF >= 2 { print tolower($1), $2 }')
    while read -r d f; do
        [ -z "$d" ] && continue
        grep -qxF "$d $f" <<<"$denied_list" && continue
        if ! grep -qxF "$d $f" <<<"$allowed"; then
            bad "imports $d!$f, not on the list of functions known on XP ($(basename "$ALLOW")): check it exists on XP, then add it"
            unknown=$((unknown + 1))
        fi
    done <<<"$all"
    [ "$unknown" = 0 ] && ok "all $(grep -c . <<<"$all") imported functions are on the XP list"
else
    bad "allow-list $ALLOW not found"
fi

if [ "$fails" -gt 0 ]; then
    echo "check_pe: $(basename "$exe"): $fails problem(s)"
    exit 1
fi
echo "check_pe: $(basename "$exe") loads on Windows XP"
