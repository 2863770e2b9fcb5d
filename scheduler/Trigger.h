// Whether a check of the clock reaches the time typed in the entry box, judged against the check before it.
#pragma once

#include <cstddef>

#include "platform/Clock.h"

class Trigger {
public:
    // True when the check at NOW fires TARGET (the entry box's text, LENGTH its whole length): the clock text equals
    // it, or the local clock passed over its second since the previous check while the UTC clock moved by no more
    // than a late tick. Every call becomes the previous check of the next one.
    bool Fires(const char* target, size_t length, const ClockReading& now);

private:
    bool PassedOver(const char* target, size_t length, const ClockReading& now) const;

    bool havePrevious_ = false;
    ClockReading previous_{};
};
