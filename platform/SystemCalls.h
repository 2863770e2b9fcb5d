// The named system functions the program calls with exact values. Each method mirrors one Win32 function and takes
// plain values and records of named fields; the Win32 side binds it by library and entry name on first use and
// makes each record the SDK's structure, the tests record it. Every Windows value these calls carry is defined here,
// once, and checked against <windows.h> in one table on the Win32 side (win32/SdkRecords.cpp).
#pragma once

#include <cstdint>

// --- shell32: the notification-area icon ---------------------------------------------------------------------------

// NOTIFYICONDATAA. In its first version (cbSize 88, the icon's own record) the shell reads the fields up to the
// tooltip, a field of 64 characters; in its second (cbSize 488, the size XP's shell takes balloons in) it reads the
// balloon's too. The balloon's texts are UTF-8 here and reach the shell in the ANSI code page. Handles are 32-bit on
// the target.
struct NotifyIconRecord {
    uint32_t cbSize = 0;
    uint32_t hWnd = 0;
    uint32_t uID = 0;
    uint32_t uFlags = 0;
    uint32_t uCallbackMessage = 0;
    uint32_t hIcon = 0;
    char szTip[64] = {};
    char szInfo[256] = {};
    uint32_t uTimeout = 0;
    char szInfoTitle[64] = {};
    uint32_t dwInfoFlags = 0;
};
constexpr uint32_t kNotifyIconDataV1Size = 88;   // NOTIFYICONDATAA_V1_SIZE
constexpr uint32_t kNotifyIconDataV2Size = 488;  // NOTIFYICONDATAA_V2_SIZE
constexpr uint32_t kNimAdd = 0;
constexpr uint32_t kNimModify = 1;
constexpr uint32_t kNimDelete = 2;
constexpr uint32_t kNifMessage = 0x1;
constexpr uint32_t kNifIcon = 0x2;
constexpr uint32_t kNifTip = 0x4;
constexpr uint32_t kNifInfo = 0x10;
constexpr uint32_t kNiifInfo = 0x1;  // the balloon's information icon
// The window messages an icon's callback carries: the one it is sent as, the press that brings the window back, and
// the release that opens the icon's menu.
constexpr uint32_t kWmMouseMove = 0x200;
constexpr int32_t kWmLButtonDown = 0x201;
constexpr int32_t kWmRButtonUp = 0x205;

// --- advapi32: the process token and its privileges ----------------------------------------------------------------

// LUID_AND_ATTRIBUTES.
struct LuidAndAttributes {
    uint64_t Luid = 0;
    uint32_t Attributes = 0;
};
// TOKEN_PRIVILEGES with room for `Room` entries, of which PrivilegeCount are in use.
template <uint32_t Room>
struct TokenPrivilegesOf {
    static constexpr uint32_t kRoom = Room;
    uint32_t PrivilegeCount = 0;
    LuidAndAttributes Privileges[Room] = {};
};
// As AdjustTokenPrivileges is handed it: room for two entries.
using TokenPrivilegesRecord = TokenPrivilegesOf<2>;
// As GetTokenInformation fills it: room for 64 entries, where Windows defines fewer than 40 privileges.
constexpr uint32_t kTokenPrivilegesReadEntries = 64;
using TokenPrivilegesList = TokenPrivilegesOf<kTokenPrivilegesReadEntries>;

// The size of a TOKEN_PRIVILEGES holding `count` entries: the count, then 12 bytes an entry.
constexpr uint32_t TokenPrivilegesLength(uint32_t count) {
    return 4 + 12 * count;
}

constexpr uint32_t kTokenAdjustPrivileges = 0x20;
constexpr uint32_t kTokenQuery = 0x08;
constexpr uint32_t kSePrivilegeEnabled = 0x2;
// A privilege taken out of the token for good: listed, perhaps, but no longer held.
constexpr uint32_t kSePrivilegeRemoved = 0x4;
constexpr uint32_t kErrorNotAllAssigned = 1300;
// TOKEN_INFORMATION_CLASS TokenPrivileges: GetTokenInformation lists every privilege of the token.
constexpr uint32_t kTokenPrivilegesClass = 3;
constexpr const char* kShutdownPrivilegeName = "SeShutdownPrivilege";  // SE_SHUTDOWN_NAME

// --- kernel32 ------------------------------------------------------------------------------------------------------

constexpr uint32_t kMaxPath = 260;
constexpr uint16_t kSwShowMinimized = 2;
// What WaitForSingleObject answers, and the exit code of a process that still runs.
constexpr uint32_t kWaitObject0 = 0;
constexpr uint32_t kWaitTimeout = 0x102;
constexpr uint32_t kWaitFailed = 0xFFFFFFFF;
constexpr uint32_t kStillActive = 259;
// SetThreadExecutionState's flags: keep the system out of idle sleep until told otherwise (the display may still
// turn off), and the call that takes that back.
constexpr uint32_t kEsContinuous = 0x80000000;
constexpr uint32_t kEsSystemRequired = 0x00000001;
// What SetWaitableTimer leaves as the last error when it took the timer but cannot wake the computer with it.
constexpr uint32_t kErrorNotSupported = 50;
constexpr uint32_t kErrorTimerResumeIgnored = 722;  // Windows' winerror.h; checked where MinGW's names it
// FILETIME counts 100 ns.
constexpr int64_t kFileTimeTicksPerSecond = 10000000;

