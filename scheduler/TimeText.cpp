// Formatting and strict parsing of "hh:mm:ss" texts and of delays from now, independent of the user's regional
// settings.
#include "scheduler/TimeText.h"

#include "platform/Clock.h"

namespace {

void TwoDigits(int value, char* out) {
    out[0] = static_cast<char>('0' + value / 10);
    out[1] = static_cast<char>('0' + value % 10);
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool ReadTwoDigits(const char* text, int limit, int* value) {
    if (!IsDigit(text[0]) || !IsDigit(text[1])) return false;
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

// Hours may take one digit, as "+1:30" is said; minutes and seconds always take two, as on the clock, so that "+1:5"
// (five minutes or fifty?) is refused rather than guessed. Blanks are refused as the clock time refuses them: a text
// is taken or refused by the same rule in the entry box and on the command line, where a blank ends the word.
bool ParseDelayText(const char* text, size_t length, int* seconds) {
    if (text == nullptr || length < 2 || length > kDelayTextLength || text[0] != '+') return false;
    size_t end = 1;
    int lead = 0;  // the minutes of "+m", or the hours
    while (end < length && IsDigit(text[end])) lead = lead * 10 + (text[end++] - '0');
    const size_t leadDigits = end - 1;
    int total = 0;
    if (end == length) {
        if (leadDigits > 4 || lead >= 24 * 60) return false;
        total = lead * 60;
    } else {
        const size_t rest = length - end;  // ":mm" or ":mm:ss"
        int minutes = 0, secs = 0;
        if (leadDigits < 1 || leadDigits > 2 || lead > 23 || text[end] != ':' || (rest != 3 && rest != 6) ||
            !ReadTwoDigits(text + end + 1, 59, &minutes))
            return false;
        if (rest == 6 && (text[end + 3] != ':' || !ReadTwoDigits(text + end + 4, 59, &secs))) return false;
        total = (lead * 60 + minutes) * 60 + secs;
    }
    if (total == 0) return false;
    if (seconds != nullptr) *seconds = total;
    return true;
}
