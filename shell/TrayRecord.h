// The notification-area icon's record as the program fills it, and the decoding of the icon's mouse callbacks.
#pragma once

#include <cstdint>

#include "platform/SystemCalls.h"

constexpr uint32_t kTrayIconId = 1;
constexpr uint32_t kTrayFlags = kNifMessage | kNifIcon | kNifTip;
// The icon's callbacks come as mouse moves of the window.
constexpr uint32_t kTrayCallbackMessage = kWmMouseMove;

// Fills the fields that adding the icon needs; the tooltip is the program's title left-aligned in its field, then one
// NUL, then blanks to the end.
void FillTrayRecordForAdd(NotifyIconRecord& record, uint32_t window, uint32_t icon);
// Sets the fields that identify the icon for a removal; the others keep what they hold.
void FillTrayRecordForDelete(NotifyIconRecord& record, uint32_t window);

// How long XP's shell shows a balloon, its shortest: later shells decide for themselves.
constexpr uint32_t kBalloonTimeoutMs = 10000;

// The mouse message carried by a callback: the event's x in twips back to pixels, rounded half to even.
int32_t DecodeTrayMessage(float xTwips, float twipsPerPixelX);
