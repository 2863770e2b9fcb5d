// SystemCalls bound at run time (from the system folder, through BoundFunctions), with the byte layouts the
// portable core uses checked against <windows.h>.
#include "win32/Win32SystemCalls.h"

#include <windows.h>
#include <powrprof.h>
#include <shellapi.h>
// <windows.h> maps these names to their A/W forms; here they are the SystemCalls methods.
#undef GetSystemDirectory
#undef CreateProcess

#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "win32/WideText.h"
#include "power/Reboot.h"
#include "power/TokenPrivileges.h"
#include "shell/TrayRecord.h"

// The core hands handles and records over as 32-bit values and raw bytes; these hold on the target.
static_assert(sizeof(HANDLE) == 4 && sizeof(HWND) == 4 && sizeof(HDC) == 4, "32-bit Windows only");
static_assert(sizeof(LUID_AND_ATTRIBUTES) == kLuidAndAttributesSize, "LUID_AND_ATTRIBUTES size");
static_assert(offsetof(LUID_AND_ATTRIBUTES, Luid) + offsetof(LUID, LowPart) == kLuidLowOffset, "LUID low");
static_assert(offsetof(LUID_AND_ATTRIBUTES, Luid) + offsetof(LUID, HighPart) == kLuidHighOffset, "LUID high");
static_assert(offsetof(LUID_AND_ATTRIBUTES, Attributes) == kLuidAttributesOffset, "attributes offset");
static_assert(offsetof(TOKEN_PRIVILEGES, PrivilegeCount) == kTokenPrivilegesCountOffset, "count offset");
static_assert(offsetof(TOKEN_PRIVILEGES, Privileges) == kTokenPrivilegesEntriesOffset, "entries offset");
static_assert(sizeof(TOKEN_PRIVILEGES) == TokenPrivilegesLength(1) && TokenPrivilegesLength(1) == 16,
              "TOKEN_PRIVILEGES with one entry");
static_assert(kTokenPrivilegesRecordSize == TokenPrivilegesLength(2), "record holds two entries");
static_assert((TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY) == (kTokenAdjustPrivileges | kTokenQuery), "access");
static_assert(SE_PRIVILEGE_ENABLED == kSePrivilegeEnabled, "SE_PRIVILEGE_ENABLED");
static_assert(ERROR_NOT_ALL_ASSIGNED == kErrorNotAllAssigned, "ERROR_NOT_ALL_ASSIGNED");
static_assert(SE_PRIVILEGE_REMOVED == kSePrivilegeRemoved, "SE_PRIVILEGE_REMOVED");
static_assert(TokenPrivileges == kTokenPrivilegesClass, "TokenPrivileges information class");
static_assert(ES_CONTINUOUS == kEsContinuous && ES_SYSTEM_REQUIRED == kEsSystemRequired, "execution state flags");
static_assert((EWX_SHUTDOWN | EWX_FORCE | EWX_POWEROFF) == 13, "power-off flags");
static_assert(SW_SHOWMINIMIZED == 2 && MAX_PATH == 260, "show style and path size");
static_assert(WAIT_OBJECT_0 == kWaitObject0 && WAIT_TIMEOUT == kWaitTimeout && WAIT_FAILED == kWaitFailed &&
                  STILL_ACTIVE == kStillActive,
              "wait results and the exit code of a running process");
static_assert((EWX_REBOOT | EWX_FORCE) == kEwxRebootForce, "forced restart flags");
static_assert(NOTIFYICONDATAA_V1_SIZE == TrayRecord::kSize, "NOTIFYICONDATAA v1 size");
static_assert(offsetof(NOTIFYICONDATAA, cbSize) == TrayRecord::kOffsetSize &&
                  offsetof(NOTIFYICONDATAA, hWnd) == TrayRecord::kOffsetWnd &&
                  offsetof(NOTIFYICONDATAA, uID) == TrayRecord::kOffsetId &&
                  offsetof(NOTIFYICONDATAA, uFlags) == TrayRecord::kOffsetFlags &&
                  offsetof(NOTIFYICONDATAA, uCallbackMessage) == TrayRecord::kOffsetCallback &&
                  offsetof(NOTIFYICONDATAA, hIcon) == TrayRecord::kOffsetIcon &&
                  offsetof(NOTIFYICONDATAA, szTip) == TrayRecord::kOffsetTip &&
                  sizeof(NOTIFYICONDATAA::szTip) >= TrayRecord::kTipSize &&
                  NOTIFYICONDATAA_V1_SIZE == TrayRecord::kOffsetTip + TrayRecord::kTipSize,
              "NOTIFYICONDATAA v1 offsets");
static_assert(NIM_ADD == kNimAdd && NIM_DELETE == kNimDelete, "icon messages");
static_assert((NIF_MESSAGE | NIF_ICON | NIF_TIP) == kTrayFlags && WM_MOUSEMOVE == kTrayCallbackMessage &&
                  WM_LBUTTONDOWN == kWmLButtonDown,
              "icon flags and callback messages");

