// Enabling the shutdown privilege of the program's own token.
#include "power/Privilege.h"

#include <cstring>

#include "power/TokenPrivileges.h"

PowerStep ActiverPrivilegeArret(SystemCalls& sys) {
    // Zeroed up front so that nothing uninitialised ever reaches the system, whichever step fails.
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
        // No token: nothing to close, and no use going on with a token value that means nothing.
        return PowerStep::OpenToken;
    }

    // An empty system name (not a null pointer) names the local computer.
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
            // TRUE with ERROR_NOT_ALL_ASSIGNED: the account does not hold the privilege, so the
            // power request would be refused; say so now rather than fail silently later.
            failed = PowerStep::PrivilegeNotHeld;
        }
    }
    // The privilege stays enabled on the token itself; the handle is no longer needed. A failed
    // close changes nothing for the user, so its result is not acted on.
    sys.CloseHandle(token);
    return failed;
}
