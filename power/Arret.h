// Powering the computer off.
#pragma once

#include "platform/SystemCalls.h"
#include "power/PowerResult.h"

// Enables the shutdown privilege, then asks for shutdown + force + power-off (ExitWindowsEx 13, 0).
PowerResult EteindreOrdinateur(SystemCalls& sys);
