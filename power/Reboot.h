// Restarting the computer through the system's own shutdown.exe.
#pragma once

#include "platform/SystemCalls.h"
#include "power/PowerResult.h"

// The exact command line given to shutdown.exe.
extern const char* const kRestartCommandLine;

// Starts <system directory>\shutdown.exe minimised, without waiting for it. Touches no privilege:
// shutdown.exe enables its own.
PowerResult RedemarrerOrdinateur(SystemCalls& sys);
