// Time entry and arming: clearing the entry box, which texts arm the program, and what "OK" and the
// minimise glyph do with a good or a bad text.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "fake_form.h"

namespace {

const char kPrompt[] = "Veuillez redéfinir une heure (hh:mm:ss)";
const char kTitle[] = "Format de l'heure incorrect !";
const char kExample[] = "Exemple :                   20:30:00";
const char kStartPrompt[] = "Entrez une heure ici (hh:mm:ss)";

struct EntryCase {
    std::string text;
    bool accepted;
};

std::vector<EntryCase> EntryCases() {
    return {
        {"20:30:00", true},
        {"00:00:00", true},
        {"23:59:59", true},
        {"09:05:07", true},
        {"24:00:00", false},
        {"59:59:59", false},
        {"60:00:00", false},
        {"99:99:99", false},
        {"20:60:00", false},
        {"20:30:60", false},
        {"8:30:00", false},
        {"08:30:00 ", false},
        {" 8:30:00", false},
        {"08:30", false},
        {"08:30:0", false},
        {"08:30:000", false},
        {"ab:cd:ef", false},
        {"2a:30:00", false},
        {"20:3a:00", false},
        {"20:30:0a", false},
        {"20-30-00", false},
        {"20.30.00", false},
        {"20:30;00", false},
        {"20;30:00", false},
        {"203000", false},
        {"20 30 00", false},
        {"2030:000", false},
        {"-5:00:00", false},
        {"-05:00:00", false},
        {"\xEF\xBC\x92\xEF\xBC\x90:\xEF\xBC\x93\xEF\xBC\x90:\xEF\xBC\x90\xEF\xBC\x90", false},  // full-width digits
        {"", false},
        {"        ", false},
        {"\t\t\t\t\t\t\t\t", false},
        {"20:30:00" + std::string(500, ' '), false},
        {"20:30:00" + std::string(5000, '0'), false},
        {std::string(4096, 'x'), false},
        {kStartPrompt, false},
        {kExample, false},
        {"20:30:00\n", false},
        {"20:30:00\r\n", false},
    };
}

// The window as the user sees it when typing: loaded and shown, with the logs of the load cleared.
struct Loaded : FormFixture {
    Loaded() {
        form->Form_Load();
        host.log.clear();
        system.calls.clear();
    }
};

enum class Handler { Ok, Minimise };

void Press(Loaded& f, Handler h) {
    if (h == Handler::Ok) {
        f.form->Activer_Click();
    } else {
        f.form->SysReduc_Click();
    }
}

}  // namespace

TEST(TimeEntry, EveryClickInTheEntryBoxEmptiesIt) {
    const char* before[] = {kStartPrompt, kExample, "20:30:00", "", "   ", "abc"};
    Loaded f;
    int sets = f.TxTChoix.setCount;
    for (const char* text : before) {
        f.TxTChoix.text = text;
        f.form->TxTChoix_Click();
        EXPECT_EQ("", f.TxTChoix.text) << text;
        // Even an empty box is written again: the click always sets the text.
        EXPECT_EQ(++sets, f.TxTChoix.setCount) << text;
    }
    EXPECT_TRUE(f.system.calls.empty());
    EXPECT_EQ(0u, f.host.messages.size());
}

TEST(TimeEntry, CheckAcceptsOnlyTwoDigitFieldsWithinTheDay) {
    for (const EntryCase& c : EntryCases()) {
        for (int16_t before : {kTrue, kFalse}) {
            Loaded f;
            f.TxTChoix.text = c.text;
            const int sets = f.TxTChoix.setCount;
            f.form->HeureValide = before;
            f.form->CheckTimeFormat();
            EXPECT_EQ(c.accepted ? kTrue : kFalse, f.form->HeureValide) << "'" << c.text << "' from " << before;
            EXPECT_EQ(c.text, f.TxTChoix.text);
            EXPECT_EQ(sets, f.TxTChoix.setCount) << "the check wrote the entry box for '" << c.text << "'";
            EXPECT_TRUE(f.system.calls.empty());
            EXPECT_TRUE(f.host.log.empty());
        }
    }
}

