// Enabling the shutdown privilege of the program's own token.
#include "power/Privilege.h"

PowerStep ActiverPrivilegeArret(SystemCalls& sys) {
    // All zero from the start, so that nothing uninitialised ever reaches the system, whichever step fails.
    TokenPrivilegesRecord newState;
    TokenPrivilegesRecord previousState;
    uint64_t luid = 0;
    uint32_t returnLength = 0;
    // Closed as the procedure returns, whatever step it stops at; the privilege stays enabled on the token itself.
    SystemHandle token(sys);

    const uint32_t process = sys.GetCurrentProcess();
    if (!sys.OpenProcessToken(process, kTokenAdjustPrivileges | kTokenQuery, &token)) {
        // No token: no use going on with a token value that means nothing.
        return PowerStep::OpenToken;
    }

    // An empty system name (not a null pointer) names the local computer.
    if (!sys.LookupPrivilegeValueA("", kShutdownPrivilegeName, &luid)) return PowerStep::LookupPrivilege;
    newState.PrivilegeCount = 1;
    newState.Privileges[0] = {luid, kSePrivilegeEnabled};
    const SystemAnswer adjusted = sys.AdjustTokenPrivileges(token.Get(), false, &newState,
                                                            TokenPrivilegesLength(newState.PrivilegeCount),
                                                            &previousState, &returnLength);
    if (!adjusted) return PowerStep::AdjustPrivileges;
    // TRUE with ERROR_NOT_ALL_ASSIGNED: the account does not hold the privilege, so the power request would be
    // refused; say so now rather than fail silently later.
    if (adjusted.error == kErrorNotAllAssigned) return PowerStep::PrivilegeNotHeld;
    return PowerStep::None;
}
