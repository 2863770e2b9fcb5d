// Enabling the shutdown privilege of the program's own token, which power-off and hibernation both need.
#pragma once

#include "platform/SystemCalls.h"
#include "power/PowerResult.h"

// Enables SeShutdownPrivilege on the process token. Returns PowerStep::None when the privilege is enabled,
// otherwise the step that failed.
PowerStep ActiverPrivilegeArret(SystemCalls& sys);
