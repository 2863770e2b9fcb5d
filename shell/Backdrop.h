// The window's background: a copy of the screen area that lies under it.
#pragma once

#include "platform/Controls.h"
#include "platform/FormHost.h"
#include "platform/SystemCalls.h"

// Hides the window, waits until it is off the screen, copies the screen under it into its persistent image, shows
// it again and draws the tint over the copy with a mask pen. tColor may be null (no colour given); null or 0 means
// the default tint 0xC80000. Every caller passes white, which leaves the copy as it is.
void MakeTranslucent(FormHost& Who, SystemCalls& system, const Colour* tColor);