TEST(TimeEntry, OkAndMinimiseArmOnAGoodTextAndComplainAboutABadOne) {
    for (Handler h : {Handler::Ok, Handler::Minimise}) {
        const char* name = h == Handler::Ok ? "OK" : "minimise";
        for (const EntryCase& c : EntryCases()) {
            Loaded f;
            f.TxTChoix.text = c.text;
            Press(f, h);
            if (c.accepted) {
                // Power-off, selected at start: its privilege read, the machine kept awake and set to wake, what
                // Windows will do with the wake-up read, then the icon and its balloon.
                EXPECT_EQ((std::vector<std::string>{"GetCurrentProcess", "OpenProcessToken", "LookupPrivilegeValueA",
                                                    "GetTokenInformation", "CloseHandle", "SetThreadExecutionState",
                                                    "CreateWaitableTimerW", "SetWaitableTimer",
                                                    "CallNtPowerInformation", "PowerGetActiveScheme",
                                                    "PowerReadACValueIndex", "LocalFree",
                                                    "Shell_NotifyIconA", "Hide", "TaskVisible(false)",
                                                    "Shell_NotifyIconA"}),
                          f.host.Journal())
                    << name << " '" << c.text << "'";
                EXPECT_EQ("Shell_NotifyIconA(0x0, &)", f.system.FirstText("Shell_NotifyIconA"));
                EXPECT_EQ(0u, f.host.messages.size());
                EXPECT_EQ(c.text, f.TxTChoix.text);
                EXPECT_FALSE(f.host.visible);
                EXPECT_FALSE(f.host.taskVisible);
                EXPECT_TRUE(f.form->Tray.InTray());
                EXPECT_EQ(kTrue, f.form->HeureValide);
            } else {
                ASSERT_EQ(1u, f.host.messages.size()) << name << " '" << c.text << "'";
                const FakeHost::Message& m = f.host.messages[0];
                EXPECT_EQ(kPrompt, m.prompt);
                EXPECT_EQ(kTitle, m.title);
                EXPECT_EQ(64u, m.style);
                // The box is up while the entry box still holds what was typed.
                EXPECT_EQ(c.text, m.entryTextWhenShown) << name;
                EXPECT_EQ(kExample, f.TxTChoix.text) << name << " '" << c.text << "'";
                EXPECT_EQ((std::vector<std::string>{"ShowMessage"}), f.host.Journal()) << name << " '" << c.text << "'";
                EXPECT_TRUE(f.host.visible);
                EXPECT_TRUE(f.host.taskVisible);
                EXPECT_FALSE(f.form->Tray.InTray());
                EXPECT_EQ(kFalse, f.form->HeureValide);
            }
        }
    }
}

// A delay at "OK": the clock time it ends at, which the box then holds ("": refused). UTC; a change at 01:00 UTC adds
// `by`, as London's in spring (past the hour skipped) or the Azores' in autumn (the second 00:30, acting at the first).
TEST(TimeEntry, ADelayBecomesTheClockTimeItEndsAtOrIsRefused) {
    struct Row { const char* text; int now; const char* becomes; int by; } rows[] = {
        {"+1:30", 23 * 3600, "00:30:00", 0}, {"+5:00:00", 20 * 3600, "01:00:00", 0}, {"+1439", 30, "23:59:30", 0},
        {"+23:59:59", 1, "00:00:00", 0}, {"+1:00", 1800, "02:30:00", 3600}, {"+1:20", 600, "01:00:00", -3600},
        {"+0:40", 600, "00:50:00", -3600},
        {"+24:00", 0, "", 0}, {"+1440", 0, "", 0}, {"+0:00:00", 0, "", 0}, {"+1:5", 0, "", 0}, {"+1:60", 0, "", 0},
        {"+0:00:60", 0, "", 0}, {"+001:30", 0, "", 0}, {"+00090", 0, "", 0}, {"+1:30 ", 0, "", 0},
    };
    for (const Row& r : rows) {
        Loaded f;
        f.clock.seconds = FakeClock::kMidnight + r.now;
        f.clock.changeUtc = FakeClock::kMidnight + 3600;
        f.clock.changeBy = r.by;
        f.TxTChoix.text = r.text;
        f.form->Activer_Click();
        EXPECT_EQ(*r.becomes ? r.becomes : kExample, f.TxTChoix.text) << r.text;
    }
}

