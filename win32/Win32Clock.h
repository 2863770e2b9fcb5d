// The system clock on Win32: one reading of the UTC time and of its conversion to the local time.
#pragma once

#include "platform/Clock.h"

class Win32Clock : public Clock {
public:
    ClockReading Now() const override;
    int64_t LocalToUtc(int64_t local) const override;
    int64_t UtcToLocal(int64_t utc) const override;
};
