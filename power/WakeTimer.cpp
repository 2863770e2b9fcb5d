// The waitable timer that wakes the computer: created on first use, set to an absolute UTC time with resume on; and
// what the standby kind and the power plan let it do.
#include "power/WakeTimer.h"

namespace {

// Whether the active plan enables wake timers where it applies: Windows applies "Allow wake timers" only as the
// machine goes to sleep, and SetWaitableTimer takes a timer with resume on whatever it says. Unknown where the plan
// cannot be read: XP has no such functions.
enum class PlanWake { Unknown, Allowed, ForbiddenOnMains, ForbiddenOnBattery };

PlanWake ReadPlan(SystemCalls& sys, bool battery) {
    uint32_t scheme = 0;
    if (!sys.PowerGetActiveScheme(&scheme)) return PlanWake::Unknown;
    // A value that cannot be read stays Enable: Windows cannot say, and the timer's answer stands.
    uint32_t mains = kWakeTimersEnable, onBattery = kWakeTimersEnable;
    if (sys.PowerReadACValueIndex(scheme, &kGuidSleepSubgroup, &kGuidAllowRtcWake, &mains) && battery) {
        (void)sys.PowerReadDCValueIndex(scheme, &kGuidSleepSubgroup, &kGuidAllowRtcWake, &onBattery);
    }
    // Given back on every path; a refusal leaves nothing to do about it.
    (void)sys.LocalFree(scheme);
    // Anything but Enable: Disable, or "Important wake timers only", which only the system's own timers are.
    if (mains != kWakeTimersEnable) return PlanWake::ForbiddenOnMains;
    if (onBattery != kWakeTimersEnable) return PlanWake::ForbiddenOnBattery;
    return PlanWake::Allowed;
}

}  // namespace

WakeRefusal WakeRefusalOfWindows(SystemCalls& sys) {
    PowerCapabilitiesRecord capabilities;
    // Where the capabilities cannot be read, a battery is taken as possible: a promise is made only where it holds.
    if (!sys.CallNtPowerInformation(kSystemPowerCapabilities, &capabilities, kSystemPowerCapabilitiesSize)) {
        capabilities.SystemBatteriesPresent = true;
    } else if (capabilities.AoAc) {
        return WakeRefusal::ModernStandby;
    }
    switch (ReadPlan(sys, capabilities.SystemBatteriesPresent)) {
    case PlanWake::ForbiddenOnMains: return WakeRefusal::PowerOptions;
    case PlanWake::ForbiddenOnBattery: return WakeRefusal::PowerOptionsOnBattery;
    case PlanWake::Unknown:
    case PlanWake::Allowed: break;
    }
    return WakeRefusal::None;
}

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
