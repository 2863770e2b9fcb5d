// Hibernation.
#pragma once

#include "platform/SystemCalls.h"
#include "power/PowerResult.h"

// Hibernates the computer (SetSystemPowerState with suspend FALSE, force FALSE).
PowerResult MettreEnVeille(SystemCalls& sys);
