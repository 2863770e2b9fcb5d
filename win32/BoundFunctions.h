// The system functions the program looks up at run time, each by library and entry name: the one list that
// Win32SystemCalls and the window code bind through, and that scripts/check_pe.sh has printed (scripts/pe_facts.cpp)
// to check that XP has each function.
#pragma once

#include <cstdint>
#include <utility>

// Library, entry, the function's SDK type, and the Windows it came with when that is after XP ("" for a function XP
// has): its look-up fails on XP, and the code that uses it does without. Each type is checked against the SDK's own
// declaration (win32/BoundFunctions.cpp).
#define TARVEIL_BOUND_FUNCTIONS(X)                                                                                   \
    X("shell32.dll", Shell_NotifyIconA, BOOL(WINAPI*)(DWORD, PNOTIFYICONDATAA), "")                                  \
    X("kernel32.dll", GetCurrentProcess, HANDLE(WINAPI*)(), "")                                                     \
    X("kernel32.dll", CloseHandle, BOOL(WINAPI*)(HANDLE), "")                                                       \
    X("kernel32.dll", SetSystemPowerState, BOOL(WINAPI*)(BOOL, BOOL), "")                                           \
    X("kernel32.dll", SetThreadExecutionState, EXECUTION_STATE(WINAPI*)(EXECUTION_STATE), "")                       \
    X("kernel32.dll", GetSystemDirectoryW, UINT(WINAPI*)(LPWSTR, UINT), "")                                         \
    X("kernel32.dll", CreateProcessW,                                                                               \
      BOOL(WINAPI*)(LPCWSTR, LPWSTR, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL, DWORD, LPVOID, LPCWSTR,     \
                    LPSTARTUPINFOW, LPPROCESS_INFORMATION),                                                          \
      "")                                                                                                            \
    X("kernel32.dll", WaitForSingleObject, DWORD(WINAPI*)(HANDLE, DWORD), "")                                       \
    X("kernel32.dll", GetExitCodeProcess, BOOL(WINAPI*)(HANDLE, LPDWORD), "")                                       \
    X("kernel32.dll", CreateWaitableTimerW, HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, BOOL, LPCWSTR), "")              \
    X("kernel32.dll", SetWaitableTimer,                                                                             \
      BOOL(WINAPI*)(HANDLE, const LARGE_INTEGER*, LONG, PTIMERAPCROUTINE, LPVOID, BOOL), "")                         \
    X("kernel32.dll", CancelWaitableTimer, BOOL(WINAPI*)(HANDLE), "")                                               \
    X("kernel32.dll", LocalFree, HLOCAL(WINAPI*)(HLOCAL), "")                                                       \
    X("advapi32.dll", OpenProcessToken, BOOL(WINAPI*)(HANDLE, DWORD, PHANDLE), "")                                  \
    X("advapi32.dll", LookupPrivilegeValueA, BOOL(WINAPI*)(LPCSTR, LPCSTR, PLUID), "")                              \
    X("advapi32.dll", AdjustTokenPrivileges,                                                                        \
      BOOL(WINAPI*)(HANDLE, BOOL, PTOKEN_PRIVILEGES, DWORD, PTOKEN_PRIVILEGES, PDWORD), "")                          \
    X("advapi32.dll", GetTokenInformation, BOOL(WINAPI*)(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD, PDWORD), "") \
    X("powrprof.dll", IsPwrHibernateAllowed, BOOLEAN(WINAPI*)(), "")                                                \
    X("powrprof.dll", CallNtPowerInformation, LONG(WINAPI*)(POWER_INFORMATION_LEVEL, PVOID, ULONG, PVOID, ULONG), "") \
    X("powrprof.dll", PowerGetActiveScheme, DWORD(WINAPI*)(HKEY, GUID**), "Windows Vista")                          \
    X("powrprof.dll", PowerReadACValueIndex,                                                                        \
      DWORD(WINAPI*)(HKEY, const GUID*, const GUID*, const GUID*, LPDWORD), "Windows Vista")                         \
    X("powrprof.dll", PowerReadDCValueIndex,                                                                        \
      DWORD(WINAPI*)(HKEY, const GUID*, const GUID*, const GUID*, LPDWORD), "Windows Vista")                         \
    X("user32.dll", ExitWindowsEx, BOOL(WINAPI*)(UINT, DWORD), "")                                                  \
    X("user32.dll", GetDesktopWindow, HWND(WINAPI*)(), "")                                                          \
    X("user32.dll", GetDC, HDC(WINAPI*)(HWND), "")                                                                  \
    X("user32.dll", ReleaseDC, int(WINAPI*)(HWND, HDC), "")                                                         \
    X("user32.dll", ChangeWindowMessageFilter, BOOL(WINAPI*)(UINT, DWORD), "Windows Vista")                         \
    X("user32.dll", ChangeWindowMessageFilterEx,                                                                    \
      BOOL(WINAPI*)(HWND, UINT, DWORD, struct tagCHANGEFILTERSTRUCT*), "Windows 7")                                  \
    X("gdi32.dll", BitBlt, BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, DWORD), "")                        \
    X("uxtheme.dll", SetWindowTheme, HRESULT(WINAPI*)(HWND, LPCWSTR, LPCWSTR), "")                                  \
    X("dwmapi.dll", DwmFlush, HRESULT(WINAPI*)(), "Windows Vista")                                                  \
    X("dwmapi.dll", DwmSetWindowAttribute, HRESULT(WINAPI*)(HWND, DWORD, LPCVOID, DWORD), "Windows Vista")

