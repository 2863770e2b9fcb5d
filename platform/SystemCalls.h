// The named system functions the program calls with exact values. Each method mirrors one Win32
// function; the Win32 side binds it by library and entry name on first use, the tests record it.
#pragma once

#include <cstdint>

// <windows.h> maps these names to their A/W forms; the methods below must keep one name everywhere.
#undef GetSystemDirectory
#undef CreateProcess

// SetThreadExecutionState's flags: keep the system out of idle sleep until told otherwise (the display may still
// turn off), and the call that takes that back.
constexpr uint32_t kEsContinuous = 0x80000000;
constexpr uint32_t kEsSystemRequired = 0x00000001;

class SystemCalls {
public:
    virtual ~SystemCalls() = default;

    // shell32
    // data points at an 88-byte NOTIFYICONDATAA record.
    virtual bool Shell_NotifyIconA(uint32_t message, const uint8_t* data) = 0;

    // kernel32
    virtual uint32_t GetCurrentProcess() = 0;
    virtual bool CloseHandle(uint32_t handle) = 0;
    virtual uint32_t GetLastError() = 0;
    virtual bool SetSystemPowerState(bool suspend, bool force) = 0;
    // Fills buf with the system directory as UTF-8; returns the length, 0 on failure.
    virtual uint32_t GetSystemDirectory(char* buf, uint32_t cap) = 0;
    // Starts a program without waiting for it. applicationUtf8 is the full path of the program,
    // commandLineUtf8 the whole command line; showWindow goes to STARTUPINFO.wShowWindow. The thread handle is
    // closed at once; the process handle is given back in *process for the caller to watch and close, or closed
    // at once when process is null.
    virtual bool CreateProcess(const char* applicationUtf8, const char* commandLineUtf8, uint16_t showWindow,
                               uint32_t* process) = 0;
    // The result: 0 (WAIT_OBJECT_0) signalled, 0x102 (WAIT_TIMEOUT) not yet, 0xFFFFFFFF (WAIT_FAILED).
    virtual uint32_t WaitForSingleObject(uint32_t handle, uint32_t milliseconds) = 0;
    // *exitCode is 259 (STILL_ACTIVE) while the process runs.
    virtual bool GetExitCodeProcess(uint32_t process, uint32_t* exitCode) = 0;
    // The calling thread's execution state; returns the previous one, 0 on failure.
    virtual uint32_t SetThreadExecutionState(uint32_t flags) = 0;

    // advapi32
    virtual bool OpenProcessToken(uint32_t process, uint32_t desiredAccess, uint32_t* token) = 0;
    virtual bool LookupPrivilegeValueA(const char* systemName, const char* name, uint64_t* luid) = 0;
    // newState and previousState point at TOKEN_PRIVILEGES records laid out as bytes.
    virtual bool AdjustTokenPrivileges(uint32_t token, bool disableAll, const uint8_t* newState,
                                       uint32_t bufferLength, uint8_t* previousState, uint32_t* returnLength) = 0;
    // info receives the record of infoClass laid out as bytes (for TokenPrivileges, a TOKEN_PRIVILEGES record);
    // *returnLength the size written, or the size needed when length was too small.
    virtual bool GetTokenInformation(uint32_t token, uint32_t infoClass, uint8_t* info, uint32_t length,
                                     uint32_t* returnLength) = 0;

    // powrprof
    // Asks IsPwrHibernateAllowed. False when the function cannot be had (no powrprof.dll, or no such entry in it),
    // *allowed then left as it was, so that the caller decides what that means; otherwise true, the answer in *allowed.
    virtual bool IsPwrHibernateAllowed(bool* allowed) = 0;

    // user32
    virtual bool ExitWindowsEx(uint32_t flags, uint32_t reason) = 0;
    virtual uint32_t GetDesktopWindow() = 0;
    virtual uint32_t GetDC(uint32_t window) = 0;
    virtual int ReleaseDC(uint32_t window, uint32_t dc) = 0;

    // gdi32
    virtual bool BitBlt(uint32_t destDC, int x, int y, int width, int height, uint32_t srcDC, int srcX, int srcY,
                        uint32_t rop) = 0;
};
