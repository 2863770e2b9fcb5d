// The "hh:mm:ss" text the clock box shows and the entry box must hold, and the delay from now the entry box also
// takes: formatting and strict parsing.
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

// The longest delay text, "+hh:mm:ss".
constexpr size_t kDelayTextLength = 9;

// True when text is exactly a delay from now, more than nothing and less than a day: "+m", minutes in one to four
// digits (1..1439), or "+h:mm" or "+h:mm:ss", hours in one or two digits (0..23) and minutes and seconds in two
// (00..59). No blank anywhere, as in "hh:mm:ss". Then *seconds (if not null) receives the delay in seconds.
bool ParseDelayText(const char* text, size_t length, int* seconds);