// --- powrprof: what the power plan and the machine let a wake timer do ---------------------------------------------

// A GUID, as the power plan names its settings.
struct PowerGuid {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};
// The plan's sleep subgroup and its "Allow wake timers" setting (GUID_SLEEP_SUBGROUP, GUID_ALLOW_RTC_WAKE), whose
// value index is 0 for Disable, 1 for Enable, and from Windows 10 on 2 for important wake timers only.
constexpr PowerGuid kGuidSleepSubgroup = {0x238C9FA8, 0x0AAD, 0x41ED, {0x83, 0xF4, 0x97, 0xBE, 0x24, 0x2C, 0x8F, 0x20}};
constexpr PowerGuid kGuidAllowRtcWake = {0xBD3B718A, 0x0680, 0x4D9D, {0x8A, 0xB2, 0xE1, 0xD2, 0xB4, 0xAC, 0x80, 0x6D}};
constexpr uint32_t kWakeTimersEnable = 1;
// POWER_INFORMATION_LEVEL SystemPowerCapabilities, and the size of the SYSTEM_POWER_CAPABILITIES it fills.
constexpr uint32_t kSystemPowerCapabilities = 4;
constexpr uint32_t kSystemPowerCapabilitiesSize = 76;
// The fields of SYSTEM_POWER_CAPABILITIES the program reads.
struct PowerCapabilitiesRecord {
    // Modern standby (S0 low-power idle), from Windows 8 on; before it, a spare byte the system leaves 0.
    bool AoAc = false;
    bool SystemBatteriesPresent = false;
};

// --- user32 and gdi32 ----------------------------------------------------------------------------------------------

constexpr uint32_t kEwxShutdown = 0x01;
constexpr uint32_t kEwxReboot = 0x02;
constexpr uint32_t kEwxForce = 0x04;
constexpr uint32_t kEwxPowerOff = 0x08;
constexpr uint32_t kSrcCopy = 0x00CC0020;

// What a call that can fail answered: the function's return value and, where it failed, the thread's last error as
// that call left it, read on the Win32 side right after it, so nothing slipped in between can change it. A call that
// succeeded answers with error 0, save the two whose success speaks through the last error too (SetWaitableTimer,
// AdjustTokenPrivileges), which answer with it always. A function that returns its error code, or an NTSTATUS, rather
// than setting the last error answers 1 for success and otherwise 0 with that code as its error. A function this
// Windows lacks answers 0 with the look-up's error (ERROR_PROC_NOT_FOUND or ERROR_MOD_NOT_FOUND).
struct SystemAnswer {
    uint32_t value = 0;  // TRUE as 1, FALSE as 0; or the handle, length or state the function returned
    uint32_t error = 0;

    // Whether the function returned something other than 0: TRUE, a handle, a length.
    explicit operator bool() const { return value != 0; }
};

class SystemHandle;

class SystemCalls {
public:
    virtual ~SystemCalls() = default;

    // shell32
    virtual SystemAnswer Shell_NotifyIconA(uint32_t message, const NotifyIconRecord* data) = 0;

    // kernel32
    virtual uint32_t GetCurrentProcess() = 0;
    // Only SystemHandle calls it: a handle the program obtained is closed by its owner, once.
    virtual SystemAnswer CloseHandle(uint32_t handle) = 0;
    virtual SystemAnswer SetSystemPowerState(bool suspend, bool force) = 0;
    // GetSystemDirectoryW: fills buf with the system directory as UTF-8; the length, 0 on failure.
    virtual SystemAnswer GetSystemDirectoryUtf8(char* buf, uint32_t cap) = 0;
    // CreateProcessW: starts a program without waiting for it. applicationUtf8 is the full path of the program,
    // commandLineUtf8 the whole command line; showWindow goes to STARTUPINFO.wShowWindow. The thread handle is
    // closed at once; *process takes the process handle for the caller to watch, or, null, it is closed at once too.
    virtual SystemAnswer CreateProcessUtf8(const char* applicationUtf8, const char* commandLineUtf8,
                                           uint16_t showWindow, SystemHandle* process) = 0;
    // The state reached (kWaitObject0 is 0), kWaitFailed on failure.
    virtual SystemAnswer WaitForSingleObject(uint32_t handle, uint32_t milliseconds) = 0;
    virtual SystemAnswer GetExitCodeProcess(uint32_t process, uint32_t* exitCode) = 0;
    // The calling thread's execution state; the previous one, 0 on failure.
    virtual SystemAnswer SetThreadExecutionState(uint32_t flags) = 0;
    // A waitable timer without a name or a security descriptor; *timer takes it (none on failure).
    virtual SystemAnswer CreateWaitableTimerW(bool manualReset, SystemHandle* timer) = 0;
    // dueTime as SetWaitableTimer reads it: positive, an absolute UTC time in FILETIME ticks; no completion routine.
    // Its error is read on success too: kErrorNotSupported or kErrorTimerResumeIgnored say the timer was taken but
    // cannot wake the computer.
    virtual SystemAnswer SetWaitableTimer(uint32_t timer, int64_t dueTime, int32_t period, bool resume) = 0;
    virtual SystemAnswer CancelWaitableTimer(uint32_t timer) = 0;
    // 1 when the memory was freed.
    virtual SystemAnswer LocalFree(uint32_t memory) = 0;

