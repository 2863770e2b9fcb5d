// Timer1 on Win32: ticks once a second, each tick just after a new second of the clock begins, so that it
// neither drifts nor skips a second's text.
#pragma once

#include <windows.h>

#include "platform/Controls.h"

class Win32Timer : public Timer {
public:
    static constexpr UINT_PTR kId = 1;
    HWND hwnd = nullptr;

    bool Enabled() const override { return enabled_; }
    // On only once the system has taken the timer.
    void SetEnabled(bool enabled) override;
    // Called on WM_TIMER; true when this wake-up is a tick the window should act on.
    bool BeginTick();
    // Called after the tick's handler: arms the next tick if the timer is still on.
    void EndTick();
    // The system refused a timer (SetTimer failed): no tick will come, and the window must say so.
    bool Failed() const { return failed_; }

private:
    bool Arm(UINT delayMs);
    bool ArmForNextSecond();

    bool enabled_ = false;
    bool failed_ = false;
    bool steady_ = false;  // running with a one-second period from a tick on time
    bool onTime_ = false;  // the current tick came early in its second
    // The day and second of the last tick, to tell a wake-up before the second turned.
    long lastTick_ = -1;
};

// A plain timer of its own id on the window, with a fixed period: for a watch that needs a wake-up now and then,
// not the clock's alignment on the second.
class Win32IntervalTimer : public Timer {
public:
    Win32IntervalTimer(UINT_PTR id, UINT periodMs) : id_(id), periodMs_(periodMs) {}
    HWND hwnd = nullptr;

    UINT_PTR Id() const { return id_; }
    bool Enabled() const override { return enabled_; }
    // On only once the system has taken the timer.
    void SetEnabled(bool enabled) override;

private:
    UINT_PTR id_;
    UINT periodMs_;
    bool enabled_ = false;
};
