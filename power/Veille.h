// Hibernation, and the step that enables the shutdown privilege of the program's own token.
#pragma once

#include "platform/syscalls.h"
#include "power/PowerResult.h"

// Enables SeShutdownPrivilege on the process token. Returns PowerStep::None when the privilege
// is enabled, otherwise the step that failed.
PowerStep ActiverPrivilegeArret(SystemCalls& sys);

// Hibernates the computer (SetSystemPowerState with suspend FALSE, force FALSE).
PowerResult MettreEnVeille(SystemCalls& sys);
