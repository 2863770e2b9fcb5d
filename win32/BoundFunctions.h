// The system functions the program looks up at run time, each by library and entry name: the one list that
// Win32SystemCalls and the window code bind through, and that scripts/check_pe.sh has printed (scripts/pe_facts.cpp)
// to check that XP has each function.
#pragma once

#include <cstdint>
#include <optional>
#include <utility>

// Library, entry, and the Windows the function came with when that is after XP ("" for a function XP has): its
// look-up fails on XP, and the code that uses it does without.
#define TARVEIL_BOUND_FUNCTIONS(X)                                \
    X("shell32.dll", Shell_NotifyIconA, "")                       \
    X("kernel32.dll", GetCurrentProcess, "")                      \
    X("kernel32.dll", CloseHandle, "")                            \
    X("kernel32.dll", GetLastError, "")                           \
    X("kernel32.dll", SetSystemPowerState, "")                    \
    X("kernel32.dll", SetThreadExecutionState, "")                \
    X("kernel32.dll", GetSystemDirectoryW, "")                    \
    X("kernel32.dll", CreateProcessW, "")                         \
    X("kernel32.dll", WaitForSingleObject, "")                    \
    X("kernel32.dll", GetExitCodeProcess, "")                     \
    X("kernel32.dll", CreateWaitableTimerW, "")                   \
    X("kernel32.dll", SetWaitableTimer, "")                       \
    X("kernel32.dll", CancelWaitableTimer, "")                    \
    X("advapi32.dll", OpenProcessToken, "")                       \
    X("advapi32.dll", LookupPrivilegeValueA, "")                  \
    X("advapi32.dll", AdjustTokenPrivileges, "")                  \
    X("advapi32.dll", GetTokenInformation, "")                    \
    X("powrprof.dll", IsPwrHibernateAllowed, "")                  \
    X("user32.dll", ExitWindowsEx, "")                            \
    X("user32.dll", GetDesktopWindow, "")                         \
    X("user32.dll", GetDC, "")                                    \
    X("user32.dll", ReleaseDC, "")                                \
    X("user32.dll", ChangeWindowMessageFilter, "Windows Vista")   \
    X("user32.dll", ChangeWindowMessageFilterEx, "Windows 7")     \
    X("gdi32.dll", BitBlt, "")                                    \
    X("uxtheme.dll", SetWindowTheme, "")                          \
    X("dwmapi.dll", DwmFlush, "Windows Vista")                    \
    X("dwmapi.dll", DwmSetWindowAttribute, "Windows Vista")

// kShell_NotifyIconA, kGetCurrentProcess, ...: the entry's name after a k.
enum BoundFunction : int {
#define TARVEIL_BOUND_ID(library, entry, since) k##entry,
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

// A listed function, of the SDK's type Fn, ready to be called: looked up on its first call. Called while its library
// or its entry is missing, it calls nothing and gives back nothing (std::nullopt), the thread's last error saying
// which was missing, so that each caller says in one place what that means for it.
template <typename Fn>
class BoundCall {
public:
    explicit BoundCall(BoundFunction function, BoundFunctionTable& table = SystemFunctions())
        : fn_(reinterpret_cast<Fn>(table.Address(function))) {}

    template <typename... Args>
    auto operator()(Args... args) const -> std::optional<decltype(std::declval<Fn>()(args...))> {
        if (fn_ == nullptr) return std::nullopt;
        return fn_(args...);
    }

private:
    Fn fn_;
};