    // advapi32
    // *token takes the token opened (none on failure).
    virtual SystemAnswer OpenProcessToken(uint32_t process, uint32_t desiredAccess, SystemHandle* token) = 0;
    virtual SystemAnswer LookupPrivilegeValueA(const char* systemName, const char* name, uint64_t* luid) = 0;
    // Its error is read on success too: kErrorNotAllAssigned says a privilege asked for is not held.
    virtual SystemAnswer AdjustTokenPrivileges(uint32_t token, bool disableAll, const TokenPrivilegesRecord* newState,
                                               uint32_t bufferLength, TokenPrivilegesRecord* previousState,
                                               uint32_t* returnLength) = 0;
    // Reads infoClass TokenPrivileges, the one the program asks for; *returnLength is the size the system wrote, or
    // the size it needs when length was too small.
    virtual SystemAnswer GetTokenInformation(uint32_t token, uint32_t infoClass, TokenPrivilegesList* info,
                                             uint32_t length, uint32_t* returnLength) = 0;

    // powrprof
    // Asks IsPwrHibernateAllowed. 0 when the function cannot be had (no powrprof.dll, or no such entry in it),
    // *allowed then left as it was, so that the caller decides what that means; otherwise 1, the answer in *allowed.
    virtual SystemAnswer IsPwrHibernateAllowed(bool* allowed) = 0;
    // With no user key: *scheme takes the memory the system allocated for the active plan's GUID, which the caller
    // gives back with LocalFree.
    virtual SystemAnswer PowerGetActiveScheme(uint32_t* scheme) = 0;
    // With no root key: the value index of `setting` in the plan's `subgroup`, on mains and on battery.
    virtual SystemAnswer PowerReadACValueIndex(uint32_t scheme, const PowerGuid* subgroup, const PowerGuid* setting,
                                               uint32_t* index) = 0;
    virtual SystemAnswer PowerReadDCValueIndex(uint32_t scheme, const PowerGuid* subgroup, const PowerGuid* setting,
                                               uint32_t* index) = 0;
    // Reads level kSystemPowerCapabilities, the one the program asks for, with no input; `length` is the size of the
    // SYSTEM_POWER_CAPABILITIES the system is to fill.
    virtual SystemAnswer CallNtPowerInformation(uint32_t level, PowerCapabilitiesRecord* capabilities,
                                                uint32_t length) = 0;

    // user32
    virtual SystemAnswer ExitWindowsEx(uint32_t flags, uint32_t reason) = 0;
    virtual uint32_t GetDesktopWindow() = 0;
    virtual SystemAnswer GetDC(uint32_t window) = 0;
    virtual SystemAnswer ReleaseDC(uint32_t window, uint32_t dc) = 0;

    // gdi32
    virtual SystemAnswer BitBlt(uint32_t destDC, int x, int y, int width, int height, uint32_t srcDC, int srcX,
                                int srcY, uint32_t rop) = 0;
};

// A kernel handle the program obtained through SystemCalls (a token, a started process), closed through it exactly
// once: when its owner goes, or takes another. Only the call that opens a handle fills one, so no path of the program
// holds a bare handle it would have to close by hand. Moving hands the handle over.
class SystemHandle {
public:
    explicit SystemHandle(SystemCalls& system) : system_(&system) {}
    ~SystemHandle() { Reset(); }
    SystemHandle(SystemHandle&& other) noexcept : system_(other.system_), handle_(other.handle_) { other.handle_ = 0; }
    SystemHandle& operator=(SystemHandle&& other) noexcept {
        if (this != &other) {
            Reset();
            system_ = other.system_;
            handle_ = other.handle_;
            other.handle_ = 0;
        }
        return *this;
    }
    SystemHandle(const SystemHandle&) = delete;
    SystemHandle& operator=(const SystemHandle&) = delete;

    uint32_t Get() const { return handle_; }
    // Closes the handle held, if any, and holds `handle` (0: none) from now on.
    void Reset(uint32_t handle = 0) {
        // A handle the system will not close is no reason to keep it: the program is done with it either way.
        if (handle_ != 0) (void)system_->CloseHandle(handle_);
        handle_ = handle;
    }

private:
    SystemCalls* system_;
    uint32_t handle_ = 0;
};
