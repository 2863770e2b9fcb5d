// The system clock as the window logic sees it: local wall-clock time, read afresh on every call.
#pragma once

#include <cstdint>

struct ClockReading {
    int64_t seconds;  // local time, whole seconds since 1601-01-01 00:00:00
    int millis;       // 0..999 within that second

    int SecondOfDay() const { return static_cast<int>(((seconds % 86400) + 86400) % 86400); }
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual ClockReading Now() const = 0;
};