// kShell_NotifyIconA, kGetCurrentProcess, ...: the entry's name after a k.
enum BoundFunction : int {
#define TARVEIL_BOUND_ID(library, entry, type, since) k##entry,
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
// ERROR_MOD_NOT_FOUND or ERROR_PROC_NOT_FOUND. The thread's last error is no concern of a look-up: no call's error
// is read from it but right after that call (CallBound).
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

    // The function's address, or nullptr with *error set to why.
    void* Address(BoundFunction function, uint32_t* error);
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

#ifdef _WIN32
// The one way to call a listed function, where the SDK's types are (the list itself is read on the build machine
// too, by scripts/pe_facts.cpp).
#include <windows.h>
#include <shellapi.h>

// Each listed function's type, as the list gives it.
template <BoundFunction F>
struct BoundType;
#define TARVEIL_BOUND_TYPE(library, entry, type, since) \
    template <>                                         \
    struct BoundType<k##entry> {                        \
        using Fn = type;                                \
    };
TARVEIL_BOUND_FUNCTIONS(TARVEIL_BOUND_TYPE)
#undef TARVEIL_BOUND_TYPE

// What a listed function answered and, where it failed, the thread's last error read right after it; where this
// Windows lacks the function nothing was called, the answer is the failure and the error the look-up's.
template <typename R>
struct BoundAnswer {
    R value;
    uint32_t error;
    bool found;
};

// When the last error is read: where the call failed; always, for a function whose success speaks through it too
// (AdjustTokenPrivileges); always and cleared right before the call, for one whose success leaves it alone unless
// it has something to say (SetWaitableTimer), so that an older error cannot pass for its own; or never, for one that
// returns its error code and leaves the last error alone (the power plan's functions).
enum class LastError { WhenFailed, Always, ClearedFirst, Never };

// Calls the listed function F, looked up through `table` on its first call, with `args`. `failed` is what the
// function returns when it fails (FALSE, a null handle, 0, WAIT_FAILED), and the answer where this Windows lacks it.
template <BoundFunction F, LastError Read = LastError::WhenFailed, typename Failed, typename... Args>
auto CallBound(BoundFunctionTable& table, Failed failed, Args... args)
    -> BoundAnswer<decltype(std::declval<typename BoundType<F>::Fn>()(args...))> {
    using Fn = typename BoundType<F>::Fn;
    using R = decltype(std::declval<Fn>()(args...));
    uint32_t lookUpError = 0;
    const Fn fn = reinterpret_cast<Fn>(table.Address(F, &lookUpError));
    if (fn == nullptr) return {static_cast<R>(failed), lookUpError, false};
    if (Read == LastError::ClearedFirst) ::SetLastError(ERROR_SUCCESS);
    const R value = fn(args...);
    const bool read = Read != LastError::Never && (Read != LastError::WhenFailed || value == static_cast<R>(failed));
    return {value, read ? static_cast<uint32_t>(::GetLastError()) : 0u, true};
}
#endif
