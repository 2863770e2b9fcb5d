// The trigger, the five-second countdown, the power action at its end and "ANNULER !", on a clock set by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "fake_form.h"

namespace {

// The window object on fakes, with the helpers of a countdown.
struct Countdown {
    FormFixture f;

    // Loaded at `h:m:s - lead` seconds, target typed and "OK" pressed, then ticked up to the second before it.
    void ArmFor(int h, int m, int s, const char* target, int lead = 3) {
        f.clock.SetTimeOfDay(h, m, s);
        f.clock.Advance(-lead);
        f.form->Form_Load();
        f.form->TxTChoix_Click();
        f.TxTChoix.text = target;
        f.form->Activer_Click();
        for (int i = 1; i < lead; ++i) f.NextSecond();
    }

    bool CountdownShown() const {
        return f.LblDecompte.visible && f.Line8.visible && f.Line9.visible && f.Line10.visible && f.cmdCancel.visible;
    }
    bool CountdownHidden() const {
        return !f.LblDecompte.visible && !f.Line8.visible && !f.Line9.visible && !f.Line10.visible &&
               !f.cmdCancel.visible;
    }
    // All four flashing controls in one colour, or 1 when they differ.
    Colour FlashColour() const {
        const Colour c = f.LblFond.back;
        return f.ChkReboot.back == c && f.ChkArreter.back == c && f.ChkVeille.back == c ? c : 1;
    }
    size_t PowerCalls() const {
        return f.system.Count("ExitWindowsEx") + f.system.Count("SetSystemPowerState") +
               f.system.Count("CreateProcessUtf8") + f.system.Count("GetSystemDirectoryUtf8") +
               f.system.Count("AdjustTokenPrivileges");
    }
    size_t TrayRemovals() const {
        size_t n = 0;
        for (const FakeCall& c : f.system.calls) n += c.name == "Shell_NotifyIconA" && c.args[0] == "0x2";
        return n;
    }
    // Ticks through the whole countdown from its first second.
    void RunOut() {
        for (int i = 0; i < 6 && f.Timer1.enabled; ++i) f.NextSecond();
    }
};

}  // namespace

