// The system clock on Win32, read once per call so that the UTC and the local time are the same instant.
#include "win32/Win32Clock.h"

#include <windows.h>

namespace {

constexpr ULONGLONG kTicksPerSecond = 10000000ULL;  // FILETIME counts 100 ns
constexpr ULONGLONG kTicksPerMillisecond = 10000ULL;

ULONGLONG Ticks(const FILETIME& ft) {
    ULARGE_INTEGER value;
    value.LowPart = ft.dwLowDateTime;
    value.HighPart = ft.dwHighDateTime;
    return value.QuadPart;
}

}  // namespace

ClockReading Win32Clock::Now() const {
    FILETIME utc;
    GetSystemTimeAsFileTime(&utc);
    // FileTimeToLocalFileTime applies the bias in force now, daylight saving included, whatever the time it is
    // given: for the time now that is exactly how GetLocalTime, and so the clock box, shows it (both on XP).
    FILETIME local;
    if (!FileTimeToLocalFileTime(&utc, &local)) {
        // Never seen for the time now; the local clock is then read on its own, as the clock box reads it.
        SYSTEMTIME st;
        GetLocalTime(&st);
        if (!SystemTimeToFileTime(&st, &local)) local = utc;
    }
    const ULONGLONG localTicks = Ticks(local);
    return ClockReading{static_cast<int64_t>(Ticks(utc) / kTicksPerSecond),
                        static_cast<int64_t>(localTicks / kTicksPerSecond),
                        static_cast<int>(localTicks / kTicksPerMillisecond % 1000)};
}
