// The trigger's rule on pairs of (UTC, local) clock readings, the window's countdowns across daylight saving, and
// what the window says of a target a long gap between two checks passed over.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "fake_form.h"
#include "scheduler/Trigger.h"
#include "scheduler/TimeText.h"

namespace {

constexpr int64_t D = 86400;
constexpr int64_t kBase = FakeClock::kMidnight;

// "hh:mm:ss" as seconds since 1601, on the base day.
int64_t S(const char* text) {
    int second = 0;
    EXPECT_TRUE(ParseTimeText(text, std::strlen(text), &second)) << text;
    return kBase + second;
}

struct Pair {
    int64_t utc, local;
};

// The verdict of a check at NOW that follows one at PREVIOUS, on a new trigger. The first check has nothing before
// it: only equality can fire there.
TriggerCheck CheckAfter(const char* target, Pair previous, Pair now) {
    Trigger trigger;
    const size_t length = std::strlen(target);
    trigger.Check(target, length, ClockReading{previous.utc, previous.local, 0});
    return trigger.Check(target, length, ClockReading{now.utc, now.local, 0});
}

}  // namespace

TEST(TriggerRule, FiresByTheLocalClockWhatTheUtcClockSaysWasOneTickAway) {
    struct Row {
        const char* name;
        const char* target;
        Pair previous, now;
        bool fires;
    } rows[] = {
        // A late tick: both clocks move the same, up to 60 s.
        {"late tick over it", "10:00:00", {S("09:59:59"), S("09:59:59")}, {S("10:00:01"), S("10:00:01")}, true},
        {"late tick of 60 s", "10:00:00", {S("09:59:59"), S("09:59:59")}, {S("10:00:59"), S("10:00:59")}, true},
        {"late tick of 60 s ending on it", "10:00:00", {S("09:59:00"), S("09:59:00")}, {S("10:00:00"), S("10:00:00")}, true},
        {"61 s: a jump", "10:00:00", {S("09:59:59"), S("09:59:59")}, {S("10:01:00"), S("10:01:00")}, false},
        {"61 s from a minute before", "10:00:00", {S("09:59:00"), S("09:59:00")}, {S("10:00:01"), S("10:00:01")}, false},
        {"not reached yet", "10:00:00", {S("09:59:50"), S("09:59:50")}, {S("09:59:59"), S("09:59:59")}, false},
        {"already behind", "10:00:00", {S("10:00:01"), S("10:00:01")}, {S("10:00:04"), S("10:00:04")}, false},
        {"late tick across midnight", "00:00:01", {S("23:59:59"), S("23:59:59")}, {S("00:00:02") + D, S("00:00:02") + D}, true},
        {"late tick to just before it across midnight", "00:00:03", {S("23:59:59"), S("23:59:59")},
         {S("00:00:02") + D, S("00:00:02") + D}, false},
        {"the clock set forward by hours", "10:00:00", {S("07:00:00"), S("07:00:00")}, {S("10:00:05"), S("10:00:05")}, false},
        {"a day and two seconds later", "10:00:00", {S("09:59:59"), S("09:59:59")}, {S("10:00:01") + D, S("10:00:01") + D}, false},
        {"the clock set back by hand over it", "10:00:00", {S("10:00:30"), S("10:00:30")}, {S("09:59:00"), S("09:59:00")}, false},
        {"the clock set back by hand onto it", "10:00:00", {S("10:00:30"), S("10:00:30")}, {S("10:00:00"), S("10:00:00")}, true},
        // Daylight saving starts, UTC+1 to UTC+2: the local clock goes from 01:59:59 to 03:00:00 in one tick.
        {"inside the skipped hour", "02:30:00", {S("00:59:59"), S("01:59:59")}, {S("01:00:00"), S("03:00:00")}, true},
        {"first skipped second", "02:00:00", {S("00:59:59"), S("01:59:59")}, {S("01:00:00"), S("03:00:00")}, true},
        {"last skipped second", "02:59:59", {S("00:59:59"), S("01:59:59")}, {S("01:00:00"), S("03:00:00")}, true},
        {"the second after the change", "03:00:01", {S("00:59:59"), S("01:59:59")}, {S("01:00:00"), S("03:00:00")}, false},
        {"the second before the change, already checked", "01:59:59", {S("00:59:59"), S("01:59:59")},
         {S("01:00:00"), S("03:00:00")}, false},
        {"a late tick over the change", "03:00:03", {S("00:59:50"), S("01:59:50")}, {S("01:00:05"), S("03:00:05")}, true},
        {"a resume over the change", "02:30:00", {S("00:59:00"), S("01:59:00")}, {S("01:01:01"), S("03:01:01")}, false},
        // The zone moved east: within the same UTC second, across midnight, and by a whole day (UTC-10 to UTC+14).
        {"a new zone set within the second", "12:00:00", {S("10:00:00"), S("10:00:00")}, {S("10:00:00"), S("15:30:00")}, true},
        {"daylight saving starting at midnight", "00:30:00", {S("03:59:59") + D, S("23:59:59")},
         {S("04:00:00") + D, S("01:00:00") + D}, true},
        {"UTC-5 to UTC+3 at 23:30, after midnight", "01:00:00", {S("04:29:59") + D, S("23:29:59")},
         {S("04:30:00") + D, S("07:30:00") + D}, true},
        {"UTC-5 to UTC+3 at 23:30, before it", "23:00:00", {S("04:29:59") + D, S("23:29:59")},
         {S("04:30:00") + D, S("07:30:00") + D}, false},
        {"UTC-5 to UTC+3 at 23:30, past the new time", "08:00:00", {S("04:29:59") + D, S("23:29:59")},
         {S("04:30:00") + D, S("07:30:00") + D}, false},
        {"a whole day skipped", "23:59:59", {S("09:59:59") + D, S("23:59:59")}, {S("10:00:00") + D, S("00:00:00") + 2 * D}, true},
        {"26 hours ahead, the most a zone can move", "12:00:00", {S("10:00:00"), S("10:00:00")},
         {S("10:00:01"), S("12:00:01") + D}, true},
        {"an absurd lead of 27 hours", "12:00:00", {S("10:00:00"), S("10:00:00")}, {S("10:00:01"), S("13:00:01") + D}, false},
        // Daylight saving ends, UTC+2 to UTC+1: 02:59:59 is followed by 02:00:00 again.
        {"repeated hour, matched as shown", "02:00:00", {S("00:59:59"), S("02:59:59")}, {S("01:00:00"), S("02:00:00")}, true},
        {"repeated hour, nothing extra", "02:30:00", {S("00:59:59"), S("02:59:59")}, {S("01:00:00"), S("02:00:00")}, false},
        {"a late tick over the end: nothing caught up", "02:00:01", {S("00:59:58"), S("02:59:58")},
         {S("01:00:03"), S("02:00:03")}, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.name) + ", target " + r.target);
        EXPECT_EQ(r.fires, CheckAfter(r.target, r.previous, r.now).verdict == TriggerVerdict::Fire);
    }
}