TEST(Countdown, SixTicksFromTheTargetSecondFlashBeepAndEndInTheAction) {
    Countdown t;
    t.ArmFor(10, 0, 0, "10:00:00");
    ASSERT_FALSE(t.f.host.visible) << "\"OK\" sends the window to the tray";
    ASSERT_EQ(kFalse, t.f.form->Declenche);
    ASSERT_FALSE(t.f.host.inFront);

    struct Row {
        const char* clock;
        const char* caption;
        Colour colour;
        int beeps;  // total so far
        bool timerOn;
    } rows[] = {
        {"10:00:00", "5", kRed, 1, true},   {"10:00:01", "4", kWhite, 2, true}, {"10:00:02", "3", kRed, 3, true},
        {"10:00:03", "2", kWhite, 4, true}, {"10:00:04", "1", kRed, 5, true},  {"10:00:05", "0", kWhite, 5, false},
    };
    int tick = 0;
    for (const Row& r : rows) {
        ++tick;
        SCOPED_TRACE(std::string("tick ") + std::to_string(tick) + " at " + r.clock);
        const size_t callsBefore = t.f.system.calls.size();
        const size_t shows = t.f.host.Count("Show"), removals = t.TrayRemovals();
        t.f.NextSecond();
        EXPECT_EQ(r.clock, t.f.TxtHeure.text);
        EXPECT_EQ(kTrue, t.f.form->Declenche);
        EXPECT_EQ(r.caption, t.f.LblDecompte.caption);
        EXPECT_EQ(r.colour, t.f.LblFond.back);
        EXPECT_EQ(r.colour, t.f.ChkReboot.back);
        EXPECT_EQ(r.colour, t.f.ChkArreter.back);
        EXPECT_EQ(r.colour, t.f.ChkVeille.back);
        EXPECT_EQ(r.beeps, t.f.host.beeps);
        EXPECT_EQ(r.timerOn, t.f.Timer1.enabled);
        EXPECT_TRUE(t.CountdownShown());
        // Brought back from the tray on every tick, so a window hidden again mid-countdown reappears.
        EXPECT_EQ(shows + 1, t.f.host.Count("Show"));
        EXPECT_EQ(removals + 1, t.TrayRemovals());
        EXPECT_TRUE(t.f.host.visible);
        // shown above the other windows from the first step on, without taking the focus
        EXPECT_TRUE(t.f.host.inFront);
        EXPECT_FALSE(t.f.form->Tray.InTray());
        if (r.timerOn) {
            EXPECT_EQ(0u, t.PowerCalls()) << "no action before the count reaches 0";
            continue;
        }
        // Power-off, the option selected at start: the timer stops, then the wake-up is taken back and the machine
        // may sleep again, then the action's first call.
        ASSERT_GT(t.f.system.calls.size(), callsBefore + 4);
        EXPECT_EQ("Shell_NotifyIconA", t.f.system.calls[callsBefore].name);
        EXPECT_EQ(static_cast<long>(callsBefore + 1), t.f.Timer1.callsWhenStopped);
        EXPECT_EQ("CancelWaitableTimer(0x3c0)", t.f.system.calls[callsBefore + 1].Text());
        EXPECT_EQ("CloseHandle(0x3c0)", t.f.system.calls[callsBefore + 2].Text());
        EXPECT_EQ("SetThreadExecutionState(0x80000000)", t.f.system.calls[callsBefore + 3].Text());
        EXPECT_EQ("GetCurrentProcess", t.f.system.calls[callsBefore + 4].name);
        EXPECT_EQ("ExitWindowsEx(0xd, 0x0)", t.f.system.calls.back().Text());
        // Nothing follows the action on the last tick (that it has no beep is in the beeps column).
        EXPECT_EQ("ExitWindowsEx", t.f.host.Journal().back());
    }
    EXPECT_EQ(1u, t.f.system.Count("ExitWindowsEx"));

    // The stopped timer ticks no more: nothing further happens as the clock moves on.
    const size_t calls = t.f.system.calls.size();
    for (int i = 0; i < 3; ++i) t.f.NextSecond();
    EXPECT_EQ(calls, t.f.system.calls.size());
    EXPECT_EQ("0", t.f.LblDecompte.caption);
    EXPECT_EQ("10:00:05", t.f.TxtHeure.text);
}

TEST(Countdown, FlashingTurnsOnlyExactWhiteToRedAndAnyOtherColourToWhite) {
    struct Case {
        Colour before, after;
    } cases[] = {{kWhite, kRed}, {kRed, kWhite}, {0xFFFFFE, kWhite}, {0x000000, kWhite}, {0x00C8C8, kWhite}};
    for (const Case& c : cases) {
        Countdown t;
        t.ArmFor(10, 0, 0, "10:00:00");
        t.f.LblFond.back = t.f.ChkReboot.back = t.f.ChkArreter.back = t.f.ChkVeille.back = c.before;
        t.f.NextSecond();
        EXPECT_EQ(c.after, t.FlashColour()) << std::hex << c.before;
    }
}

TEST(Countdown, ClosingTheWindowDuringTheCountdownRunsNoAction) {
    Countdown t;
    t.ArmFor(10, 0, 0, "10:00:00");
    t.f.NextSecond();
    t.f.NextSecond();
    t.f.form->SysCroix_Click();
    EXPECT_TRUE(t.f.host.unloaded);
    EXPECT_FALSE(t.f.form->Form_QueryUnload(kFromControlMenu)) << "the close goes ahead";
    EXPECT_EQ(0u, t.PowerCalls());
}

