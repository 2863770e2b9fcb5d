// The checks made at arming: the shutdown privilege in the account's token, and hibernation switched on.
#include "power/ArmingChecks.h"

namespace {

// Looks for `luid` among the token's privileges, of which the system wrote `length` bytes. A count that claims more
// entries than were written, or than the list has room for, says nothing reliable.
PrivilegeHolding FindPrivilege(const TokenPrivilegesList& list, uint32_t length, uint64_t luid) {
    if (list.PrivilegeCount > list.kRoom || TokenPrivilegesLength(list.PrivilegeCount) > length) {
        return PrivilegeHolding::Unknown;
    }
    for (uint32_t i = 0; i < list.PrivilegeCount; ++i) {
        const LuidAndAttributes& entry = list.Privileges[i];
        if (entry.Luid != luid) continue;
        return (entry.Attributes & kSePrivilegeRemoved) ? PrivilegeHolding::NotHeld : PrivilegeHolding::Held;
    }
    return PrivilegeHolding::NotHeld;
}

}  // namespace

PrivilegeHolding ShutdownPrivilegeHolding(SystemCalls& sys) {
    // Only read here: the privilege is enabled by the action itself, when it runs.
    SystemHandle token(sys);
    if (!sys.OpenProcessToken(sys.GetCurrentProcess(), kTokenQuery, &token)) return PrivilegeHolding::Unknown;

    uint64_t luid = 0;
    TokenPrivilegesList list;
    uint32_t length = 0;
    // An empty system name (not a null pointer) names the local computer, as when the privilege is enabled.
    if (!sys.LookupPrivilegeValueA("", kShutdownPrivilegeName, &luid) ||
        !sys.GetTokenInformation(token.Get(), kTokenPrivilegesClass, &list, TokenPrivilegesLength(list.kRoom),
                                 &length)) {
        return PrivilegeHolding::Unknown;
    }
    return FindPrivilege(list, length, luid);
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
