// Asking Windows to wake the computer from sleep or hibernation at a set moment, and taking that back.
#pragma once

#include <cstdint>

#include "platform/SystemCalls.h"

class WakeTimer {
public:
    explicit WakeTimer(SystemCalls& sys) : sys_(sys), timer_(sys) {}
    ~WakeTimer() { Release(); }
    WakeTimer(const WakeTimer&) = delete;
    WakeTimer& operator=(const WakeTimer&) = delete;

    // Sets the wake-up to the UTC second `utc` (seconds since 1601), or moves the one set. True when Windows will wake
    // the computer for it; false when it cannot: no timer (none held then), or one taken without the power to wake,
    // as where wake timers are off or unsupported (held, and released as a wake-up is).
    bool Set(int64_t utc);
    // Cancels the wake-up and closes its timer; nothing when none is held.
    void Release();
    bool Held() const { return timer_.Get() != 0; }

private:
    SystemCalls& sys_;
    SystemHandle timer_;
};
