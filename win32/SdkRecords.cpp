// The icon record made the SDK's NOTIFYICONDATAA, and the one table that checks every Windows value the core holds
// against <windows.h>: a change on either side stops the build.
#include "win32/SdkRecords.h"

#include <cstddef>
#include <cstring>

#include "platform/Controls.h"
#include "platform/FormHost.h"
#include "win32/WideText.h"

namespace {

template <typename Wide>
constexpr bool SameText(const char* a, const Wide* b) {
    for (; *a != '\0' || *b != 0; ++a, ++b) {
        if (static_cast<Wide>(*a) != *b) return false;
    }
    return true;
}

// A UTF-8 field, NUL-terminated within its CAP bytes, into the ANSI code page. It fits: no character takes more bytes
// in an ANSI code page, single- or double-byte, than in UTF-8, and one that has no ANSI form becomes a one-byte '?'.
template <size_t Cap>
void Utf8ToAnsi(const char (&utf8)[Cap], char (&out)[Cap]) {
    wchar_t wide[Cap];
    Utf8ToWide(utf8, wide, static_cast<int>(Cap));
    if (WideCharToMultiByte(CP_ACP, 0, wide, -1, out, static_cast<int>(Cap), nullptr, nullptr) == 0) out[0] = '\0';
}

}  // namespace

