// SystemCalls bound at run time, from the system folder, through BoundFunctions: each method converts the core's
// values and records (SdkRecords.h), calls the function, and converts back.
#include "win32/Win32SystemCalls.h"

#include <windows.h>
#include <powrprof.h>
#include <shellapi.h>
// <windows.h> maps these names to their A/W forms; here they are the SystemCalls methods.
#undef GetSystemDirectory
#undef CreateProcess

#include <cstring>

#include "win32/SdkRecords.h"
#include "win32/WideText.h"

// The listed function `entry` of table_, called through BoundCall, as the SDK declares it.
#define TARVEIL_BIND(entry) BoundCall<decltype(&::entry)>(k##entry, table_)

bool Win32SystemCalls::Shell_NotifyIconA(uint32_t message, const NotifyIconRecord* data) {
    if (data == nullptr) return false;
    NOTIFYICONDATAA record = ToSdk(*data);
    return TARVEIL_BIND(Shell_NotifyIconA)(message, &record).value_or(FALSE) != FALSE;
}

uint32_t Win32SystemCalls::GetCurrentProcess() {
    return ToValue(TARVEIL_BIND(GetCurrentProcess)().value_or(nullptr));
}

bool Win32SystemCalls::CloseHandle(uint32_t handle) {
    return TARVEIL_BIND(CloseHandle)(FromValue<HANDLE>(handle)).value_or(FALSE) != FALSE;
}

uint32_t Win32SystemCalls::GetLastError() {
    // Without the function, say so rather than pretend success (0).
    return TARVEIL_BIND(GetLastError)().value_or(ERROR_PROC_NOT_FOUND);
}

bool Win32SystemCalls::SetSystemPowerState(bool suspend, bool force) {
    return TARVEIL_BIND(SetSystemPowerState)(suspend ? TRUE : FALSE, force ? TRUE : FALSE).value_or(FALSE) != FALSE;
}

uint32_t Win32SystemCalls::GetSystemDirectory(char* buf, uint32_t cap) {
    // The system folder's path fits MAX_PATH on every Windows this program runs on.
    wchar_t wide[MAX_PATH + 1];
    const UINT n = TARVEIL_BIND(GetSystemDirectoryW)(wide, MAX_PATH + 1).value_or(0);
    if (n == 0 || n > MAX_PATH) return 0;
    const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(n), nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return 0;
    // As the system does: the size needed, terminator included, when the buffer is too small.
    if (!buf || static_cast<uint32_t>(bytes) + 1 > cap) return static_cast<uint32_t>(bytes) + 1;
    ::WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(n), buf, bytes, nullptr, nullptr);
    buf[bytes] = '\0';
    return static_cast<uint32_t>(bytes);
}

bool Win32SystemCalls::CreateProcess(const char* applicationUtf8, const char* commandLineUtf8, uint16_t showWindow,
                                     SystemHandle* process) {
    // CreateProcessW may write into the command line: it gets a converted copy of its own.
    WideText application(applicationUtf8 ? applicationUtf8 : "");
    WideText commandLine(commandLineUtf8 ? commandLineUtf8 : "");
    if (!application.ok() || !commandLine.ok()) {
        ::SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return false;
    }

    STARTUPINFOW startup;
    std::memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = showWindow;
    PROCESS_INFORMATION started;
    std::memset(&started, 0, sizeof started);
    if (!TARVEIL_BIND(CreateProcessW)(applicationUtf8 ? application.c_str() : nullptr,
                                      commandLineUtf8 ? commandLine.data() : nullptr, nullptr, nullptr, FALSE, 0,
                                      nullptr, nullptr, &startup, &started)
             .value_or(FALSE)) {
        return false;
    }
    // The thread is never waited for, and goes first; the process goes to the caller, or with the thread.
    SystemHandle unwatched(*this);
    SystemHandle thread(*this);
    thread.Reset(ToValue(started.hThread));
    (process ? *process : unwatched).Reset(ToValue(started.hProcess));
    return true;
}

uint32_t Win32SystemCalls::SetThreadExecutionState(uint32_t flags) {
    return TARVEIL_BIND(SetThreadExecutionState)(flags).value_or(0);
}

bool Win32SystemCalls::CreateWaitableTimerW(bool manualReset, SystemHandle* timer) {
    const HANDLE handle = TARVEIL_BIND(CreateWaitableTimerW)(nullptr, manualReset ? TRUE : FALSE, nullptr).value_or(nullptr);
    if (handle == nullptr) return false;
    SystemHandle unused(*this);
    (timer ? *timer : unused).Reset(ToValue(handle));
    return true;
}

bool Win32SystemCalls::SetWaitableTimer(uint32_t timer, int64_t dueTime, int32_t period, bool resume) {
    LARGE_INTEGER due;
    due.QuadPart = dueTime;
    // Success leaves the last error alone unless the timer cannot wake the computer: an older error must not pass
    // for that.
    ::SetLastError(ERROR_SUCCESS);
    return TARVEIL_BIND(SetWaitableTimer)(FromValue<HANDLE>(timer), &due, period, nullptr, nullptr,
                                          resume ? TRUE : FALSE)
               .value_or(FALSE) != FALSE;
}

