// The system clock as the window logic sees it: the UTC time and the local time, read together afresh on every call.
#pragma once

#include <cstdint>

constexpr int64_t kSecondsPerDay = 86400;

// The second of the day (0..86399) of a count of seconds since a midnight, before it as well as after it.
constexpr int SecondOfDay(int64_t seconds) {
    return static_cast<int>(((seconds % kSecondsPerDay) + kSecondsPerDay) % kSecondsPerDay);
}

// One reading of the system time. Both clocks come from the same instant, so they never straddle a second: the
// local time is the UTC time converted with the zone's bias in force at that instant.
struct ClockReading {
    int64_t utc;    // whole seconds since 1601-01-01 00:00:00 UTC; daylight saving and zone changes leave it alone
    int64_t local;  // the same instant on the local wall clock (what the clock box shows), whole seconds since 1601
    int millis;     // 0..999 within that second
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual ClockReading Now() const = 0;
    // The system's own conversions of any instant, by the zone's rule for that date (daylight saving included), in
    // seconds since 1601. A local time that daylight saving skips or repeats converts as the system converts it.
    virtual int64_t LocalToUtc(int64_t local) const = 0;
    virtual int64_t UtcToLocal(int64_t utc) const = 0;
};