namespace {

template <typename T>
T FromValue(uint32_t value) {
    return reinterpret_cast<T>(static_cast<uintptr_t>(value));
}

template <typename T>
uint32_t ToValue(T handle) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(handle));
}

}  // namespace

#define TARVEIL_BIND(fn, api) reinterpret_cast<decltype(&::api)>(table_.Address(fn))

bool Win32SystemCalls::Shell_NotifyIconA(uint32_t message, const uint8_t* data) {
    auto fn = TARVEIL_BIND(kShellNotifyIconA, Shell_NotifyIconA);
    if (!fn || !data) return false;
    // Copied into a properly aligned record; cbSize inside says how much of it the shell reads.
    NOTIFYICONDATAA record;
    std::memset(&record, 0, sizeof record);
    std::memcpy(&record, data, NOTIFYICONDATAA_V1_SIZE);
    return fn(message, &record) != FALSE;
}

uint32_t Win32SystemCalls::GetCurrentProcess() {
    auto fn = TARVEIL_BIND(kGetCurrentProcess, GetCurrentProcess);
    return fn ? ToValue(fn()) : 0;
}

bool Win32SystemCalls::CloseHandle(uint32_t handle) {
    auto fn = TARVEIL_BIND(kCloseHandle, CloseHandle);
    return fn && fn(FromValue<HANDLE>(handle)) != FALSE;
}

uint32_t Win32SystemCalls::GetLastError() {
    auto fn = TARVEIL_BIND(kGetLastError, GetLastError);
    // Without the function, say so rather than pretend success (0).
    return fn ? fn() : ERROR_PROC_NOT_FOUND;
}

bool Win32SystemCalls::SetSystemPowerState(bool suspend, bool force) {
    auto fn = TARVEIL_BIND(kSetSystemPowerState, SetSystemPowerState);
    return fn && fn(suspend ? TRUE : FALSE, force ? TRUE : FALSE) != FALSE;
}