TEST(Cancel, DuringTheCountdownStopsItAndLeavesTheRestAlone) {
    for (int ticks = 1; ticks <= 5; ++ticks) {
        SCOPED_TRACE("cancelled after tick " + std::to_string(ticks));
        Countdown t;
        t.ArmFor(10, 0, 0, "10:00:00");
        for (int i = 0; i < ticks; ++i) t.f.NextSecond();
        const int16_t valid = t.f.form->HeureValide;
        const size_t calls = t.f.system.calls.size();
        const size_t hides = t.f.host.Count("Hide");
        const bool taskVisible = t.f.host.taskVisible;

        t.f.form->cmdCancel_Click();
        EXPECT_EQ(kFalse, t.f.form->Declenche);
        EXPECT_TRUE(t.CountdownHidden());
        EXPECT_EQ("6", t.f.LblDecompte.caption);
        EXPECT_EQ(kWhite, t.FlashColour());
        EXPECT_EQ("10:00:00", t.f.TxTChoix.text);
        EXPECT_EQ(valid, t.f.form->HeureValide);
        EXPECT_TRUE(t.f.host.visible);
        EXPECT_FALSE(t.f.host.inFront) << "back among the other windows";
        EXPECT_EQ(hides, t.f.host.Count("Hide"));
        EXPECT_EQ(taskVisible, t.f.host.taskVisible);
        // No icon added or removed; the wake-up taken back, and the machine may sleep again.
        const std::vector<std::string> texts = t.f.system.Texts();
        EXPECT_EQ((std::vector<std::string>{"CancelWaitableTimer(0x3c0)", "CloseHandle(0x3c0)",
                                            "SetThreadExecutionState(0x80000000)"}),
                  std::vector<std::string>(texts.begin() + static_cast<long>(calls), texts.end()));
        EXPECT_TRUE(t.f.Timer1.enabled);

        // Past the second the action would have come: the clock runs on, nothing else happens.
        const int beeps = t.f.host.beeps;
        for (int i = 0; i < 8; ++i) t.f.NextSecond();
        const int second = ticks - 1 + 8;
        EXPECT_EQ(std::string("10:00:") + (second < 10 ? "0" : "") + std::to_string(second), t.f.TxtHeure.text);
        EXPECT_EQ(0u, t.PowerCalls());
        EXPECT_EQ(beeps, t.f.host.beeps);
        EXPECT_TRUE(t.CountdownHidden());
        EXPECT_EQ("6", t.f.LblDecompte.caption);
    }
}

TEST(Cancel, AfterTheActionRanReturnsToWaitingAndTheSameTimeFiresTheNextDay) {
    Countdown t;
    t.ArmFor(10, 0, 0, "10:00:00");
    t.RunOut();
    ASSERT_FALSE(t.f.Timer1.enabled);
    ASSERT_EQ(1u, t.f.system.Count("ExitWindowsEx"));

    // Still alive (the system refused or ignored the request): the user dismisses the countdown later on.
    t.f.clock.Advance(20);
    t.f.form->cmdCancel_Click();
    EXPECT_TRUE(t.f.Timer1.enabled);
    EXPECT_EQ(kFalse, t.f.form->Declenche);
    EXPECT_TRUE(t.CountdownHidden());
    EXPECT_EQ("6", t.f.LblDecompte.caption);
    EXPECT_EQ(kWhite, t.FlashColour());

    t.f.NextSecond();
    EXPECT_EQ("10:00:26", t.f.TxtHeure.text) << "the clock moves again";
    EXPECT_EQ(kFalse, t.f.form->Declenche);
    EXPECT_TRUE(t.CountdownHidden());

    // The next day, one second before the same time, then at it.
    t.f.clock.Advance(86400 - 27);
    t.f.Tick();
    EXPECT_EQ("09:59:59", t.f.TxtHeure.text);
    EXPECT_EQ(kFalse, t.f.form->Declenche);
    t.f.NextSecond();
    EXPECT_EQ(kTrue, t.f.form->Declenche);
    EXPECT_EQ("5", t.f.LblDecompte.caption);
    EXPECT_EQ(kRed, t.FlashColour());
    t.RunOut();
    EXPECT_EQ(2u, t.f.system.Count("ExitWindowsEx"));
}

