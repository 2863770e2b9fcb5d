// Whether a check of the clock reaches the time typed in the entry box, judged against the check before it.
#pragma once

#include <cstddef>

#include "platform/Clock.h"

// What one check of the clock decides.
enum class TriggerVerdict {
    Nothing,
    Fire,
    // The local clock passed over the target while the checks were further apart than a late tick may be (the
    // machine slept, the program was stopped, the clock was set forward by hand): not acted on, but to be said.
    Skipped,
};

struct TriggerCheck {
    TriggerVerdict verdict;
    int targetSecond;  // the target's second of the day (0..86399) for Fire and Skipped; 0 otherwise
    // The UTC clock moved further forward since the previous check than a late tick may: the machine slept, the
    // program was stopped, or the clock was set forward by hand.
    bool longGap;
};

// How long before the target the computer is woken from sleep. The first clock check after a resume must come before
// the target: a check that finds it passed after a gap longer than a late tick takes it as slept through and does
// not act. A resume from hibernation on an old machine is the firmware's start and then the whole memory image read
// back from a slow disk, a gigabyte or two at 15 to 30 MB/s: well over a minute, up to three. Five minutes covers
// that with room to spare, and costs only five minutes of a machine awake before it goes off.
constexpr int64_t kWakeLead = 5 * 60;
// Armed closer to the time than kWakeLead: the wake-up such a lead asks for is already past, and a sleep in what is
// left would run on. The minute the program always gave still wakes a machine that resumes quickly.
constexpr int64_t kLateWakeLead = 60;

// The UTC second of the next moment after NOW at which the local clock shows the target second of the day, or jumps
// past it as daylight saving starts: when a clock text typed now acts. Of a time shown twice as daylight saving ends,
// the first showing still ahead.
int64_t NextShowing(int targetSecond, const ClockReading& now, const Clock& clock);

// The UTC second at which to wake the computer for the target second of the day: kWakeLead (or, where that is past,
// kLateWakeLead) before its next showing.
int64_t WakeMoment(int targetSecond, const ClockReading& now, const Clock& clock);

class Trigger {
public:
    // The verdict of the check at NOW on TARGET (the entry box's text, LENGTH its whole length): Fire when the clock
    // text equals it, or when the local clock passed over its second since the previous check while the UTC clock
    // moved by no more than a late tick; Skipped when the local clock passed over it while the UTC clock moved
    // further. Every call becomes the previous check of the next one.
    TriggerCheck Check(const char* target, size_t length, const ClockReading& now);

private:
    TriggerCheck PassedOver(const char* target, size_t length, const ClockReading& now) const;

    bool havePrevious_ = false;
    ClockReading previous_{};
};