// The verdict beside the rule: what a late tick passes over fires; what a longer gap passes over (a sleep, a stopped
// process, the clock set forward by hand) is skipped, and named by its second so that it can be said.
TEST(TriggerRule, ATargetALongGapPassedOverIsSkippedAndNamed) {
    const TriggerVerdict Nothing = TriggerVerdict::Nothing, Fire = TriggerVerdict::Fire, Skipped = TriggerVerdict::Skipped;
    struct Row {
        const char* name;
        const char* target;
        Pair previous, now;
        TriggerVerdict verdict;
    } rows[] = {
        {"asleep eight hours over it", "08:30:00", {S("01:00:00"), S("01:00:00")}, {S("09:00:00"), S("09:00:00")}, Skipped},
        {"61 s: no late tick", "10:00:00", {S("09:59:59"), S("09:59:59")}, {S("10:01:00"), S("10:01:00")}, Skipped},
        {"a late tick of 60 s fires it", "10:00:00", {S("09:59:59"), S("09:59:59")}, {S("10:00:59"), S("10:00:59")}, Fire},
        {"woken on its very second", "09:00:00", {S("01:00:00"), S("01:00:00")}, {S("09:00:00"), S("09:00:00")}, Fire},
        {"asleep, woken before it", "08:30:00", {S("01:00:00"), S("01:00:00")}, {S("08:29:59"), S("08:29:59")}, Nothing},
        {"asleep from just after it", "08:30:00", {S("08:30:00"), S("08:30:00")}, {S("09:30:00"), S("09:30:00")}, Nothing},
        {"asleep across midnight", "02:00:00", {S("23:00:00"), S("23:00:00")}, {S("07:00:00") + D, S("07:00:00") + D}, Skipped},
        {"asleep a day and a second", "10:00:00", {S("10:00:01"), S("10:00:01")}, {S("10:00:02") + D, S("10:00:02") + D},
         Skipped},
        {"asleep three days, woken on it", "10:00:00", {S("09:00:00"), S("09:00:00")},
         {S("10:00:00") + 3 * D, S("10:00:00") + 3 * D}, Fire},
        {"the clock set forward by hand", "10:00:00", {S("07:00:00"), S("07:00:00")}, {S("10:00:05"), S("10:00:05")}, Skipped},
        {"the clock set back by hand over it", "10:00:00", {S("10:00:30"), S("10:00:30")}, {S("09:59:00"), S("09:59:00")},
         Nothing},
        {"a resume across the start of daylight saving", "02:30:00", {S("00:59:00"), S("01:59:00")},
         {S("01:01:01"), S("03:01:01")}, Skipped},
        {"a resume across its end, over the hour shown twice", "02:30:00", {S("00:29:00"), S("02:29:00")},
         {S("01:31:00"), S("02:31:00")}, Skipped},
        {"a lead of 27 hours: no zone does that", "12:00:00", {S("10:00:00"), S("10:00:00")},
         {S("10:02:00"), S("13:02:00") + D}, Nothing},
        {"a text the time check refuses", "8:30:00", {S("01:00:00"), S("01:00:00")}, {S("09:00:00"), S("09:00:00")},
         Nothing},
        {"the example text", "Exemple :                   20:30:00", {S("20:00:00"), S("20:00:00")},
         {S("21:00:00"), S("21:00:00")}, Nothing},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.name) + ", target " + r.target);
        const TriggerCheck check = CheckAfter(r.target, r.previous, r.now);
        EXPECT_EQ(static_cast<int>(r.verdict), static_cast<int>(check.verdict));
        if (r.verdict == Skipped) {
            char text[kTimeTextLength + 1];
            FormatTimeText(check.targetSecond, text);
            EXPECT_EQ(std::string(r.target), text);
        }
    }
    // The first check has nothing before it to have slept from.
    Trigger first;
    const TriggerCheck check = first.Check("08:30:00", 8, ClockReading{S("09:00:00"), S("09:00:00"), 0});
    EXPECT_EQ(static_cast<int>(Nothing), static_cast<int>(check.verdict));
}