TEST(Cancel, ASecondCountdownStartsAtFiveFromWhite) {
    // Cancelled on a red tick and on a white one: either way the next countdown opens "5", red.
    for (int ticks : {3, 4}) {
        SCOPED_TRACE("first countdown cancelled after tick " + std::to_string(ticks));
        Countdown t;
        t.ArmFor(10, 0, 0, "10:00:00");
        for (int i = 0; i < ticks; ++i) t.f.NextSecond();
        t.f.form->cmdCancel_Click();

        t.f.TxTChoix.text = "10:00:30";
        t.f.form->Activer_Click();
        while (t.f.TxtHeure.text != "10:00:29") t.f.NextSecond();
        EXPECT_EQ(kFalse, t.f.form->Declenche);
        const int beeps = t.f.host.beeps;
        t.f.NextSecond();
        EXPECT_EQ("5", t.f.LblDecompte.caption);
        EXPECT_EQ(kRed, t.FlashColour());
        EXPECT_TRUE(t.CountdownShown());
        EXPECT_TRUE(t.f.host.visible);
        t.RunOut();
        EXPECT_EQ(beeps + 5, t.f.host.beeps);
        EXPECT_EQ(1u, t.f.system.Count("ExitWindowsEx"));
        EXPECT_EQ("10:00:35", t.f.TxtHeure.text);
    }
}

namespace {

// The call that only this action makes, the one that asks the system for it.
const char* OwnCall(Option o) {
    return o == Option::Arreter ? "ExitWindowsEx" : o == Option::Reboot ? "CreateProcessUtf8" : "SetSystemPowerState";
}

}  // namespace

