// Power-off: enable the shutdown privilege, then ask the system to shut down and power off.
// The privilege steps are this module's own, so that power-off does not depend on the
// hibernation module; they must stay identical to ActiverPrivilegeArret (the tests compare them).
#include "power/Arret.h"

#include <cstring>

#include "power/TokenPrivileges.h"

namespace {

constexpr uint32_t kEwxShutdown = 0x01;
constexpr uint32_t kEwxForce = 0x04;
constexpr uint32_t kEwxPowerOff = 0x08;

PowerStep EnableShutdownPrivilege(SystemCalls& sys) {
    // Aligned like the system's own record: the kernel refuses a misaligned TOKEN_PRIVILEGES.
    alignas(4) uint8_t newState[kTokenPrivilegesRecordSize];
    alignas(4) uint8_t previousState[kTokenPrivilegesRecordSize];
    std::memset(newState, 0, sizeof newState);
    std::memset(previousState, 0, sizeof previousState);
    uint64_t luid = 0;
    uint32_t token = 0;
    uint32_t returnLength = 0;

    const uint32_t process = sys.GetCurrentProcess();
    if (!sys.OpenProcessToken(process, kTokenAdjustPrivileges | kTokenQuery, &token)) {
        return PowerStep::OpenToken;
    }

    PowerStep failed = PowerStep::None;
    if (!sys.LookupPrivilegeValueA("", kShutdownPrivilegeName, &luid)) {
        failed = PowerStep::LookupPrivilege;
    } else {
        PutU32(newState + kTokenPrivilegesCountOffset, 1);
        uint8_t* entry = newState + kTokenPrivilegesEntriesOffset;
        PutU32(entry + kLuidLowOffset, static_cast<uint32_t>(luid));
        PutU32(entry + kLuidHighOffset, static_cast<uint32_t>(luid >> 32));
        PutU32(entry + kLuidAttributesOffset, kSePrivilegeEnabled);
        if (!sys.AdjustTokenPrivileges(token, false, newState, TokenPrivilegesLength(1), previousState,
                                       &returnLength)) {
            failed = PowerStep::AdjustPrivileges;
        } else if (sys.GetLastError() == kErrorNotAllAssigned) {
            // Without the privilege ExitWindowsEx would be refused: report instead.
            failed = PowerStep::PrivilegeNotHeld;
        }
    }
    sys.CloseHandle(token);
    return failed;
}

}  // namespace

PowerResult EteindreOrdinateur(SystemCalls& sys) {
    const PowerStep privilege = EnableShutdownPrivilege(sys);
    if (privilege != PowerStep::None) {
        return {PowerAction::PowerOff, privilege};
    }
    if (!sys.ExitWindowsEx(kEwxShutdown | kEwxForce | kEwxPowerOff, 0)) {
        return {PowerAction::PowerOff, PowerStep::PowerRequest};
    }
    return {PowerAction::PowerOff, PowerStep::None};
}
