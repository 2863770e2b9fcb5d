// Timer1 on Win32, lined up on the start of each second.
#include "win32/Win32Timer.h"

namespace {

// How long after the start of a second a tick is due: late enough that the clock has surely turned,
// early enough that the second's text shows at once.
constexpr UINT kTickDelayMs = 8;
// A tick this far into its second or less is on time; a later one makes the timer line up again.
constexpr WORD kOnTimeMs = 60;

long DayAndSecond(const SYSTEMTIME& st) {
    return static_cast<long>(st.wDay) * 86400L + st.wHour * 3600L + st.wMinute * 60L + st.wSecond;
}

}  // namespace

void Win32Timer::SetEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    if (enabled) {
        lastTick_ = -1;
        // On only once the system has taken the timer, so that the caller can tell a refusal.
        enabled_ = ArmForNextSecond();
    } else {
        // The timer may already be gone with its window; nothing is left to stop then.
        (void)KillTimer(hwnd, kId);
    }
}

bool Win32Timer::Arm(UINT delayMs) {
    if (SetTimer(hwnd, kId, delayMs, nullptr) != 0) return true;
    failed_ = true;
    return false;
}

bool Win32Timer::ArmForNextSecond() {
    // One wake-up just after the next second begins; the tick there sets the steady one-second period.
    SYSTEMTIME st;
    GetLocalTime(&st);
    steady_ = false;
    return Arm(1000 - st.wMilliseconds + kTickDelayMs);
}

bool Win32Timer::BeginTick() {
    if (!enabled_) {
        (void)KillTimer(hwnd, kId);
        return false;
    }
    SYSTEMTIME st;
    GetLocalTime(&st);
    const long tick = DayAndSecond(st);
    if (tick == lastTick_) {
        // Woken before the second turned: wait for it rather than tick twice in one second.
        ArmForNextSecond();
        return false;
    }
    lastTick_ = tick;
    onTime_ = st.wMilliseconds <= kOnTimeMs;
    return true;
}

void Win32Timer::EndTick() {
    if (!enabled_) return;
    // A one-second timer left alone keeps its phase; it is touched only to line it up again when a tick
    // has drifted (or the clock was set), so a waiting program makes no timer call in a second.
    if (!onTime_) {
        ArmForNextSecond();
    } else if (!steady_) {
        Arm(1000);
        steady_ = true;
    }
}

void Win32IntervalTimer::SetEnabled(bool enabled) {
    if (enabled == enabled_) return;
    if (enabled) {
        enabled_ = SetTimer(hwnd, id_, periodMs_, nullptr) != 0;
    } else {
        enabled_ = false;
        // The timer may already be gone with its window; nothing is left to stop then.
        (void)KillTimer(hwnd, id_);
    }
}
