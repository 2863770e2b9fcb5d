// The system functions the program looks up at run time, each by library and entry name: the one list that
// Win32SystemCalls, the window code and scripts/check_pe.sh (which checks each name is on XP) all read.
#pragma once

#include <cstdint>

// One TARVEIL_BOUND line per function: id, library, entry name. check_pe.sh reads these lines as text, so keep
// each on one line with the two names as plain string literals. A function that XP lacks carries the comment
// "after XP: " and the Windows it came with: its look-up fails on XP, and the code that uses it does without.
#define TARVEIL_BOUND_FUNCTIONS(TARVEIL_BOUND)                                     \
    TARVEIL_BOUND(kShellNotifyIconA, "shell32.dll", "Shell_NotifyIconA")           \
    TARVEIL_BOUND(kGetCurrentProcess, "kernel32.dll", "GetCurrentProcess")         \
    TARVEIL_BOUND(kCloseHandle, "kernel32.dll", "CloseHandle")                     \
    TARVEIL_BOUND(kGetLastError, "kernel32.dll", "GetLastError")                   \
    TARVEIL_BOUND(kSetSystemPowerState, "kernel32.dll", "SetSystemPowerState")     \
    TARVEIL_BOUND(kSetThreadExecutionState, "kernel32.dll", "SetThreadExecutionState") \
    TARVEIL_BOUND(kGetSystemDirectoryW, "kernel32.dll", "GetSystemDirectoryW")     \
    TARVEIL_BOUND(kCreateProcessW, "kernel32.dll", "CreateProcessW")               \
    TARVEIL_BOUND(kWaitForSingleObject, "kernel32.dll", "WaitForSingleObject")     \
    TARVEIL_BOUND(kGetExitCodeProcess, "kernel32.dll", "GetExitCodeProcess")       \
    TARVEIL_BOUND(kOpenProcessToken, "advapi32.dll", "OpenProcessToken")           \
    TARVEIL_BOUND(kLookupPrivilegeValueA, "advapi32.dll", "LookupPrivilegeValueA") \
    TARVEIL_BOUND(kAdjustTokenPrivileges, "advapi32.dll", "AdjustTokenPrivileges") \
    TARVEIL_BOUND(kGetTokenInformation, "advapi32.dll", "GetTokenInformation")     \
    TARVEIL_BOUND(kIsPwrHibernateAllowed, "powrprof.dll", "IsPwrHibernateAllowed") \
    TARVEIL_BOUND(kExitWindowsEx, "user32.dll", "ExitWindowsEx")                   \
    TARVEIL_BOUND(kGetDesktopWindow, "user32.dll", "GetDesktopWindow")             \
    TARVEIL_BOUND(kGetDC, "user32.dll", "GetDC")                                   \
    TARVEIL_BOUND(kReleaseDC, "user32.dll", "ReleaseDC")                           \
    TARVEIL_BOUND(kBitBlt, "gdi32.dll", "BitBlt")                                  \
    TARVEIL_BOUND(kSetWindowTheme, "uxtheme.dll", "SetWindowTheme")              \
    TARVEIL_BOUND(kDwmFlush, "dwmapi.dll", "DwmFlush") /* after XP: Windows Vista */

enum BoundFunction : int {
#define TARVEIL_BOUND_ID(id, library, entry) id,
    TARVEIL_BOUND_FUNCTIONS(TARVEIL_BOUND_ID)
#undef TARVEIL_BOUND_ID
    kBoundFunctionCount
};

struct BoundFunctionName {
    const char* library;
    const char* entry;
};

// Library and entry name of each function, indexed by BoundFunction.
extern const BoundFunctionName kBoundFunctionNames[kBoundFunctionCount];

// Looks `entry` up in `library`, the one in the system folder, loading it if the process has not yet; a library of
// that name anywhere else is never used. Returns nullptr when either is missing, with *error set to
// ERROR_MOD_NOT_FOUND or ERROR_PROC_NOT_FOUND; the thread's last error is left as it was either way, so a look-up
// never hides the error of the call made before it.
void* LookUpSystemFunction(const char* library, const char* entry, uint32_t* error);

// The listed functions' addresses, each looked up by its names on first use and kept: a function this Windows
// lacks is looked up once, and every call of it then fails the same way. Static storage, nothing allocated.
class BoundFunctionTable {
public:
    // The names to look each function up by: the program's own list, or another one (a test's, to see how a
    // missing function behaves).
    explicit constexpr BoundFunctionTable(const BoundFunctionName* names = kBoundFunctionNames) : names_(names) {}
    BoundFunctionTable(const BoundFunctionTable&) = delete;
    BoundFunctionTable& operator=(const BoundFunctionTable&) = delete;

    // The function's address, or nullptr with the thread's last error set to why.
    void* Address(BoundFunction function);
    // Whether the function has been looked up yet.
    bool LookedUp(BoundFunction function) const;

private:
    struct Entry {
        void* proc;
        uint32_t error;  // left by a failed look-up, given again by every call
        bool lookedUp;
    };

    const BoundFunctionName* names_;
    Entry entries_[kBoundFunctionCount] = {};
};

// The table the whole program binds through, kept for the life of the process.
BoundFunctionTable& SystemFunctions();

// SystemFunctions().Address(function). Cast it to the function's own type, e.g.
// reinterpret_cast<decltype(&::SetWindowTheme)>(BoundFunctionAddress(kSetWindowTheme)).
void* BoundFunctionAddress(BoundFunction function);