#define TARVEIL_SAME(core, sdk) static_assert((core) == (sdk), #core " is not " #sdk);
static_assert(sizeof(HANDLE) == 4 && sizeof(HWND) == 4 && sizeof(HDC) == 4 && sizeof(HICON) == 4, "32-bit handles");
// shell32
TARVEIL_SAME(kNotifyIconDataV1Size, NOTIFYICONDATAA_V1_SIZE)
TARVEIL_SAME(offsetof(NOTIFYICONDATAA, szTip) + sizeof NotifyIconRecord::szTip, NOTIFYICONDATAA_V1_SIZE)
TARVEIL_SAME(kNotifyIconDataV2Size, NOTIFYICONDATAA_V2_SIZE)
TARVEIL_SAME(sizeof NotifyIconRecord::szInfo, sizeof NOTIFYICONDATAA::szInfo)
TARVEIL_SAME(sizeof NotifyIconRecord::szInfoTitle, sizeof NOTIFYICONDATAA::szInfoTitle)
TARVEIL_SAME(kNimAdd, NIM_ADD)
TARVEIL_SAME(kNimModify, NIM_MODIFY)
TARVEIL_SAME(kNimDelete, NIM_DELETE)
TARVEIL_SAME(kNifMessage, NIF_MESSAGE)
TARVEIL_SAME(kNifIcon, NIF_ICON)
TARVEIL_SAME(kNifTip, NIF_TIP)
TARVEIL_SAME(kNifInfo, NIF_INFO)
TARVEIL_SAME(kNiifInfo, NIIF_INFO)
TARVEIL_SAME(kWmMouseMove, WM_MOUSEMOVE)
TARVEIL_SAME(kWmLButtonDown, WM_LBUTTONDOWN)
TARVEIL_SAME(kWmRButtonUp, WM_RBUTTONUP)
// advapi32
TARVEIL_SAME(TokenPrivilegesLength(1), sizeof(TOKEN_PRIVILEGES))
TARVEIL_SAME(TokenPrivilegesLength(TokenPrivilegesRecord::kRoom), sizeof(SdkTokenPrivileges<TokenPrivilegesRecord::kRoom>))
TARVEIL_SAME(TokenPrivilegesLength(TokenPrivilegesList::kRoom), sizeof(SdkTokenPrivileges<TokenPrivilegesList::kRoom>))
TARVEIL_SAME(offsetof(SdkTokenPrivileges<1>, Privileges), offsetof(TOKEN_PRIVILEGES, Privileges))
TARVEIL_SAME(kTokenAdjustPrivileges, TOKEN_ADJUST_PRIVILEGES)
TARVEIL_SAME(kTokenQuery, TOKEN_QUERY)
TARVEIL_SAME(kSePrivilegeEnabled, SE_PRIVILEGE_ENABLED)
TARVEIL_SAME(kSePrivilegeRemoved, SE_PRIVILEGE_REMOVED)
TARVEIL_SAME(kErrorNotAllAssigned, ERROR_NOT_ALL_ASSIGNED)
TARVEIL_SAME(kTokenPrivilegesClass, TokenPrivileges)
TARVEIL_SAME(SameText(kShutdownPrivilegeName, SE_SHUTDOWN_NAME), true)
// kernel32
TARVEIL_SAME(kMaxPath, MAX_PATH)
TARVEIL_SAME(kSwShowMinimized, SW_SHOWMINIMIZED)
TARVEIL_SAME(kWaitObject0, WAIT_OBJECT_0)
TARVEIL_SAME(kWaitTimeout, WAIT_TIMEOUT)
TARVEIL_SAME(kWaitFailed, WAIT_FAILED)
TARVEIL_SAME(kStillActive, STILL_ACTIVE)
TARVEIL_SAME(kEsContinuous, ES_CONTINUOUS)
TARVEIL_SAME(kEsSystemRequired, ES_SYSTEM_REQUIRED)
TARVEIL_SAME(kErrorNotSupported, ERROR_NOT_SUPPORTED)
// Windows' winerror.h names it; MinGW's, up to the one Debian 12 has, does not, and holds nothing to check it by.
#ifdef ERROR_TIMER_RESUME_IGNORED
TARVEIL_SAME(kErrorTimerResumeIgnored, ERROR_TIMER_RESUME_IGNORED)
#endif
// powrprof: SYSTEM_POWER_CAPABILITIES as a 32-bit process gets it. Windows 8's SDK names the three bytes after
// FastSystemS4 Hiberboot, WakeAlarmPresent and AoAc, where MinGW's (as XP's) keeps them as spare2: AoAc is its third,
// at offset 20, after fifteen BOOLEANs and two throttle bytes.
TARVEIL_SAME(kSystemPowerCapabilities, SystemPowerCapabilities)
TARVEIL_SAME(kSystemPowerCapabilitiesSize, sizeof(SYSTEM_POWER_CAPABILITIES))
constexpr size_t kAoAcOffset = 20;
TARVEIL_SAME(offsetof(SYSTEM_POWER_CAPABILITIES, FastSystemS4), 17u)
TARVEIL_SAME(offsetof(SYSTEM_POWER_CAPABILITIES, spare2) + 2, kAoAcOffset)
TARVEIL_SAME(offsetof(SYSTEM_POWER_CAPABILITIES, SystemBatteriesPresent), 30u)
TARVEIL_SAME(sizeof(GUID), sizeof(PowerGuid))
// user32 and gdi32
TARVEIL_SAME(kEwxShutdown, EWX_SHUTDOWN)
TARVEIL_SAME(kEwxReboot, EWX_REBOOT)
TARVEIL_SAME(kEwxForce, EWX_FORCE)
TARVEIL_SAME(kEwxPowerOff, EWX_POWEROFF)
TARVEIL_SAME(kSrcCopy, SRCCOPY)
// The window: its message boxes, its draw mode and its colours.
TARVEIL_SAME(kMbOk, MB_OK)
TARVEIL_SAME(kMbIconError, MB_ICONERROR)
TARVEIL_SAME(kMbIconWarning, MB_ICONWARNING)
TARVEIL_SAME(kMbIconInformation, MB_ICONINFORMATION)
TARVEIL_SAME(kR2MaskPen, R2_MASKPEN)
TARVEIL_SAME(kWhite, RGB(255, 255, 255))
TARVEIL_SAME(kRed, RGB(255, 0, 0))
#undef TARVEIL_SAME

NOTIFYICONDATAA ToSdk(const NotifyIconRecord& record) {
    NOTIFYICONDATAA sdk;
    std::memset(&sdk, 0, sizeof sdk);
    sdk.cbSize = record.cbSize;
    sdk.hWnd = FromValue<HWND>(record.hWnd);
    sdk.uID = record.uID;
    sdk.uFlags = record.uFlags;
    sdk.uCallbackMessage = record.uCallbackMessage;
    sdk.hIcon = FromValue<HICON>(record.hIcon);
    std::memcpy(sdk.szTip, record.szTip, sizeof record.szTip);
    Utf8ToAnsi(record.szInfo, sdk.szInfo);
    sdk.uTimeout = record.uTimeout;
    Utf8ToAnsi(record.szInfoTitle, sdk.szInfoTitle);
    sdk.dwInfoFlags = record.dwInfoFlags;
    return sdk;
}

PowerCapabilitiesRecord FromSdk(const SYSTEM_POWER_CAPABILITIES& sdk) {
    PowerCapabilitiesRecord record;
    record.AoAc = reinterpret_cast<const BYTE*>(&sdk)[kAoAcOffset] != FALSE;
    record.SystemBatteriesPresent = sdk.SystemBatteriesPresent != FALSE;
    return record;
}
