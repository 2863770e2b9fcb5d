// Formatting and strict parsing of "hh:mm:ss" texts, independent of the user's regional settings.
#include "scheduler/TimeText.h"

#include "platform/Clock.h"

namespace {

void TwoDigits(int value, char* out) {
    out[0] = static_cast<char>('0' + value / 10);
    out[1] = static_cast<char>('0' + value % 10);
}

bool ReadTwoDigits(const char* text, int limit, int* value) {
    if (text[0] < '0' || text[0] > '9' || text[1] < '0' || text[1] > '9') return false;
    *value = (text[0] - '0') * 10 + (text[1] - '0');
    return *value <= limit;
}

}  // namespace

void FormatTimeText(int secondOfDay, char out[kTimeTextCap]) {
    secondOfDay = SecondOfDay(secondOfDay);
    TwoDigits(secondOfDay / 3600, out);
    out[2] = ':';
    TwoDigits(secondOfDay / 60 % 60, out + 3);
    out[5] = ':';
    TwoDigits(secondOfDay % 60, out + 6);
    out[8] = '\0';
}

bool ParseTimeText(const char* text, size_t length, int* secondOfDay) {
    if (text == nullptr || length != kTimeTextLength) return false;
    if (text[2] != ':' || text[5] != ':') return false;
    int hours = 0, minutes = 0, seconds = 0;
    if (!ReadTwoDigits(text, 23, &hours) || !ReadTwoDigits(text + 3, 59, &minutes) ||
        !ReadTwoDigits(text + 6, 59, &seconds))
        return false;
    if (secondOfDay != nullptr) *secondOfDay = hours * 3600 + minutes * 60 + seconds;
    return true;
}