// The moment to wake the computer: five minutes before the next showing of the target by the zone's rule, daylight
// saving included, or one where five are past. Each row's day has a change at 01:00 UTC (none where `by` is 0).
TEST(TriggerRule, TheWakeMomentIsFiveMinutesBeforeTheNextShowingOfTheTarget) {
    struct Row {
        const char* name;
        int64_t zone, by;  // the offset before the change, and what the change adds
        const char* now;   // local
        const char* target;
        int64_t wakeUtc;
    } rows[] = {
        {"an ordinary day", 3600, 0, "20:00:00", "22:30:00", S("21:25:00")},
        {"a target earlier than now: tomorrow", 3600, 0, "23:00:00", "06:00:00", S("04:55:00") + D},
        {"the target second itself: tomorrow", 3600, 0, "22:30:00", "22:30:00", S("21:25:00") + D},
        {"armed five minutes before: a minute before", 3600, 0, "22:25:00", "22:30:00", S("21:29:00")},
        {"armed within its last minute: today, already due", 3600, 0, "22:29:30", "22:30:00", S("21:29:00")},
        {"spring forward, a time after the change", 3600, 3600, "00:00:00", "03:30:00", S("01:25:00")},
        {"spring forward, a skipped time: before the jump", 3600, 3600, "00:00:00", "02:30:00", S("00:25:00")},
        {"fall back, a time shown twice: the first showing", 7200, -3600, "00:00:00", "02:30:00", S("00:25:00")},
        {"fall back, the first showing passed: the second", 7200, -3600, "02:45:00", "02:30:00", S("01:25:00")},
        {"a zone five hours east of UTC", 5 * 3600, 0, "20:00:00", "22:30:00", S("17:25:00")},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        FakeClock clock;
        clock.seconds = S(r.now);
        clock.zoneOffset = r.zone;
        clock.changeUtc = r.by != 0 ? S("01:00:00") : INT64_MAX;
        clock.changeBy = r.by;
        int target = 0;
        ASSERT_TRUE(ParseTimeText(r.target, 8, &target));
        EXPECT_EQ(r.wakeUtc, WakeMoment(target, clock.Now(), clock));
    }
}