TEST(TimeEntry, TheExampleTextIsRefusedInTurnAndRewritten) {
    Loaded f;
    f.TxTChoix.text = "25:00:00";
    f.form->Activer_Click();
    ASSERT_EQ(kExample, f.TxTChoix.text);
    EXPECT_EQ(36u, f.TxTChoix.text.size());
    f.form->SysReduc_Click();
    ASSERT_EQ(2u, f.host.messages.size());
    EXPECT_EQ(kExample, f.host.messages[1].entryTextWhenShown);
    EXPECT_EQ(kExample, f.TxTChoix.text);
    EXPECT_TRUE(f.system.calls.empty());
}

TEST(TimeEntry, AValidCheckDoesNotOutliveTheNextBadText) {
    Loaded f;
    f.TxTChoix.text = "07:00:00";
    f.form->Activer_Click();
    ASSERT_TRUE(f.form->Tray.InTray());
    f.form->Tray.RestoreFromTray();
    f.TxTChoix.text = "07:00";
    f.form->Activer_Click();
    EXPECT_EQ(kFalse, f.form->HeureValide);
    EXPECT_EQ(1u, f.host.messages.size());
    // The add, its balloon and the restore's delete, and no second add; the bad text ends the arming, so the
    // wake-up is taken back and the machine may sleep.
    EXPECT_EQ(1u, f.system.Count("OpenProcessToken"));
    const std::vector<std::string> texts = f.system.Texts();
    EXPECT_EQ((std::vector<std::string>{"Shell_NotifyIconA(0x0, &)", "Shell_NotifyIconA(0x1, &)",
                                        "Shell_NotifyIconA(0x2, &)", "CancelWaitableTimer(0x3c0)", "CloseHandle(0x3c0)",
                                        "SetThreadExecutionState(0x80000000)"}),
              std::vector<std::string>(texts.end() - 6, texts.end()));
    EXPECT_TRUE(f.host.visible);
}

namespace {

const char kNoPrivilege[] =
    "Votre compte Windows n'a pas le droit d'arrêter l'ordinateur : ni l'arrêt ni la mise en veille prolongée ne "
    "pourraient avoir lieu à l'heure choisie.\n"
    "Ouvrez une session avec un compte qui a ce droit, ou demandez-le à l'administrateur de l'ordinateur.";
const char kHibernationOff[] =
    "La mise en veille prolongée est désactivée sur cet ordinateur : elle ne pourrait pas avoir lieu à l'heure "
    "choisie.\n"
    "Choisissez une autre action, ou activez la mise en veille prolongée dans les Options d'alimentation du Panneau "
    "de configuration, puis cliquez de nouveau sur « OK ».";

void NoShutdownPrivilege(FakeSystemCalls& s) {
    s.SetDefault("GetTokenInformation", {{}, {}, {}, std::vector<LuidAndAttributes>{{0x17, 3}}, {}});
}
void HibernationOff(FakeSystemCalls& s) {
    s.SetDefault("IsPwrHibernateAllowed", {{}, 0, {}, {}, {}});
}

// The wake-up's timer: the UTC minute of the day it is set for, - cancelled; ! for each message shown.
std::string WakeCalls(const FormFixture& f) {
    std::string calls;
    for (const FakeCall& c : f.system.calls) {
        if (c.name == "CancelWaitableTimer") calls += "- ";
        if (c.name == "SetWaitableTimer") calls += std::to_string(std::stoll(c.args[1]) / (60 * 10000000) % 1440) + " ";
    }
    return calls + std::string(f.host.messages.size(), '!');
}

// The execution states asked for, in order.
std::vector<std::string> AwakeRequests(const FakeSystemCalls& s) {
    std::vector<std::string> flags;
    for (const FakeCall& c : s.calls) {
        if (c.name == "SetThreadExecutionState") flags.push_back(c.args.at(0));
    }
    return flags;
}

}  // namespace