TEST(Action, EachOptionMakesItsOwnCallAndNoOtherAction) {
    struct Case {
        Option option;
        std::vector<std::string> firstAndLast;  // the action's first call, then its request to the system
        std::string request;
    } cases[] = {
        {Option::Reboot, {"GetSystemDirectoryUtf8", "CreateProcessUtf8"},
         "CreateProcessUtf8(\"C:\\WINDOWS\\system32\\shutdown.exe\", "
         "\"Shutdown -r -t 00 -c Redémarrage_de_l'ordinateur_par_Tarveil_XP.\", 0x2, &)"},
        {Option::Arreter, {"GetCurrentProcess", "ExitWindowsEx"}, "ExitWindowsEx(0xd, 0x0)"},
        {Option::Veille, {"GetCurrentProcess", "SetSystemPowerState"}, "SetSystemPowerState(FALSE, FALSE)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.request);
        Countdown t;
        Select(t.f, c.option);
        t.ArmFor(21, 15, 0, "21:15:00");
        for (int i = 0; i < 5; ++i) t.f.NextSecond();
        const size_t before = t.f.system.calls.size();
        t.f.NextSecond();
        // A wake-up was set only for what leaves the computer off: it is taken back first.
        const size_t woken = c.option == Option::Reboot ? 0 : 2;
        ASSERT_GT(t.f.system.calls.size(), before + woken + 3);
        EXPECT_EQ(static_cast<long>(before + 1), t.f.Timer1.callsWhenStopped);
        if (woken) {
            EXPECT_EQ("CancelWaitableTimer(0x3c0)", t.f.system.calls[before + 1].Text());
        }
        EXPECT_EQ("SetThreadExecutionState(0x80000000)", t.f.system.calls[before + woken + 1].Text());
        EXPECT_EQ(c.firstAndLast[0], t.f.system.calls[before + woken + 2].name);
        EXPECT_EQ(c.firstAndLast[1], t.f.system.calls.back().name);
        EXPECT_EQ(c.request, t.f.system.calls.back().Text());
        for (Option other : {Option::Reboot, Option::Arreter, Option::Veille}) {
            EXPECT_EQ(other == c.option ? 1u : 0u, t.f.system.Count(OwnCall(other))) << OwnCall(other);
        }
        EXPECT_TRUE(t.f.host.messages.empty()) << "no message when the request went through";
    }
}

TEST(Action, TheOptionSelectedWhenTheCountReachesZeroIsTheOneRun) {
    struct Case {
        Option atStart, changedTo;
        int afterTick;
    } cases[] = {
        {Option::Arreter, Option::Reboot, 1}, {Option::Arreter, Option::Veille, 5},
        {Option::Reboot, Option::Arreter, 3}, {Option::Veille, Option::Reboot, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(OwnCall(c.atStart)) + " -> " + OwnCall(c.changedTo));
        Countdown t;
        Select(t.f, c.atStart);
        t.ArmFor(6, 30, 0, "06:30:00");
        for (int i = 0; i < c.afterTick; ++i) t.f.NextSecond();
        Select(t.f, c.changedTo);
        t.RunOut();
        EXPECT_EQ(1u, t.f.system.Count(OwnCall(c.changedTo)));
        EXPECT_EQ(0u, t.f.system.Count(OwnCall(c.atStart)));
    }
}

TEST(Action, AFailedRequestIsReportedInFrenchUnderTheProgramsName) {
    struct Case {
        Option option;
        const char* failing;
        const char* message;
    } cases[] = {
        // shutdown.exe out of reach goes to Windows' own restart (ExitWindowsEx, refused here too).
        {Option::Reboot, "CreateProcessUtf8", "Le redémarrage de l'ordinateur a échoué."},
        {Option::Reboot, "GetSystemDirectoryUtf8", "Le redémarrage de l'ordinateur a échoué."},
        {Option::Arreter, "ExitWindowsEx", "L'arrêt de l'ordinateur a échoué."},
        {Option::Arreter, "OpenProcessToken", "L'arrêt de l'ordinateur a échoué."},
        {Option::Veille, "SetSystemPowerState", "La mise en veille prolongée de l'ordinateur a échoué."},
        {Option::Veille, "AdjustTokenPrivileges", "La mise en veille prolongée de l'ordinateur a échoué."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.failing);
        Countdown t;
        Select(t.f, c.option);
        t.ArmFor(12, 0, 0, "12:00:00");
        // After "OK", whose checks read the token too: the failure falls on the action.
        t.f.system.FailNext(c.failing);
        if (c.option == Option::Reboot) t.f.system.FailNext("ExitWindowsEx");
        // Another option clicked under the box, whose loop lets clicks through, starts no second action.
        const Option other = c.option == Option::Veille ? Option::Arreter : Option::Veille;
        t.f.host.whileMessageShown = [&t, other] { Select(t.f, other); };
        t.RunOut();
        EXPECT_EQ(0u, t.f.system.Count(OwnCall(other)));
        ASSERT_EQ(1u, t.f.host.messages.size());
        EXPECT_EQ(c.message, t.f.host.messages[0].prompt);
        EXPECT_EQ("Tarveil XP", t.f.host.messages[0].title);
        EXPECT_EQ(kMbIconError, t.f.host.messages[0].style & 0xF0);
        // Shown after the timer stopped: the modal box lets messages run, and no tick may come in between.
        EXPECT_FALSE(t.f.Timer1.enabled);
        EXPECT_EQ("ShowMessage", t.f.host.Journal().back());
        EXPECT_EQ("0", t.f.LblDecompte.caption);
    }
}

// After the restart's countdown the clock is stopped; the window's second timer looks at shutdown.exe once a second
// and, when it refused, asks Windows for the restart itself. Only a failure of that too is reported.
TEST(Action, ARestartsShutdownExeIsWatchedAndARefusalIsMadeGoodOrReported) {
    struct Case {
        const char* name;
        std::function<void(FakeSystemCalls&)> answers;
        int looks;            // watch ticks until it is over
        size_t forced;        // ExitWindowsEx(0x6, 0x0) calls
        const char* message;  // what the window then says, if anything
    } cases[] = {
        // The watch's own table (power_test.cpp) has every answer; these show the window's timer driving it.
        {"shutdown.exe ends with 0, and two minutes later the program still runs", [](FakeSystemCalls&) {}, 121, 0,
         "Windows a accepté le redémarrage de l'ordinateur, mais il n'a pas eu lieu : un programme l'a peut-être "
         "retenu, par exemple pour un document non enregistré.\nEnregistrez votre travail, fermez les programmes "
         "ouverts, puis redémarrez l'ordinateur vous-même."},
        {"it ends with 1 and Windows refuses too",
         [](FakeSystemCalls& f) {
             f.SetDefault("GetExitCodeProcess", {{}, 1, {}, {}, {}});
             f.FailNext("ExitWindowsEx");
         },
         1, 1, "Le redémarrage de l'ordinateur a échoué."},
        {"it never ends",
         [](FakeSystemCalls& f) { f.SetDefault("WaitForSingleObject", {0x102, {}, {}, {}, {}}); }, 30, 1, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Countdown t;
        Select(t.f, Option::Reboot);
        c.answers(t.f.system);
        bool watchOnAtTheBox = true;
        t.f.host.whileMessageShown = [&t, &watchOnAtTheBox] { watchOnAtTheBox = t.f.TimerRedemarrage.enabled; };
        t.ArmFor(23, 0, 0, "23:00:00");
        t.RunOut();
        ASSERT_EQ(1u, t.f.system.Count("CreateProcessUtf8"));
        EXPECT_TRUE(t.f.TimerRedemarrage.enabled) << "watched from the action on";
        EXPECT_EQ(0u, t.f.system.Count("WaitForSingleObject")) << "not looked at in the action's own tick";
        int looks = 0;
        while (t.f.TimerRedemarrage.enabled && looks < 200) {
            t.f.NextSecond();
            ++looks;
        }
        EXPECT_EQ(c.looks, looks);
        EXPECT_FALSE(t.f.Timer1.enabled) << "the clock stays stopped after the action";
        EXPECT_EQ(c.forced, t.f.system.Count("ExitWindowsEx"));
        if (c.forced) {
            EXPECT_EQ("ExitWindowsEx(0x6, 0x0)", t.f.system.FirstText("ExitWindowsEx"));
        }
        EXPECT_EQ(c.forced, t.f.system.Count("OpenProcessToken")) << "no privilege touched when shutdown.exe did it";
        EXPECT_EQ(1u, t.f.system.Count("CloseHandle") - c.forced) << "shutdown.exe's handle closed once";
        ASSERT_EQ(c.message ? 1u : 0u, t.f.host.messages.size());
        if (c.message) {
            EXPECT_EQ(c.message, t.f.host.messages[0].prompt);
            EXPECT_EQ(kMbOk | kMbIconError, t.f.host.messages[0].style);
            EXPECT_FALSE(watchOnAtTheBox) << "the watch stopped before its box, so no tick under it looks again";
        }
        // Over: nothing more is asked, however long the program stays.
        const size_t calls = t.f.system.calls.size();
        for (int i = 0; i < 40; ++i) t.f.NextSecond();
        EXPECT_EQ(calls, t.f.system.calls.size());
    }
}

// A timer Windows refuses is said, once, rather than left dead: the clock's, turned back on by "ANNULER !" after the
// action, and the restart's watch, whose shutdown.exe is then let go.
TEST(Action, ARefusedTimerIsSaid) {
    for (const bool clock : {true, false}) {
        Countdown t;
        Select(t.f, clock ? Option::Veille : Option::Reboot);
        t.ArmFor(12, 0, 0, "12:00:00");
        (clock ? t.f.Timer1 : t.f.TimerRedemarrage).refused = true;
        t.RunOut();
        EXPECT_EQ(0u, t.f.system.OpenHandles()) << "shutdown.exe let go at the refusal, not at a later cancel";
        t.f.form->cmdCancel_Click();
        t.f.form->cmdCancel_Click();
        ASSERT_EQ(1u, t.f.host.messages.size()) << clock;
        EXPECT_EQ(clock ? "Windows a refusé le minuteur de Tarveil XP : l'heure n'est plus surveillée et l'action "
                          "programmée n'aura pas lieu."
                        : "Windows a refusé le minuteur qui surveille le redémarrage : si l'ordinateur n'a pas "
                          "redémarré d'ici une minute, redémarrez-le vous-même.",
                  t.f.host.messages[0].prompt);
        const std::vector<std::string> calls = t.f.system.Texts();
        EXPECT_EQ(clock ? 0 : 1, std::count(calls.begin(), calls.end(), "CloseHandle(0x2a8)")) << "shutdown.exe let go";
    }
}

TEST(Action, ACancelOrACloseDuringTheWatchLetsShutdownExeGoWithoutASecondTry) {
    struct Case {
        const char* name;
        std::function<void(FormFixture&)> stop;
    } cases[] = {
        {"ANNULER !", [](FormFixture& f) { f.form->cmdCancel_Click(); }},
        {"the window closed", [](FormFixture& f) { f.form->Form_QueryUnload(kFromCode); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Countdown t;
        Select(t.f, Option::Reboot);
        // shutdown.exe refuses, but only after the user has spoken.
        t.f.system.Queue("WaitForSingleObject", {0x102, {}, {}, {}, {}});
        t.f.system.SetDefault("GetExitCodeProcess", {{}, 1, {}, {}, {}});
        t.ArmFor(7, 0, 0, "07:00:00");
        t.RunOut();
        t.f.NextSecond();
        ASSERT_EQ(1u, t.f.system.Count("WaitForSingleObject"));
        c.stop(t.f);
        EXPECT_FALSE(t.f.TimerRedemarrage.enabled);
        EXPECT_EQ("CloseHandle(0x2a8)", t.f.system.FirstText("CloseHandle"));
        for (int i = 0; i < 40; ++i) t.f.NextSecond();
        EXPECT_EQ(1u, t.f.system.Count("WaitForSingleObject"));
        EXPECT_EQ(1u, t.f.system.Count("CloseHandle"));
        EXPECT_EQ(0u, t.f.system.Count("ExitWindowsEx"));
        EXPECT_TRUE(t.f.host.messages.empty());
    }
}

TEST(Trigger, FiresWithoutOkWhileTheWindowIsShown) {
    Countdown t;
    t.f.clock.SetTimeOfDay(14, 59, 58);
    t.f.form->Form_Load();
    t.f.form->TxTChoix_Click();
    t.f.TxTChoix.text = "15:00:00";
    t.f.NextSecond();
    EXPECT_EQ(kFalse, t.f.form->Declenche);
    t.f.NextSecond();
    EXPECT_EQ(kTrue, t.f.form->Declenche);
    EXPECT_EQ(kFalse, t.f.form->HeureValide) << "the format check is only \"OK\"'s";
    EXPECT_EQ("5", t.f.LblDecompte.caption);
    EXPECT_TRUE(t.CountdownShown());
    EXPECT_TRUE(t.f.host.visible);
    t.RunOut();
    EXPECT_EQ(1u, t.f.system.Count("ExitWindowsEx"));
}

TEST(Trigger, RunsInsideEveryClockWriteAndAMismatchNeverClearsIt) {
    Countdown t;
    t.f.clock.SetTimeOfDay(8, 0, 0);
    t.f.form->Form_Load();
    t.f.TxTChoix.text = "08:00:01";
    // A write of the clock box from anywhere, not only the timer, runs the check against the time now.
    t.f.clock.Advance(1);
    t.f.form->RefreshClock();
    EXPECT_EQ(kTrue, t.f.form->Declenche);
    // The entry changed or emptied, the clock far from it: still set until "ANNULER !".
    for (const char* text : {"", "08:00:59", "Entrez une heure ici (hh:mm:ss)"}) {
        t.f.TxTChoix.text = text;
        t.f.clock.Advance(1);
        t.f.form->RefreshClock();
        EXPECT_EQ(kTrue, t.f.form->Declenche) << text;
    }
    t.f.form->cmdCancel_Click();
    EXPECT_EQ(kFalse, t.f.form->Declenche);
}

TEST(Trigger, TextsThatAreNotAValidTimeNeverFire) {
    struct Case {
        const char* text;
        int h, m, s;  // a clock time the text resembles
    } cases[] = {
        {"Entrez une heure ici (hh:mm:ss)", 12, 0, 0},
        {"Exemple :                   20:30:00", 20, 30, 0},
        {"24:00:00", 0, 0, 0},
        {"8:30:00", 8, 30, 0},
        {"08:30:00 ", 8, 30, 0},
        {" 08:30:00", 8, 30, 0},
        {"08.30.00", 8, 30, 0},
        {"", 8, 30, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("\"") + c.text + "\"");
        // Every second through the resembling time, then once more over it with a late tick.
        for (int late : {1, 3}) {
            Countdown t;
            t.f.clock.SetTimeOfDay(c.h, c.m, c.s);
            t.f.clock.Advance(-5);
            t.f.form->Form_Load();
            t.f.TxTChoix.text = c.text;
            for (int i = 0; i < 10; i += late) {
                t.f.clock.Advance(late);
                t.f.Tick();
            }
            EXPECT_EQ(kFalse, t.f.form->Declenche) << "ticks " << late << " s apart";
            EXPECT_TRUE(t.CountdownHidden());
        }
    }
}

TEST(Trigger, ExactEqualityFiresAfterAJumpAndAfterSettingTheClockBack) {
    struct Case {
        int h, m, s;
        int64_t jump;
    } cases[] = {{7, 0, 0, 3 * 3600}, {9, 0, 0, 3600}, {11, 0, 0, -3600}, {10, 0, 1, -1}, {10, 0, 30, -30}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.jump);
        Countdown t;
        t.f.clock.SetTimeOfDay(c.h, c.m, c.s);
        t.f.form->Form_Load();
        t.f.TxTChoix.text = "10:00:00";
        t.f.clock.Advance(c.jump);
        t.f.Tick();
        EXPECT_EQ("10:00:00", t.f.TxtHeure.text);
        EXPECT_EQ(kTrue, t.f.form->Declenche);
        EXPECT_EQ("5", t.f.LblDecompte.caption);
    }
}

TEST(Trigger, SettingTheClockBackDuringTheCountdownAddsNoStepAndNoSecondStart) {
    struct Case {
        int afterTick;
        int64_t back;  // seconds the clock is set back before the next tick
    } cases[] = {{2, -180}, {3, -4}, {1, -1}, {4, -6}, {5, -300}};
    for (const Case& c : cases) {
        SCOPED_TRACE("set back " + std::to_string(-c.back) + " s after tick " + std::to_string(c.afterTick));
        Countdown t;
        t.ArmFor(10, 0, 0, "10:00:00");
        for (int i = 0; i < c.afterTick; ++i) t.f.NextSecond();
        t.f.clock.Advance(c.back);
        // The clock now passes the target again, some of it second by second, some by a late tick.
        std::vector<std::string> captions;
        for (int i = c.afterTick; i < 6; ++i) {
            t.f.clock.Advance(i % 2 ? 2 : 1);
            t.f.Tick();
            captions.push_back(t.f.LblDecompte.caption);
        }
        std::vector<std::string> expected;
        for (int i = c.afterTick; i < 6; ++i) expected.push_back(std::to_string(5 - i));
        EXPECT_EQ(expected, captions);
        EXPECT_FALSE(t.f.Timer1.enabled);
        EXPECT_EQ(1u, t.f.system.Count("ExitWindowsEx"));
        EXPECT_EQ(5, t.f.host.beeps);
        // Stopped: the target coming round once more on this day's clock starts nothing.
        for (int i = 0; i < 400; ++i) t.f.NextSecond();
        EXPECT_EQ(1u, t.f.system.Count("ExitWindowsEx"));
        EXPECT_EQ("0", t.f.LblDecompte.caption);
    }
}
