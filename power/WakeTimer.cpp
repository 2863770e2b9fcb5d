// The waitable timer that wakes the computer: created on first use, set to an absolute UTC time with resume on.
#include "power/WakeTimer.h"

bool WakeTimer::Set(int64_t utc) {
    if (!Held() && !sys_.CreateWaitableTimerW(false, &timer_)) return false;
    // A positive due time is absolute, in FILETIME ticks since 1601, as the program's seconds count.
    const SystemAnswer set = sys_.SetWaitableTimer(timer_.Get(), utc * kFileTimeTicksPerSecond, 0, true);
    if (!set) {
        Release();
        return false;
    }
    // Taken, but maybe as a plain timer, which Windows says in the last error: the computer would sleep on. The timer
    // is held all the same, and let go as a wake-up is.
    return set.error != kErrorNotSupported && set.error != kErrorTimerResumeIgnored;
}

void WakeTimer::Release() {
    if (!Held()) return;
    // A timer that will not cancel goes with its handle all the same.
    (void)sys_.CancelWaitableTimer(timer_.Get());
    timer_.Reset();
}