bool Win32SystemCalls::CancelWaitableTimer(uint32_t timer) {
    return TARVEIL_BIND(CancelWaitableTimer)(FromValue<HANDLE>(timer)).value_or(FALSE) != FALSE;
}

uint32_t Win32SystemCalls::WaitForSingleObject(uint32_t handle, uint32_t milliseconds) {
    return TARVEIL_BIND(WaitForSingleObject)(FromValue<HANDLE>(handle), milliseconds).value_or(WAIT_FAILED);
}

bool Win32SystemCalls::GetExitCodeProcess(uint32_t process, uint32_t* exitCode) {
    DWORD code = 0;
    const auto ok = TARVEIL_BIND(GetExitCodeProcess)(FromValue<HANDLE>(process), &code);
    if (!ok) return false;
    if (exitCode) *exitCode = code;
    return *ok != FALSE;
}

bool Win32SystemCalls::OpenProcessToken(uint32_t process, uint32_t desiredAccess, SystemHandle* token) {
    HANDLE handle = nullptr;
    const auto ok = TARVEIL_BIND(OpenProcessToken)(FromValue<HANDLE>(process), desiredAccess, &handle);
    if (!ok) return false;
    if (token) token->Reset(ToValue(handle));
    return *ok != FALSE;
}

bool Win32SystemCalls::LookupPrivilegeValueA(const char* systemName, const char* name, uint64_t* luid) {
    LUID value;
    std::memset(&value, 0, sizeof value);
    const auto ok = TARVEIL_BIND(LookupPrivilegeValueA)(systemName, name, &value);
    if (!ok) return false;
    if (luid) *luid = FromSdk(value);
    return *ok != FALSE;
}

bool Win32SystemCalls::AdjustTokenPrivileges(uint32_t token, bool disableAll, const TokenPrivilegesRecord* newState,
                                             uint32_t bufferLength, TokenPrivilegesRecord* previousState,
                                             uint32_t* returnLength) {
    SdkTokenPrivileges<TokenPrivilegesRecord::kRoom> in, out;
    // The system reads the entries the count names, and writes up to bufferLength bytes: neither may go past the
    // records.
    if ((newState && !ToSdk(*newState, &in)) || (previousState && bufferLength > sizeof out)) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    out = {};
    DWORD length = 0;
    const auto ok = TARVEIL_BIND(AdjustTokenPrivileges)(FromValue<HANDLE>(token), disableAll ? TRUE : FALSE,
                                                        newState ? in.Get() : nullptr, bufferLength,
                                                        previousState ? out.Get() : nullptr,
                                                        returnLength ? &length : nullptr);
    if (!ok) return false;
    if (previousState) FromSdk(out, previousState);
    if (returnLength) *returnLength = length;
    return *ok != FALSE;
}

bool Win32SystemCalls::GetTokenInformation(uint32_t token, uint32_t infoClass, TokenPrivilegesList* info,
                                           uint32_t length, uint32_t* returnLength) {
    SdkTokenPrivileges<TokenPrivilegesList::kRoom> list = {};
    if (infoClass != static_cast<uint32_t>(TokenPrivileges) || length > sizeof list) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    DWORD written = 0;
    const auto ok = TARVEIL_BIND(GetTokenInformation)(FromValue<HANDLE>(token), TokenPrivileges,
                                                      info ? list.Get() : nullptr, length, &written);
    if (!ok) return false;
    if (info) FromSdk(list, info);
    if (returnLength) *returnLength = written;
    return *ok != FALSE;
}

bool Win32SystemCalls::IsPwrHibernateAllowed(bool* allowed) {
    const auto answer = TARVEIL_BIND(IsPwrHibernateAllowed)();
    if (!answer) return false;
    // A BOOLEAN, one byte: only the low byte of the return register is the answer.
    if (allowed) *allowed = *answer != FALSE;
    return true;
}

bool Win32SystemCalls::ExitWindowsEx(uint32_t flags, uint32_t reason) {
    return TARVEIL_BIND(ExitWindowsEx)(flags, reason).value_or(FALSE) != FALSE;
}

uint32_t Win32SystemCalls::GetDesktopWindow() {
    return ToValue(TARVEIL_BIND(GetDesktopWindow)().value_or(nullptr));
}

uint32_t Win32SystemCalls::GetDC(uint32_t window) {
    return ToValue(TARVEIL_BIND(GetDC)(FromValue<HWND>(window)).value_or(nullptr));
}

int Win32SystemCalls::ReleaseDC(uint32_t window, uint32_t dc) {
    return TARVEIL_BIND(ReleaseDC)(FromValue<HWND>(window), FromValue<HDC>(dc)).value_or(0);
}

bool Win32SystemCalls::BitBlt(uint32_t destDC, int x, int y, int width, int height, uint32_t srcDC, int srcX, int srcY,
                              uint32_t rop) {
    return TARVEIL_BIND(BitBlt)(FromValue<HDC>(destDC), x, y, width, height, FromValue<HDC>(srcDC), srcX, srcY, rop)
               .value_or(FALSE) != FALSE;
}
