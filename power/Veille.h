// Hibernation.
#pragma once

#include "platform/syscalls.h"
#include "power/PowerResult.h"

// Hibernates the computer (SetSystemPowerState with suspend FALSE, force FALSE).
PowerResult MettreEnVeille(SystemCalls& sys);
