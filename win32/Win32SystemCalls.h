// SystemCalls for real: each function is looked up by library and entry name (BoundFunctions.h) on first use,
// so a function missing from the running Windows makes that call fail instead of the program not starting.
#pragma once

#include <cstdint>

#include "platform/SystemCalls.h"
#include "win32/BoundFunctions.h"

class Win32SystemCalls : public SystemCalls {
public:
    // Binds through `table`: the program's own (SystemFunctions()), or one a test made with other names.
    explicit Win32SystemCalls(BoundFunctionTable& table = SystemFunctions()) : table_(table) {}
    Win32SystemCalls(const Win32SystemCalls&) = delete;
    Win32SystemCalls& operator=(const Win32SystemCalls&) = delete;

    SystemAnswer Shell_NotifyIconA(uint32_t message, const NotifyIconRecord* data) override;

    uint32_t GetCurrentProcess() override;
    SystemAnswer CloseHandle(uint32_t handle) override;
    SystemAnswer SetSystemPowerState(bool suspend, bool force) override;
    SystemAnswer GetSystemDirectoryUtf8(char* buf, uint32_t cap) override;
    SystemAnswer CreateProcessUtf8(const char* applicationUtf8, const char* commandLineUtf8, uint16_t showWindow,
                                   SystemHandle* process) override;
    SystemAnswer WaitForSingleObject(uint32_t handle, uint32_t milliseconds) override;
    SystemAnswer GetExitCodeProcess(uint32_t process, uint32_t* exitCode) override;
    SystemAnswer SetThreadExecutionState(uint32_t flags) override;
    SystemAnswer CreateWaitableTimerW(bool manualReset, SystemHandle* timer) override;
    SystemAnswer SetWaitableTimer(uint32_t timer, int64_t dueTime, int32_t period, bool resume) override;
    SystemAnswer CancelWaitableTimer(uint32_t timer) override;
    SystemAnswer LocalFree(uint32_t memory) override;

    SystemAnswer OpenProcessToken(uint32_t process, uint32_t desiredAccess, SystemHandle* token) override;
    SystemAnswer LookupPrivilegeValueA(const char* systemName, const char* name, uint64_t* luid) override;
    SystemAnswer AdjustTokenPrivileges(uint32_t token, bool disableAll, const TokenPrivilegesRecord* newState,
                                       uint32_t bufferLength, TokenPrivilegesRecord* previousState,
                                       uint32_t* returnLength) override;
    SystemAnswer GetTokenInformation(uint32_t token, uint32_t infoClass, TokenPrivilegesList* info, uint32_t length,
                                     uint32_t* returnLength) override;

    SystemAnswer IsPwrHibernateAllowed(bool* allowed) override;
    SystemAnswer PowerGetActiveScheme(uint32_t* scheme) override;
    SystemAnswer PowerReadACValueIndex(uint32_t scheme, const PowerGuid* subgroup, const PowerGuid* setting,
                                       uint32_t* index) override;
    SystemAnswer PowerReadDCValueIndex(uint32_t scheme, const PowerGuid* subgroup, const PowerGuid* setting,
                                       uint32_t* index) override;
    SystemAnswer CallNtPowerInformation(uint32_t level, PowerCapabilitiesRecord* capabilities,
                                        uint32_t length) override;

    SystemAnswer ExitWindowsEx(uint32_t flags, uint32_t reason) override;
    uint32_t GetDesktopWindow() override;
    SystemAnswer GetDC(uint32_t window) override;
    SystemAnswer ReleaseDC(uint32_t window, uint32_t dc) override;

    SystemAnswer BitBlt(uint32_t destDC, int x, int y, int width, int height, uint32_t srcDC, int srcX, int srcY,
                        uint32_t rop) override;

private:
    BoundFunctionTable& table_;
};