// Armed for what leaves the computer off, the program asks Windows to wake it five minutes before the time, on an
// absolute UTC moment with resume on, and moves that moment when the zone changes; a restart asks for no wake-up.
TEST(Wake, ArmingSetsTheWakeUpForWhatLeavesTheComputerOffAndTheClockMovesIt) {
    const auto set = [](int64_t utc) { return "SetWaitableTimer(0x3c0, " + std::to_string(utc * 10000000) + ", 0, TRUE)"; };
    for (Option option : {Option::Arreter, Option::Veille, Option::Reboot}) {
        FormFixture f;
        f.clock.seconds = S("20:00:00");
        f.form->Form_Load();
        Select(f, option);
        f.TxTChoix.text = "22:30:00";
        f.form->Activer_Click();
        f.clock.ShiftZone(3600);  // an hour east: the same wall time comes an hour sooner
        f.form->SystemClockChanged();
        std::vector<std::string> timers;
        for (const std::string& t : f.system.Texts()) {
            if (t.find("WaitableTimer") != std::string::npos) timers.push_back(t);
        }
        const std::vector<std::string> wanted = {"CreateWaitableTimerW(FALSE, &)", set(S("22:25:00")), set(S("21:25:00"))};
        EXPECT_EQ(option == Option::Reboot ? std::vector<std::string>() : wanted, timers);
        // Armed again for a restart: whatever wake-up the first arming set is taken back.
        Select(f, Option::Reboot);
        f.form->Activer_Click();
        EXPECT_EQ(option == Option::Reboot ? 0u : 1u, f.system.Count("CancelWaitableTimer"));
        EXPECT_EQ(0u, f.system.OpenHandles());
    }
}

