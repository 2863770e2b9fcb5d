// Asking Windows to wake the computer from sleep or hibernation at a set moment, and taking that back.
#pragma once

#include <cstdint>

#include "platform/SystemCalls.h"

// Why the computer will not be woken for the time; None when nothing Windows says stands against it.
enum class WakeRefusal {
    None,
    // S0 low-power idle: a closed lid or the power button ends every keep-awake request at once, and desktop
    // programs, this one's clock included, are paused until the screen comes back.
    ModernStandby,
    // The active plan does not enable wake timers on mains (and perhaps not on battery either), or on battery alone.
    PowerOptions,
    PowerOptionsOnBattery,
    // Windows took the timer without the power to wake, or refused it.
    TimerRefused,
};

// What the kind of standby and the active plan let a wake timer do, asked of Windows: modern standby first, since no
// setting of the plan changes what it does, then the plan's "Allow wake timers" on mains, and on battery where the
// machine has one (or cannot say). None where Windows cannot say: XP has neither, and the timer's own answer stands.
WakeRefusal WakeRefusalOfWindows(SystemCalls& sys);

// The balloon's sentence for a refusal, UTF-8; nullptr for None. Each names what the user can change or avoid.
constexpr const char* WakeRefusalSentence(WakeRefusal refusal) {
    switch (refusal) {
    case WakeRefusal::None:
        return nullptr;
    case WakeRefusal::ModernStandby:
        return "Cet ordinateur a la veille moderne : si vous fermez le capot ou appuyez sur le bouton d'alimentation "
               "avant l'heure, l'action n'aura pas lieu.";
    case WakeRefusal::PowerOptions:
        return "Les options d'alimentation n'autorisent pas les minuteurs de sortie de veille : l'ordinateur ne "
               "sortira pas de veille de lui-même.";
    case WakeRefusal::PowerOptionsOnBattery:
        return "Sur batterie, les options d'alimentation n'autorisent pas les minuteurs de sortie de veille : "
               "l'ordinateur ne sortira pas de veille de lui-même.";
    case WakeRefusal::TimerRefused:
        return "Windows refuse de sortir l'ordinateur de veille à l'heure dite : ne le mettez pas en veille d'ici là.";
    }
    return nullptr;
}

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