uint32_t Win32SystemCalls::GetSystemDirectory(char* buf, uint32_t cap) {
    auto fn = TARVEIL_BIND(kGetSystemDirectoryW, GetSystemDirectoryW);
    if (!fn) return 0;
    // The system folder's path fits MAX_PATH on every Windows this program runs on.
    wchar_t wide[MAX_PATH + 1];
    const UINT n = fn(wide, MAX_PATH + 1);
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
                                     uint32_t* process) {
    if (process) *process = 0;
    auto fn = TARVEIL_BIND(kCreateProcessW, CreateProcessW);
    if (!fn) return false;
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

    if (!fn(applicationUtf8 ? application.c_str() : nullptr, commandLineUtf8 ? commandLine.data() : nullptr, nullptr,
            nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
        return false;
    }
    // The thread is never waited for. A failed close leaves nothing the program could do, so it is not acted on.
    (void)CloseHandle(ToValue(started.hThread));
    if (process) {
        *process = ToValue(started.hProcess);
    } else {
        (void)CloseHandle(ToValue(started.hProcess));
    }
    return true;
}

uint32_t Win32SystemCalls::SetThreadExecutionState(uint32_t flags) {
    auto fn = TARVEIL_BIND(kSetThreadExecutionState, SetThreadExecutionState);
    return fn ? fn(flags) : 0;
}

uint32_t Win32SystemCalls::WaitForSingleObject(uint32_t handle, uint32_t milliseconds) {
    auto fn = TARVEIL_BIND(kWaitForSingleObject, WaitForSingleObject);
    return fn ? fn(FromValue<HANDLE>(handle), milliseconds) : WAIT_FAILED;
}

bool Win32SystemCalls::GetExitCodeProcess(uint32_t process, uint32_t* exitCode) {
    auto fn = TARVEIL_BIND(kGetExitCodeProcess, GetExitCodeProcess);
    if (!fn) return false;
    DWORD code = 0;
    const BOOL ok = fn(FromValue<HANDLE>(process), &code);
    if (exitCode) *exitCode = code;
    return ok != FALSE;
}

bool Win32SystemCalls::OpenProcessToken(uint32_t process, uint32_t desiredAccess, uint32_t* token) {
    auto fn = TARVEIL_BIND(kOpenProcessToken, OpenProcessToken);
    if (!fn) return false;
    HANDLE handle = nullptr;
    const BOOL ok = fn(FromValue<HANDLE>(process), desiredAccess, &handle);
    if (token) *token = ToValue(handle);
    return ok != FALSE;
}

bool Win32SystemCalls::LookupPrivilegeValueA(const char* systemName, const char* name, uint64_t* luid) {
    auto fn = TARVEIL_BIND(kLookupPrivilegeValueA, LookupPrivilegeValueA);
    if (!fn) return false;
    LUID value;
    std::memset(&value, 0, sizeof value);
    const BOOL ok = fn(systemName, name, &value);
    if (luid) *luid = static_cast<uint64_t>(value.LowPart) | static_cast<uint64_t>(static_cast<uint32_t>(value.HighPart)) << 32;
    return ok != FALSE;
}

bool Win32SystemCalls::AdjustTokenPrivileges(uint32_t token, bool disableAll, const uint8_t* newState,
                                             uint32_t bufferLength, uint8_t* previousState, uint32_t* returnLength) {
    auto fn = TARVEIL_BIND(kAdjustTokenPrivileges, AdjustTokenPrivileges);
    if (!fn) return false;
    // The system refuses misaligned records; copy into aligned ones when needed.
    // The records are the two-entry layout of the core (28 bytes): a count above 2 or a previous-state
    // length beyond the record would make the system read or write past them.
    DWORD alignedNew[kTokenPrivilegesRecordSize / 4] = {};
    DWORD alignedPrevious[kTokenPrivilegesRecordSize / 4] = {};
    PTOKEN_PRIVILEGES in = nullptr;
    if (newState) {
        DWORD count;
        std::memcpy(&count, newState, sizeof count);
        if (count > 2) {
            ::SetLastError(ERROR_INVALID_PARAMETER);
            return false;
        }
        std::memcpy(alignedNew, newState, TokenPrivilegesLength(count));
        in = reinterpret_cast<PTOKEN_PRIVILEGES>(alignedNew);
    }
    PTOKEN_PRIVILEGES out = nullptr;
    if (previousState) {
        if (bufferLength > sizeof alignedPrevious) {
            ::SetLastError(ERROR_INVALID_PARAMETER);
            return false;
        }
        std::memcpy(alignedPrevious, previousState, bufferLength);
        out = reinterpret_cast<PTOKEN_PRIVILEGES>(alignedPrevious);
    }
    DWORD length = 0;
    const BOOL ok = fn(FromValue<HANDLE>(token), disableAll ? TRUE : FALSE, in, bufferLength, out,
                       returnLength ? &length : nullptr);
    // Keep the error the call left: the copies below must not change it.
    const DWORD error = ::GetLastError();
    if (previousState) std::memcpy(previousState, alignedPrevious, bufferLength);
    if (returnLength) *returnLength = length;
    ::SetLastError(error);
    return ok != FALSE;
}

bool Win32SystemCalls::GetTokenInformation(uint32_t token, uint32_t infoClass, uint8_t* info, uint32_t length,
                                           uint32_t* returnLength) {
    auto fn = TARVEIL_BIND(kGetTokenInformation, GetTokenInformation);
    if (!fn) return false;
    // Handed over as it is: the core aligns its buffer, as Windows requires (it refuses a misaligned one).
    DWORD written = 0;
    const BOOL ok = fn(FromValue<HANDLE>(token), static_cast<TOKEN_INFORMATION_CLASS>(infoClass), info, length, &written);
    if (returnLength) *returnLength = written;
    return ok != FALSE;
}

bool Win32SystemCalls::IsPwrHibernateAllowed(bool* allowed) {
    auto fn = TARVEIL_BIND(kIsPwrHibernateAllowed, IsPwrHibernateAllowed);
    if (!fn) return false;
    // A BOOLEAN, one byte: only the low byte of the return register is the answer.
    const BOOLEAN answer = fn();
    if (allowed) *allowed = answer != FALSE;
    return true;
}

bool Win32SystemCalls::ExitWindowsEx(uint32_t flags, uint32_t reason) {
    auto fn = TARVEIL_BIND(kExitWindowsEx, ExitWindowsEx);
    return fn && fn(flags, reason) != FALSE;
}

uint32_t Win32SystemCalls::GetDesktopWindow() {
    auto fn = TARVEIL_BIND(kGetDesktopWindow, GetDesktopWindow);
    return fn ? ToValue(fn()) : 0;
}

uint32_t Win32SystemCalls::GetDC(uint32_t window) {
    auto fn = TARVEIL_BIND(kGetDC, GetDC);
    return fn ? ToValue(fn(FromValue<HWND>(window))) : 0;
}

int Win32SystemCalls::ReleaseDC(uint32_t window, uint32_t dc) {
    auto fn = TARVEIL_BIND(kReleaseDC, ReleaseDC);
    return fn ? fn(FromValue<HWND>(window), FromValue<HDC>(dc)) : 0;
}

bool Win32SystemCalls::BitBlt(uint32_t destDC, int x, int y, int width, int height, uint32_t srcDC, int srcX, int srcY,
                              uint32_t rop) {
    auto fn = TARVEIL_BIND(kBitBlt, BitBlt);
    return fn && fn(FromValue<HDC>(destDC), x, y, width, height, FromValue<HDC>(srcDC), srcX, srcY, rop) != FALSE;
}
