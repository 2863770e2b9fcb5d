// What "OK" checks before arming, while the user is still there to read why the chosen action could not happen.
#pragma once

#include "platform/SystemCalls.h"
#include "power/PowerResult.h"

enum class ArmingRefusal {
    None,
    NoShutdownPrivilege,  // the account does not hold SeShutdownPrivilege at all
    HibernationOff,       // Windows says hibernation is not available
};

// Whether the process token holds SeShutdownPrivilege, enabled or not: held but disabled is fine, since the action
// enables it. Unknown when the token cannot be read.
enum class PrivilegeHolding { Held, NotHeld, Unknown };
PrivilegeHolding ShutdownPrivilegeHolding(SystemCalls& sys);

// Whether hibernation is available. Where Windows cannot say (no powrprof.dll, or one without
// IsPwrHibernateAllowed), it is taken as available: the request at the target time still reports a refusal.
bool HibernationAvailable(SystemCalls& sys);

// The check for the action that would run: None when it may be armed.
ArmingRefusal CheckBeforeArming(PowerAction action, SystemCalls& sys);

// The French text of a refusal, UTF-8; nullptr for None.
const char* ArmingRefusalMessage(ArmingRefusal refusal);
