// SystemCalls bound at run time, from the system folder, through BoundFunctions: each method converts the core's
// values and records (SdkRecords.h), calls the function, and converts back, the error with the answer.
#include "win32/Win32SystemCalls.h"

#include <windows.h>
#include <shellapi.h>

#include <cstring>

#include "win32/SdkRecords.h"
#include "win32/WideText.h"

namespace {

// A BOOL function's answer: TRUE as 1, FALSE as 0, with its error.
SystemAnswer Answer(const BoundAnswer<BOOL>& called) {
    return {called.value != FALSE ? 1u : 0u, called.error};
}

// Any other function's: its value as the core holds it, with its error.
template <typename R>
SystemAnswer Answer(const BoundAnswer<R>& called, uint32_t value) {
    return {value, called.error};
}

// Refused before any call: nothing reached the system.
constexpr SystemAnswer Refused(uint32_t error) {
    return {0, error};
}

// A function that returns its error code (ERROR_SUCCESS) or its NTSTATUS (STATUS_SUCCESS): 0 as 1, any other code as
// 0 with that code for its error.
template <typename R>
SystemAnswer CodeAnswer(const BoundAnswer<R>& called) {
    if (!called.found) return Refused(called.error);
    return {called.value == 0 ? 1u : 0u, static_cast<uint32_t>(called.value)};
}

// The failure value of a function that answers with its error code, the answer where this Windows lacks it.
constexpr DWORD kNoCode = ERROR_INVALID_FUNCTION;

template <BoundFunction F>
SystemAnswer ReadValueIndex(BoundFunctionTable& table, uint32_t scheme, const PowerGuid* subgroup,
                            const PowerGuid* setting, uint32_t* index) {
    if (subgroup == nullptr || setting == nullptr) return Refused(ERROR_INVALID_PARAMETER);
    const GUID sdkSubgroup = ToSdk(*subgroup), sdkSetting = ToSdk(*setting);
    DWORD value = 0;
    const SystemAnswer answer = CodeAnswer(CallBound<F, LastError::Never>(
        table, kNoCode, static_cast<HKEY>(nullptr), FromValue<const GUID*>(scheme), &sdkSubgroup, &sdkSetting, &value));
    if (answer && index) *index = value;
    return answer;
}

}  // namespace

SystemAnswer Win32SystemCalls::Shell_NotifyIconA(uint32_t message, const NotifyIconRecord* data) {
    if (data == nullptr) return Refused(ERROR_INVALID_PARAMETER);
    NOTIFYICONDATAA record = ToSdk(*data);
    return Answer(CallBound<kShell_NotifyIconA>(table_, FALSE, message, &record));
}

uint32_t Win32SystemCalls::GetCurrentProcess() {
    return ToValue(CallBound<kGetCurrentProcess>(table_, nullptr).value);
}

SystemAnswer Win32SystemCalls::CloseHandle(uint32_t handle) {
    return Answer(CallBound<kCloseHandle>(table_, FALSE, FromValue<HANDLE>(handle)));
}

SystemAnswer Win32SystemCalls::SetSystemPowerState(bool suspend, bool force) {
    return Answer(CallBound<kSetSystemPowerState>(table_, FALSE, suspend ? TRUE : FALSE, force ? TRUE : FALSE));
}

SystemAnswer Win32SystemCalls::GetSystemDirectoryUtf8(char* buf, uint32_t cap) {
    // The system folder's path fits MAX_PATH on every Windows this program runs on.
    wchar_t wide[MAX_PATH + 1];
    const auto called = CallBound<kGetSystemDirectoryW>(table_, 0u, wide, MAX_PATH + 1);
    const UINT n = called.value;
    if (n == 0) return Answer(called, 0);
    if (n > MAX_PATH) return Refused(ERROR_INSUFFICIENT_BUFFER);
    const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(n), nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return Refused(::GetLastError());
    // As the system does: the size needed, terminator included, when the buffer is too small.
    if (!buf || static_cast<uint32_t>(bytes) + 1 > cap) return {static_cast<uint32_t>(bytes) + 1, 0};
    ::WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(n), buf, bytes, nullptr, nullptr);
    buf[bytes] = '\0';
    return {static_cast<uint32_t>(bytes), 0};
}

