// The system clock on Win32.
#pragma once

#include "platform/clock.h"

class Win32Clock : public Clock {
public:
    ClockReading Now() const override;
};
