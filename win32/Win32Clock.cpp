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

// SECONDS through one of the system's zone conversions of a SYSTEMTIME; false when any step fails.
template <typename Convert>
bool Converted(int64_t seconds, Convert convert, int64_t* out) {
    ULARGE_INTEGER value;
    value.QuadPart = static_cast<ULONGLONG>(seconds) * kTicksPerSecond;
    FILETIME ft = {value.LowPart, value.HighPart};
    SYSTEMTIME in, converted;
    if (seconds < 0 || !FileTimeToSystemTime(&ft, &in) || !convert(nullptr, &in, &converted) ||
        !SystemTimeToFileTime(&converted, &ft))
        return false;
    *out = static_cast<int64_t>(Ticks(ft) / kTicksPerSecond);
    return true;
}

// The zone's offset now, for a conversion the system cannot make: off by an hour at most, across daylight saving.
int64_t OffsetNow() {
    const ClockReading now = Win32Clock().Now();
    return now.local - now.utc;
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

// Not FileTimeToLocalFileTime and back: they apply the bias in force now, whatever the date. These two (XP and later)
// take the zone's rule for the date converted.
int64_t Win32Clock::LocalToUtc(int64_t local) const {
    int64_t utc = 0;
    return Converted(local, TzSpecificLocalTimeToSystemTime, &utc) ? utc : local - OffsetNow();
}

int64_t Win32Clock::UtcToLocal(int64_t utc) const {
    int64_t local = 0;
    return Converted(utc, SystemTimeToTzSpecificLocalTime, &local) ? local : utc + OffsetNow();
}