SystemAnswer Win32SystemCalls::CreateProcessUtf8(const char* applicationUtf8, const char* commandLineUtf8,
                                                 uint16_t showWindow, SystemHandle* process) {
    // CreateProcessW may write into the command line: it gets a converted copy of its own.
    WideText application(applicationUtf8 ? applicationUtf8 : "");
    WideText commandLine(commandLineUtf8 ? commandLineUtf8 : "");
    if (!application.ok() || !commandLine.ok()) return Refused(ERROR_NO_UNICODE_TRANSLATION);

    STARTUPINFOW startup;
    std::memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = showWindow;
    PROCESS_INFORMATION started;
    std::memset(&started, 0, sizeof started);
    const auto called = CallBound<kCreateProcessW>(table_, FALSE, applicationUtf8 ? application.c_str() : nullptr,
                                                   commandLineUtf8 ? commandLine.data() : nullptr, nullptr, nullptr,
                                                   FALSE, 0, nullptr, nullptr, &startup, &started);
    if (!called.value) return Answer(called);
    // The thread is never waited for, and goes first; the process goes to the caller, or with the thread.
    SystemHandle unwatched(*this);
    SystemHandle thread(*this);
    thread.Reset(ToValue(started.hThread));
    (process ? *process : unwatched).Reset(ToValue(started.hProcess));
    return {1, 0};
}

SystemAnswer Win32SystemCalls::SetThreadExecutionState(uint32_t flags) {
    const auto called = CallBound<kSetThreadExecutionState>(table_, 0u, flags);
    return Answer(called, called.value);
}

SystemAnswer Win32SystemCalls::CreateWaitableTimerW(bool manualReset, SystemHandle* timer) {
    const auto called = CallBound<kCreateWaitableTimerW>(table_, nullptr, nullptr, manualReset ? TRUE : FALSE, nullptr);
    if (called.value == nullptr) return Answer(called, 0);
    SystemHandle unused(*this);
    (timer ? *timer : unused).Reset(ToValue(called.value));
    return {1, 0};
}

SystemAnswer Win32SystemCalls::SetWaitableTimer(uint32_t timer, int64_t dueTime, int32_t period, bool resume) {
    LARGE_INTEGER due;
    due.QuadPart = dueTime;
    // Its error whatever the answer: a success that cannot wake the computer says so there.
    return Answer(CallBound<kSetWaitableTimer, LastError::ClearedFirst>(
        table_, FALSE, FromValue<HANDLE>(timer), &due, period, nullptr, nullptr, resume ? TRUE : FALSE));
}

SystemAnswer Win32SystemCalls::CancelWaitableTimer(uint32_t timer) {
    return Answer(CallBound<kCancelWaitableTimer>(table_, FALSE, FromValue<HANDLE>(timer)));
}

SystemAnswer Win32SystemCalls::LocalFree(uint32_t memory) {
    // It hands the memory back when it fails, and NULL once freed: the memory given is its failure value.
    const auto called = CallBound<kLocalFree>(table_, FromValue<HLOCAL>(memory), FromValue<HLOCAL>(memory));
    if (!called.found || called.value != nullptr) return Refused(called.error);
    return {1, 0};
}

SystemAnswer Win32SystemCalls::WaitForSingleObject(uint32_t handle, uint32_t milliseconds) {
    const auto called = CallBound<kWaitForSingleObject>(table_, WAIT_FAILED, FromValue<HANDLE>(handle), milliseconds);
    return Answer(called, called.value);
}

SystemAnswer Win32SystemCalls::GetExitCodeProcess(uint32_t process, uint32_t* exitCode) {
    DWORD code = 0;
    const auto called = CallBound<kGetExitCodeProcess>(table_, FALSE, FromValue<HANDLE>(process), &code);
    if (called.found && exitCode) *exitCode = code;
    return Answer(called);
}

SystemAnswer Win32SystemCalls::OpenProcessToken(uint32_t process, uint32_t desiredAccess, SystemHandle* token) {
    HANDLE handle = nullptr;
    const auto called = CallBound<kOpenProcessToken>(table_, FALSE, FromValue<HANDLE>(process), desiredAccess, &handle);
    if (called.found && token) token->Reset(ToValue(handle));
    return Answer(called);
}

SystemAnswer Win32SystemCalls::LookupPrivilegeValueA(const char* systemName, const char* name, uint64_t* luid) {
    LUID value;
    std::memset(&value, 0, sizeof value);
    const auto called = CallBound<kLookupPrivilegeValueA>(table_, FALSE, systemName, name, &value);
    if (called.found && luid) *luid = FromSdk(value);
    return Answer(called);
}

SystemAnswer Win32SystemCalls::AdjustTokenPrivileges(uint32_t token, bool disableAll,
                                                     const TokenPrivilegesRecord* newState, uint32_t bufferLength,
                                                     TokenPrivilegesRecord* previousState, uint32_t* returnLength) {
    SdkTokenPrivileges<TokenPrivilegesRecord::kRoom> in, out;
    // The system reads the entries the count names, and writes up to bufferLength bytes: neither may go past the
    // records.
    if ((newState && !ToSdk(*newState, &in)) || (previousState && bufferLength > sizeof out)) {
        return Refused(ERROR_INVALID_PARAMETER);
    }
    out = {};
    DWORD length = 0;
    // Its error whatever the answer: a success that enabled not every privilege asked for says so there.
    const auto called = CallBound<kAdjustTokenPrivileges, LastError::Always>(table_, FALSE, FromValue<HANDLE>(token),
                                                          disableAll ? TRUE : FALSE, newState ? in.Get() : nullptr,
                                                          bufferLength, previousState ? out.Get() : nullptr,
                                                          returnLength ? &length : nullptr);
    if (called.found) {
        if (previousState) FromSdk(out, previousState);
        if (returnLength) *returnLength = length;
    }
    return Answer(called);
}

