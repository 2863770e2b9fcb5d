// The trigger's rule: the clock text equal to the target, or its second passed over by a late tick or a jump ahead;
// a second passed over in a longer gap is reported as skipped.
#include "scheduler/Trigger.h"

#include <cstring>

#include "scheduler/TimeText.h"

namespace {

// Two checks further apart than this by the UTC clock are a resume, a stopped process or a clock set by hand, not a
// late tick: a target such a jump skipped is not fired.
constexpr int64_t kLongestLateTick = 60;

// Zones run from UTC-12 to UTC+14, so a change of zone or of daylight saving puts the local clock at most 26 hours
// further ahead. A larger lead is no zone change, and what it skipped is not fired.
constexpr int64_t kLargestZoneShift = 26 * 3600;

constexpr TriggerCheck kNothing{TriggerVerdict::Nothing, 0, false};

}  // namespace

TriggerCheck Trigger::Check(const char* target, size_t length, const ClockReading& now) {
    char clockText[kTimeTextCap];
    const int second = SecondOfDay(now.local);
    FormatTimeText(second, clockText);
    const bool exact = length == kTimeTextLength && std::memcmp(target, clockText, kTimeTextLength) == 0;
    TriggerCheck check = exact ? TriggerCheck{TriggerVerdict::Fire, second, false} : PassedOver(target, length, now);
    check.longGap = havePrevious_ && now.utc - previous_.utc > kLongestLateTick;
    havePrevious_ = true;
    previous_ = now;
    return check;
}

TriggerCheck Trigger::PassedOver(const char* target, size_t length, const ClockReading& now) const {
    if (!havePrevious_) return kNothing;
    const int64_t elapsed = now.utc - previous_.utc;
    // The UTC clock set back by hand: the local clock went back with it and passed over nothing.
    if (elapsed < 0) return kNothing;
    // On a late tick the local clock moved as far as the UTC clock; further when it jumped ahead. Moved back
    // (daylight saving ended, the zone moved west), it passed over nothing: the repeated times match as shown.
    const int64_t passed = now.local - previous_.local;
    if (passed <= 0 || passed > elapsed + kLargestZoneShift) return kNothing;
    // Only a text the time check accepts is a target: anything else can be neither fired nor missed.
    int targetSecond = 0;
    if (!ParseTimeText(target, length, &targetSecond)) return kNothing;
    // Seconds from the previous check forward to the target's next passage, across midnight if need be; the
    // previous check's own second comes round again only a day later.
    int64_t ahead = SecondOfDay(targetSecond - SecondOfDay(previous_.local));
    if (ahead == 0) ahead = kSecondsPerDay;
    if (ahead > passed) return kNothing;
    return {elapsed <= kLongestLateTick ? TriggerVerdict::Fire : TriggerVerdict::Skipped, targetSecond, false};
}

int64_t NextShowing(int targetSecond, const ClockReading& now, const Clock& clock) {
    // Daylight-saving changes move the clock by an hour, so a time of the day may be shown twice, an hour apart.
    constexpr int64_t kHour = 3600;
    int64_t local = now.local - SecondOfDay(now.local) + targetSecond;
    int64_t utc = clock.LocalToUtc(local);
    if (utc <= now.utc && clock.UtcToLocal(utc + kHour) == local) utc += kHour;
    if (utc <= now.utc) {
        local += kSecondsPerDay;
        utc = clock.LocalToUtc(local);
    }
    if (utc - kHour > now.utc && clock.UtcToLocal(utc - kHour) == local) utc -= kHour;
    // A time the clock skips converts to an instant at which the clock shows a later time; the jump over the target
    // came no later than that instant less the difference.
    const int64_t shown = clock.UtcToLocal(utc);
    if (shown > local) utc -= shown - local;
    return utc;
}

int64_t WakeMoment(int targetSecond, const ClockReading& now, const Clock& clock) {
    const int64_t showing = NextShowing(targetSecond, now, clock);
    return showing - kWakeLead > now.utc ? showing - kWakeLead : showing - kLateWakeLead;
}
