// The checks made at arming: the shutdown privilege in the account's token, and hibernation switched on.
#include "power/ArmingChecks.h"

#include <cstring>

#include "power/TokenPrivileges.h"

namespace {

// Looks for `luid` in a TOKEN_PRIVILEGES record of `length` bytes. A record whose count claims more entries than
// it holds says nothing reliable.
PrivilegeHolding FindPrivilege(const uint8_t* record, uint32_t length, uint64_t luid) {
    if (length < kTokenPrivilegesEntriesOffset) return PrivilegeHolding::Unknown;
    const uint32_t count = GetU32(record + kTokenPrivilegesCountOffset);
    if (count > (length - kTokenPrivilegesEntriesOffset) / kLuidAndAttributesSize) return PrivilegeHolding::Unknown;
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* entry = record + kTokenPrivilegesEntriesOffset + kLuidAndAttributesSize * i;
        const uint64_t entryLuid =
            static_cast<uint64_t>(GetU32(entry + kLuidLowOffset)) | static_cast<uint64_t>(GetU32(entry + kLuidHighOffset)) << 32;
        if (entryLuid != luid) continue;
        return (GetU32(entry + kLuidAttributesOffset) & kSePrivilegeRemoved) ? PrivilegeHolding::NotHeld
                                                                               : PrivilegeHolding::Held;
    }
    return PrivilegeHolding::NotHeld;
}

}  // namespace

PrivilegeHolding ShutdownPrivilegeHolding(SystemCalls& sys) {
    // Only read here: the privilege is enabled by the action itself, when it runs.
    uint32_t token = 0;
    if (!sys.OpenProcessToken(sys.GetCurrentProcess(), kTokenQuery, &token)) return PrivilegeHolding::Unknown;

    PrivilegeHolding holding = PrivilegeHolding::Unknown;
    uint64_t luid = 0;
    // Aligned like the system's own record: Windows refuses a misaligned buffer (ERROR_NOACCESS).
    alignas(4) uint8_t record[TokenPrivilegesLength(kTokenPrivilegesReadEntries)];
    std::memset(record, 0, sizeof record);
    uint32_t length = 0;
    // An empty system name (not a null pointer) names the local computer, as when the privilege is enabled.
    if (sys.LookupPrivilegeValueA("", kShutdownPrivilegeName, &luid) &&
        sys.GetTokenInformation(token, kTokenPrivilegesClass, record, sizeof record, &length)) {
        holding = FindPrivilege(record, length < sizeof record ? length : static_cast<uint32_t>(sizeof record), luid);
    }
    // A failed close changes nothing for the user, so its result is not acted on.
    sys.CloseHandle(token);
    return holding;
}

bool HibernationAvailable(SystemCalls& sys) {
    bool allowed = true;
    // Not asked (powrprof.dll or its function missing): allowed stays true, as said above.
    (void)sys.IsPwrHibernateAllowed(&allowed);
    return allowed;
}

ArmingRefusal CheckBeforeArming(PowerAction action, SystemCalls& sys) {
    // The restart is not refused here: it has a way of its own when shutdown.exe is refused.
    if (action == PowerAction::Restart) return ArmingRefusal::None;
    // Privilege first: without it neither power-off nor hibernation can happen, and a message sending the user to
    // the power options or to another action would send them the wrong way.
    // A token that cannot be read arms: the action enables the privilege itself when it runs and reports a refusal
    // then, whereas refusing here on a doubt would stop an account that may well shut the machine down.
    if (ShutdownPrivilegeHolding(sys) == PrivilegeHolding::NotHeld) return ArmingRefusal::NoShutdownPrivilege;
    if (action == PowerAction::Hibernate && !HibernationAvailable(sys)) return ArmingRefusal::HibernationOff;
    return ArmingRefusal::None;
}

const char* ArmingRefusalMessage(ArmingRefusal refusal) {
    switch (refusal) {
    case ArmingRefusal::None:
        return nullptr;
    case ArmingRefusal::NoShutdownPrivilege:
        return "Votre compte Windows n'a pas le droit d'arrêter l'ordinateur : ni l'arrêt ni la mise en veille "
               "prolongée ne pourraient avoir lieu à l'heure choisie.\n"
               "Ouvrez une session avec un compte qui a ce droit, ou demandez-le à l'administrateur de l'ordinateur.";
    case ArmingRefusal::HibernationOff:
        return "La mise en veille prolongée est désactivée sur cet ordinateur : elle ne pourrait pas avoir lieu à "
               "l'heure choisie.\n"
               "Choisissez une autre action, ou activez la mise en veille prolongée dans les Options d'alimentation "
               "du Panneau de configuration, puis cliquez de nouveau sur « OK ».";
    }
    return nullptr;
}