// Each option reaches its own check, and a refusal leaves the window as it was (the verdicts themselves are in
// arming_checks_test.cpp).
TEST(TimeEntry, AnActionThatCouldNotHappenIsRefusedAtOk) {
    struct Case {
        const char* label;
        FakeOptionButton FormFixture::*option;
        std::function<void(FakeSystemCalls&)> system;
        Handler handler;
        const char* message;  // nullptr: armed
    } cases[] = {
        {"hibernate, hibernation off", &FormFixture::ChkVeille, HibernationOff, Handler::Ok, kHibernationOff},
        {"hibernate, hibernation off, minimise glyph", &FormFixture::ChkVeille, HibernationOff, Handler::Minimise,
         kHibernationOff},
        {"power-off, no privilege", &FormFixture::ChkArreter, NoShutdownPrivilege, Handler::Ok, kNoPrivilege},
        {"power-off, hibernation off", &FormFixture::ChkArreter, HibernationOff, Handler::Ok, nullptr},
        {"restart, neither", &FormFixture::ChkReboot,
         [](FakeSystemCalls& s) { NoShutdownPrivilege(s); HibernationOff(s); }, Handler::Ok, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Loaded f;
        (f.*c.option).SetValue(true);
        c.system(f.system);
        f.TxTChoix.text = "21:15:00";
        Press(f, c.handler);
        EXPECT_EQ(kTrue, f.form->HeureValide);
        EXPECT_EQ("21:15:00", f.TxTChoix.text) << "the time is kept either way";
        if (!c.message) {
            EXPECT_TRUE(f.host.messages.empty());
            EXPECT_TRUE(f.form->Tray.InTray());
            EXPECT_FALSE(f.host.visible);
            EXPECT_EQ((std::vector<std::string>{"0x80000001"}), AwakeRequests(f.system));
            continue;
        }
        ASSERT_EQ(1u, f.host.messages.size());
        EXPECT_EQ(c.message, f.host.messages[0].prompt);
        EXPECT_EQ("Tarveil XP", f.host.messages[0].title);
        EXPECT_EQ(kMbIconWarning, f.host.messages[0].style);
        // Not armed: no icon, the window stays where the user reads the message, the machine left to its sleep.
        EXPECT_EQ(0u, f.system.Count("Shell_NotifyIconA"));
        EXPECT_FALSE(f.form->Tray.InTray());
        EXPECT_TRUE(f.host.visible);
        EXPECT_TRUE(f.host.taskVisible);
        EXPECT_EQ(0u, f.host.Count("Hide"));
        EXPECT_TRUE(AwakeRequests(f.system).empty());
    }
}

TEST(TimeEntry, TheMachineIsKeptAwakeFromOkToWhateverEndsTheArming) {
    // Loaded at 09:59:57 with "10:00:00" in the box and power-off selected; each row does something, and the
    // execution states asked for are read, and where a row says them the wake-up's timer calls.
    using Steps = std::function<void(FormFixture&)>;
    const auto ok = [](FormFixture& f) { f.form->Activer_Click(); };
    const auto tick = [](FormFixture& f, int n) { for (int i = 0; i < n; ++i) f.NextSecond(); };
    const auto type = [](FormFixture& f, const char* text) { f.TxTChoix.text = text; f.form->TxTChoix_Change(); };
    void (Form1::*const told[])() = {&Form1::ChkArreter_Click, &Form1::ChkReboot_Click, &Form1::ChkVeille_Click};
    const auto click = [&](FormFixture& f, Option o) { Select(f, o); (*f.form.*told[static_cast<int>(o)])(); };
    struct Row {
        const char* label;
        Steps steps;
        std::vector<std::string> requests;
        const char* wake = nullptr;
    } rows[] = {
        {"OK", ok, {"0x80000001"}},
        {"OK, the icon refused", [&](FormFixture& f) { f.system.FailNext("Shell_NotifyIconA", 2); ok(f); }, {"0x80000001"}},
        {"OK twice", [&](FormFixture& f) { ok(f); ok(f); }, {"0x80000001"}},
        {"OK, the icon clicked: the window back, still armed",
         [&](FormFixture& f) { ok(f); f.form->Form_MouseMove(0, 0, 513 * f.host.tppX, 0); }, {"0x80000001"}},
        {"OK, the countdown cancelled", [&](FormFixture& f) { ok(f); tick(f, 5); f.form->cmdCancel_Click(); },
         {"0x80000001", "0x80000000"}},
        {"OK, the countdown run out to the action", [&](FormFixture& f) { ok(f); tick(f, 9); },
         {"0x80000001", "0x80000000"}},
        {"OK, the action refused, then cancelled",
         [&](FormFixture& f) { ok(f); f.system.FailNext("ExitWindowsEx"); tick(f, 9); f.form->cmdCancel_Click(); },
         {"0x80000001", "0x80000000"}},
        {"OK, the window closed", [&](FormFixture& f) { ok(f); f.form->Form_QueryUnload(kFromControlMenu); },
         {"0x80000001", "0x80000000"}},
        {"OK, a click in the entry box", [&](FormFixture& f) { ok(f); f.form->TxTChoix_Click(); },
         {"0x80000001", "0x80000000"}},
        {"OK, then a bad text", [&](FormFixture& f) { ok(f); f.TxTChoix.text = "10:00"; ok(f); },
         {"0x80000001", "0x80000000"}},
        {"OK, then hibernation chosen while switched off",
         [&](FormFixture& f) { ok(f); HibernationOff(f.system); f.ChkVeille.SetValue(true); ok(f); },
         {"0x80000001", "0x80000000"}},
        {"OK, cancelled, OK again",
         [&](FormFixture& f) { ok(f); tick(f, 4); f.form->cmdCancel_Click(); ok(f); },
         {"0x80000001", "0x80000000", "0x80000001"}},
        {"OK, Arrêter clicked again (nothing), Redémarrer (let go), a time typed (none), Mettre en veille (set)",
         [&](FormFixture& f) {
             ok(f); click(f, Option::Arreter); click(f, Option::Reboot); type(f, "10:30:00"); click(f, Option::Veille);
         }, {"0x80000001"}, "599 - 625 "},
        {"OK, Mettre en veille clicked while switched off: said at once",
         [&](FormFixture& f) { ok(f); HibernationOff(f.system); click(f, Option::Veille); },
         {"0x80000001", "0x80000000"}, "599 - !"},
        {"OK, a text no time yet, then one", [&](FormFixture& f) { ok(f); type(f, "10:3"); type(f, "10:30:00"); },
         {"0x80000001"}, "599 - 625 "},
        // Nothing armed: nothing asked, whatever happens.
        {"a bad text", [&](FormFixture& f) { f.TxTChoix.text = "25:00:00"; ok(f); }, {}},
        {"a refused check", [&](FormFixture& f) { NoShutdownPrivilege(f.system); ok(f); }, {}},
        {"typed only, fired and run out", [&](FormFixture& f) { tick(f, 9); }, {}},
        {"typed only, fired and cancelled", [&](FormFixture& f) { tick(f, 4); f.form->cmdCancel_Click(); }, {}},
        {"the window closed", [&](FormFixture& f) { f.form->Form_QueryUnload(kFromControlMenu); }, {}},
        {"a click in the entry box", [&](FormFixture& f) { f.form->TxTChoix_Click(); }, {}},
        {"Veille clicked, time typed", [&](FormFixture& f) { click(f, Option::Veille); type(f, "10:30:00"); }, {}, ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.label);
        FormFixture f;
        f.clock.SetTimeOfDay(9, 59, 57);
        f.form->Form_Load();
        f.TxTChoix.text = "10:00:00";
        r.steps(f);
        EXPECT_EQ(r.requests, AwakeRequests(f.system));
        if (r.wake) { EXPECT_EQ(r.wake, WakeCalls(f)); }
    }
}
