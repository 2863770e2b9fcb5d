// The system clock on Win32: one reading of the UTC time and of its conversion to the local time.
#pragma once

#include "platform/Clock.h"

class Win32Clock : public Clock {
public:
    ClockReading Now() const override;
};