SystemAnswer Win32SystemCalls::GetTokenInformation(uint32_t token, uint32_t infoClass, TokenPrivilegesList* info,
                                                   uint32_t length, uint32_t* returnLength) {
    SdkTokenPrivileges<TokenPrivilegesList::kRoom> list = {};
    if (infoClass != static_cast<uint32_t>(TokenPrivileges) || length > sizeof list) {
        return Refused(ERROR_INVALID_PARAMETER);
    }
    DWORD written = 0;
    const auto called = CallBound<kGetTokenInformation>(table_, FALSE, FromValue<HANDLE>(token), TokenPrivileges,
                                                        info ? list.Get() : nullptr, length, &written);
    if (called.found) {
        if (info) FromSdk(list, info);
        if (returnLength) *returnLength = written;
    }
    return Answer(called);
}

SystemAnswer Win32SystemCalls::IsPwrHibernateAllowed(bool* allowed) {
    const auto called = CallBound<kIsPwrHibernateAllowed>(table_, FALSE);
    if (!called.found) return Answer(called, 0);
    // A BOOLEAN, one byte: only the low byte of the return register is the answer.
    if (allowed) *allowed = called.value != FALSE;
    return {1, 0};
}

SystemAnswer Win32SystemCalls::PowerGetActiveScheme(uint32_t* scheme) {
    // The system allocates the GUID: only a caller that takes it, to give it back, may ask.
    if (scheme == nullptr) return Refused(ERROR_INVALID_PARAMETER);
    GUID* active = nullptr;
    const SystemAnswer answer =
        CodeAnswer(CallBound<kPowerGetActiveScheme, LastError::Never>(table_, kNoCode, static_cast<HKEY>(nullptr), &active));
    if (answer) *scheme = ToValue(active);
    return answer;
}

SystemAnswer Win32SystemCalls::PowerReadACValueIndex(uint32_t scheme, const PowerGuid* subgroup,
                                                     const PowerGuid* setting, uint32_t* index) {
    return ReadValueIndex<kPowerReadACValueIndex>(table_, scheme, subgroup, setting, index);
}

SystemAnswer Win32SystemCalls::PowerReadDCValueIndex(uint32_t scheme, const PowerGuid* subgroup,
                                                     const PowerGuid* setting, uint32_t* index) {
    return ReadValueIndex<kPowerReadDCValueIndex>(table_, scheme, subgroup, setting, index);
}

SystemAnswer Win32SystemCalls::CallNtPowerInformation(uint32_t level, PowerCapabilitiesRecord* capabilities,
                                                      uint32_t length) {
    SYSTEM_POWER_CAPABILITIES sdk;
    if (level != static_cast<uint32_t>(SystemPowerCapabilities) || length != sizeof sdk || capabilities == nullptr) {
        return Refused(ERROR_INVALID_PARAMETER);
    }
    std::memset(&sdk, 0, sizeof sdk);
    const SystemAnswer answer = CodeAnswer(CallBound<kCallNtPowerInformation, LastError::Never>(
        table_, static_cast<LONG>(kNoCode), SystemPowerCapabilities, nullptr, 0ul, &sdk, static_cast<ULONG>(sizeof sdk)));
    if (answer) *capabilities = FromSdk(sdk);
    return answer;
}

SystemAnswer Win32SystemCalls::ExitWindowsEx(uint32_t flags, uint32_t reason) {
    return Answer(CallBound<kExitWindowsEx>(table_, FALSE, flags, reason));
}

uint32_t Win32SystemCalls::GetDesktopWindow() {
    return ToValue(CallBound<kGetDesktopWindow>(table_, nullptr).value);
}

SystemAnswer Win32SystemCalls::GetDC(uint32_t window) {
    const auto called = CallBound<kGetDC>(table_, nullptr, FromValue<HWND>(window));
    return Answer(called, ToValue(called.value));
}

SystemAnswer Win32SystemCalls::ReleaseDC(uint32_t window, uint32_t dc) {
    const auto called = CallBound<kReleaseDC>(table_, 0, FromValue<HWND>(window), FromValue<HDC>(dc));
    return Answer(called, static_cast<uint32_t>(called.value));
}

SystemAnswer Win32SystemCalls::BitBlt(uint32_t destDC, int x, int y, int width, int height, uint32_t srcDC, int srcX,
                                      int srcY, uint32_t rop) {
    return Answer(CallBound<kBitBlt>(table_, FALSE, FromValue<HDC>(destDC), x, y, width, height, FromValue<HDC>(srcDC),
                                     srcX, srcY, rop));
}