namespace {

// One tick after the clocks moved: the UTC clock (and the local with it) by `by`, then the local clock alone by
// `zone`.
struct Step {
    int64_t by, zone;
};

std::vector<Step> Seconds(int n) { return std::vector<Step>(static_cast<size_t>(n), Step{1, 0}); }

std::vector<Step> Then(std::vector<Step> a, const std::vector<Step>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

}  // namespace

// Armed with "OK", the window waits; each firing either runs the countdown out on the ticks that follow or is
// cancelled at once.
TEST(TriggerRule, DaylightSavingOnTheWindowsClockStartsEachCountdownOnceAndActsOnce) {
    struct Case {
        const char* name;
        const char* start;  // the local time at load
        const char* target;
        std::vector<Step> steps;
        bool cancelAtOnce;
        std::vector<std::string> firedAt;  // the clock box at each start of a countdown
        size_t actions;
    } cases[] = {
        {"a time of the skipped hour fires at the change", "01:59:56", "02:30:00",
         Then(Then(Seconds(3), {{1, 3600}}), Seconds(8)), false, {"03:00:00"}, 1},
        {"a time just after the skipped hour fires at its time", "01:59:56", "03:00:04",
         Then(Then(Seconds(3), {{1, 3600}}), Seconds(12)), false, {"03:00:04"}, 1},
        {"the countdown runs on to one action as daylight saving ends", "02:59:55", "02:59:58",
         Then(Then(Seconds(4), {{1, -3600}}), Seconds(3600)), false, {"02:59:58"}, 1},
        {"after a cancel the repeated hour fires again", "02:09:58", "02:10:00",
         Then(Then(Seconds(3001), {{1, -3600}}), Seconds(700)), true, {"02:10:00", "02:10:00"}, 0},
        {"daylight saving starts during the countdown: no gap, it acts", "01:59:56", "01:59:58",
         Then(Then(Seconds(3), {{1, 3600}}), Seconds(5)), false, {"01:59:58"}, 1},
        {"a resume across the change fires nothing skipped", "01:59:56", "02:30:00",
         Then(Then(Seconds(3), {{90, 3600}}), Seconds(5)), true, {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FormFixture f;
        f.clock.seconds = S(c.start);
        f.clock.zoneOffset = 3600;
        f.form->Form_Load();
        f.TxTChoix.text = c.target;
        f.form->Activer_Click();
        ASSERT_TRUE(f.form->Tray.InTray());
        std::vector<std::string> firedAt;
        for (const Step& s : c.steps) {
            const bool wasCounting = f.form->Declenche == kTrue;
            f.clock.Advance(s.by);
            f.clock.ShiftZone(s.zone);
            f.Tick();
            if (wasCounting || f.form->Declenche != kTrue) continue;
            firedAt.push_back(f.TxtHeure.text);
            EXPECT_EQ("5", f.LblDecompte.caption);
            EXPECT_TRUE(f.host.visible);
            if (c.cancelAtOnce) f.form->cmdCancel_Click();
        }
        EXPECT_EQ(c.firedAt, firedAt);
        EXPECT_EQ(c.actions, f.system.Count("ExitWindowsEx"));
        if (c.actions != 0) {
            EXPECT_EQ("0", f.LblDecompte.caption);
        }
        // One beep per countdown cancelled on its first tick; five before each action.
        EXPECT_EQ(static_cast<int>(c.cancelAtOnce ? firedAt.size() : 5 * c.actions), f.host.beeps);
    }
}

namespace {

const char kMissed2030[] =
    "L'heure programmée, 20:30:00, est passée pendant que l'ordinateur était en veille ou que le programme était "
    "arrêté : l'action prévue n'a pas eu lieu.\nElle aura lieu quand l'horloge affichera de nouveau 20:30:00, sauf "
    "si vous fermez le programme.";

// Armed with "OK" for 20:30:00 at 20:29:50, then ticked second by second to 20:29:58.
void ArmFor2030(FormFixture& f) {
    f.clock.SetTimeOfDay(20, 29, 50);
    f.form->Form_Load();
    f.TxTChoix.text = "20:30:00";
    f.form->Activer_Click();
    ASSERT_TRUE(f.form->Tray.InTray());
    for (int i = 0; i < 8; ++i) f.NextSecond();
}

// The power requests, and the token opened to adjust privileges before them (the check at "OK" only queries it).
size_t PowerCalls(const FakeSystemCalls& s) {
    size_t adjusting = 0;
    for (const std::string& text : s.Texts()) {
        adjusting += text.rfind("OpenProcessToken(", 0) == 0 && text.find(", 0x28,") != std::string::npos;
    }
    return s.Count("ExitWindowsEx") + s.Count("SetSystemPowerState") + s.Count("CreateProcessUtf8") + adjusting;
}

}  // namespace

// A machine asleep or a program stopped across the target: nothing is done, as before, but the window comes back in
// front without the keyboard and says which time was missed, why, and that it stays armed.
TEST(MissedTime, AGapOverTheTargetBringsTheWindowBackAndSaysSoWithoutActing) {
    struct Case {
        const char* name;
        int64_t gap;    // seconds from 20:29:58 to the next tick
        bool told;      // the missed time said
        bool fires;     // a countdown starts instead
    } cases[] = {
        {"asleep a quarter of an hour", 15 * 60, true, false},
        {"stopped 61 s", 61, true, false},
        {"asleep until the next morning", 12 * 3600, true, false},
        {"a late tick of 60 s", 60, false, true},
        {"the clock set back an hour by hand", -3600, false, false},
        {"asleep a day and woken on its second", 86400 + 2, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FormFixture f;
        ArmFor2030(f);
        const size_t steps = f.host.log.size();
        const size_t calls = f.system.calls.size();
        f.clock.Advance(c.gap);
        f.Tick();
        EXPECT_EQ(c.fires ? kTrue : kFalse, f.form->Declenche);
        if (!c.told) {
            EXPECT_TRUE(f.host.messages.empty());
            EXPECT_EQ(c.fires, f.host.visible);
            continue;
        }
        ASSERT_EQ(1u, f.host.messages.size());
        EXPECT_EQ(kMissed2030, f.host.messages[0].prompt);
        EXPECT_EQ("Tarveil XP", f.host.messages[0].title);
        EXPECT_EQ(kMbOk | kMbIconWarning, f.host.messages[0].style);
        // In front for as long as the box is up, the icon gone, the window shown; back among the others once read.
        const std::vector<std::string> journal = f.host.Journal();
        const std::vector<std::string> expected = {"InFront(true)", "Shell_NotifyIconA", "Show", "ShowMessage",
                                                   "InFront(false)"};
        EXPECT_EQ(expected, std::vector<std::string>(journal.end() - 5, journal.end()));
        EXPECT_EQ("Shell_NotifyIconA(0x2, &)", f.system.calls.back().Text());
        EXPECT_EQ(calls + 1, f.system.calls.size()) << "the icon's removal is the only call";
        EXPECT_EQ(steps + 4, f.host.log.size());
        EXPECT_TRUE(f.host.visible);
        EXPECT_FALSE(f.host.inFront);
        EXPECT_FALSE(f.form->Tray.InTray());
        EXPECT_TRUE(f.LblDecompte.caption == "6" && !f.LblDecompte.visible && !f.cmdCancel.visible);
        // Still armed: the entry keeps its time, the clock runs, and the time acts when the clock next shows it.
        EXPECT_EQ("20:30:00", f.TxTChoix.text);
        EXPECT_TRUE(f.Timer1.enabled);
        f.clock.SetTimeOfDay(20, 29, 58);
        f.clock.Advance(kSecondsPerDay);
        f.Tick();
        EXPECT_EQ(kFalse, f.form->Declenche);
        for (int i = 0; i < 2; ++i) f.NextSecond();
        EXPECT_EQ(kTrue, f.form->Declenche);
        EXPECT_EQ("20:30:00", f.TxtHeure.text);
        for (int i = 0; i < 5; ++i) f.NextSecond();
        EXPECT_EQ(1u, f.system.Count("ExitWindowsEx"));
        EXPECT_EQ(1u, f.host.messages.size()) << "said once";
    }
}

// A countdown whose ticks a sleep or a stopped process cut apart stops as "ANNULER !" stops it and says the time
// missed, once; a late tick or the clock set back by hand leaves it counting.
TEST(MissedTime, ACountdownCutByAGapStopsWithoutActingAndSaysSoOnce) {
    struct Case {
        const char* name;
        int64_t gap;  // seconds between the countdown's "3" and the next tick
        bool cut;
    } cases[] = {
        {"stopped 61 s", 61, true},
        {"asleep two days, over the target's next passages", 2 * kSecondsPerDay, true},
        {"a late tick of 60 s", 60, false},
        {"the clock set back an hour by hand", -3600, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FormFixture f;
        ArmFor2030(f);
        // Ticks under the box find the countdown already stopped.
        f.host.whileMessageShown = [&f] {
            f.host.whileMessageShown = nullptr;
            for (int i = 0; i < 6; ++i) f.NextSecond();
        };
        for (int i = 0; i < 4; ++i) f.NextSecond();  // to 20:30:00 and the two steps after it
        ASSERT_EQ("3", f.LblDecompte.caption);
        f.clock.Advance(c.gap - 1);
        for (int i = 0; i < 6; ++i) f.NextSecond();
        EXPECT_EQ(c.cut ? 0u : 1u, f.system.Count("ExitWindowsEx"));
        ASSERT_EQ(c.cut ? 1u : 0u, f.host.messages.size());
        if (!c.cut) continue;
        EXPECT_EQ(kMissed2030, f.host.messages[0].prompt);
        EXPECT_TRUE(f.LblDecompte.caption == "6" && !f.cmdCancel.visible && f.form->Declenche == kFalse);
        EXPECT_TRUE(f.host.visible && !f.host.inFront && f.Timer1.enabled);
        EXPECT_EQ(2u, f.system.Count("SetThreadExecutionState")) << "kept awake from the arming to the cut";
        EXPECT_EQ(0u, PowerCalls(f.system));
    }
}

// The box's modal loop keeps dispatching the window's messages: while it waits for a reader the clock goes on, and
// the next passage of the time starts its countdown and acts; the window then stays in front for the countdown.
TEST(MissedTime, TheClockAndALaterCountdownGoOnUnderTheBox) {
    FormFixture f;
    ArmFor2030(f);
    f.host.whileMessageShown = [&f] {
        f.host.whileMessageShown = nullptr;
        // A whole day of late ticks, a minute apart: the one that passes over 20:30:00 starts the countdown.
        for (int minute = 0; minute < 24 * 60 && f.form->Declenche != kTrue; ++minute) {
            f.clock.Advance(60);
            f.Tick();
        }
        ASSERT_EQ(kTrue, f.form->Declenche) << "no minute's tick passed over 20:30:00 in a day";
        for (int i = 0; i < 5; ++i) f.NextSecond();
    };
    f.clock.Advance(10 * 60);
    f.Tick();
    ASSERT_EQ(1u, f.host.messages.size());
    EXPECT_EQ(1u, f.system.Count("ExitWindowsEx"));
    EXPECT_EQ("0", f.LblDecompte.caption);
    EXPECT_TRUE(f.host.inFront);
    EXPECT_EQ(0u, f.host.Count("InFront(false)"));
}
