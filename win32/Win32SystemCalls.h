// SystemCalls for real: each function is looked up by library and entry name (BoundFunctions.h) on first use,
// so a function missing from the running Windows makes that call fail instead of the program not starting.
#pragma once

#include <cstdint>

// <windows.h>, when included first, turns these two method names into their A/W forms.
#undef GetSystemDirectory
#undef CreateProcess

#include "platform/SystemCalls.h"
#include "win32/BoundFunctions.h"

class Win32SystemCalls : public SystemCalls {
public:
    // Binds through `table`: the program's own (SystemFunctions()), or one a test made with other names.
    explicit Win32SystemCalls(BoundFunctionTable& table = SystemFunctions()) : table_(table) {}
    Win32SystemCalls(const Win32SystemCalls&) = delete;
    Win32SystemCalls& operator=(const Win32SystemCalls&) = delete;

    bool Shell_NotifyIconA(uint32_t message, const NotifyIconRecord* data) override;

    uint32_t GetCurrentProcess() override;
    bool CloseHandle(uint32_t handle) override;
    uint32_t GetLastError() override;
    bool SetSystemPowerState(bool suspend, bool force) override;
    uint32_t GetSystemDirectory(char* buf, uint32_t cap) override;
    bool CreateProcess(const char* applicationUtf8, const char* commandLineUtf8, uint16_t showWindow,
                       SystemHandle* process) override;
    uint32_t WaitForSingleObject(uint32_t handle, uint32_t milliseconds) override;
    bool GetExitCodeProcess(uint32_t process, uint32_t* exitCode) override;
    uint32_t SetThreadExecutionState(uint32_t flags) override;
    bool CreateWaitableTimerW(bool manualReset, SystemHandle* timer) override;
    bool SetWaitableTimer(uint32_t timer, int64_t dueTime, int32_t period, bool resume) override;
    bool CancelWaitableTimer(uint32_t timer) override;

    bool OpenProcessToken(uint32_t process, uint32_t desiredAccess, SystemHandle* token) override;
    bool LookupPrivilegeValueA(const char* systemName, const char* name, uint64_t* luid) override;
    bool AdjustTokenPrivileges(uint32_t token, bool disableAll, const TokenPrivilegesRecord* newState,
                               uint32_t bufferLength, TokenPrivilegesRecord* previousState,
                               uint32_t* returnLength) override;
    bool GetTokenInformation(uint32_t token, uint32_t infoClass, TokenPrivilegesList* info, uint32_t length,
                             uint32_t* returnLength) override;

    bool IsPwrHibernateAllowed(bool* allowed) override;

    bool ExitWindowsEx(uint32_t flags, uint32_t reason) override;
    uint32_t GetDesktopWindow() override;
    uint32_t GetDC(uint32_t window) override;
    int ReleaseDC(uint32_t window, uint32_t dc) override;

    bool BitBlt(uint32_t destDC, int x, int y, int width, int height, uint32_t srcDC, int srcX, int srcY,
                uint32_t rop) override;

private:
    BoundFunctionTable& table_;
};
