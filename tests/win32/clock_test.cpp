// Win32Clock against the system's own readings: the local time GetLocalTime shows, the UTC time GetSystemTime shows.
#include <gtest/gtest.h>

#include <windows.h>

#include "win32/Win32Clock.h"

namespace {

int64_t Seconds(const SYSTEMTIME& st) {
    FILETIME ft;
    if (!SystemTimeToFileTime(&st, &ft)) return -1;
    ULARGE_INTEGER value;
    value.LowPart = ft.dwLowDateTime;
    value.HighPart = ft.dwHighDateTime;
    return static_cast<int64_t>(value.QuadPart / 10000000ULL);
}

}  // namespace

// CTest runs this in a zone half an hour off UTC, so that the local and the UTC time differ.
TEST(Win32Clock, GivesTheLocalTimeGetLocalTimeShowsAndTheUtcTimeOfTheSameInstant) {
    // Taken between two readings of each system clock that fall in one second, so all must name that second.
    for (int attempt = 0; attempt < 50; ++attempt) {
        SYSTEMTIME localBefore, utcBefore, localAfter, utcAfter;
        GetLocalTime(&localBefore);
        GetSystemTime(&utcBefore);
        const ClockReading reading = Win32Clock().Now();
        GetLocalTime(&localAfter);
        GetSystemTime(&utcAfter);
        if (Seconds(localBefore) != Seconds(localAfter) || Seconds(utcBefore) != Seconds(utcAfter)) continue;
        EXPECT_EQ(Seconds(localBefore), reading.local);
        EXPECT_EQ(Seconds(utcBefore), reading.utc);
        EXPECT_GE(reading.millis, localBefore.wMilliseconds);
        EXPECT_LE(reading.millis, localAfter.wMilliseconds);
        TIME_ZONE_INFORMATION zone;
        const DWORD id = GetTimeZoneInformation(&zone);
        const LONG bias = zone.Bias + (id == TIME_ZONE_ID_DAYLIGHT ? zone.DaylightBias : zone.StandardBias);
        EXPECT_EQ(-60 * static_cast<int64_t>(bias), reading.local - reading.utc);
        // The conversions of any instant agree with the reading, in a zone without daylight saving.
        EXPECT_EQ(reading.utc, Win32Clock().LocalToUtc(reading.local));
        EXPECT_EQ(reading.local + 86400, Win32Clock().UtcToLocal(reading.utc + 86400));
        return;
    }
    FAIL() << "no reading fell within one second of both system clocks";
}
