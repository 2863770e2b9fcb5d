// The "hh:mm:ss" text the clock box shows and the entry box must hold: formatting and strict parsing.
#pragma once

#include <cstddef>

constexpr size_t kTimeTextLength = 8;
// Room for such a text and its NUL: a reader of the entry box knows a longer text by the whole length it is given.
constexpr size_t kTimeTextCap = kTimeTextLength + 1;

// Writes the time of day (seconds since midnight, 0..86399) as "hh:mm:ss", 24-hour, NUL-terminated.
void FormatTimeText(int secondOfDay, char out[kTimeTextCap]);

// True when text is exactly "hh:mm:ss" with two ASCII digits per field, hours 00..23 and minutes and
// seconds 00..59; then *secondOfDay (if not null) receives the time as seconds since midnight.
bool ParseTimeText(const char* text, size_t length, int* secondOfDay);
