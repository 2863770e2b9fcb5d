// The notification-area icon: the record's fields, adding and removing it, the callbacks that come back
// as mouse moves, a restarted shell, and closing.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "fake_form.h"
#include "win32/MouseRules.h"

namespace {

constexpr uint32_t kWindow = 0x00010044;  // FakeHost's handles
constexpr uint32_t kIcon = 0x00C0FFEE;

// What the shell must be handed to add the icon, field by field; the tooltip as the shell reads it: the name, one
// NUL, blanks to the end of the 64-character field.
std::string ExpectedAddRecord() {
    return "cbSize=0x58 hWnd=" + FakeSystemCalls::Hex(kWindow) + " uID=0x1 uFlags=0x7 uCallbackMessage=0x200 hIcon=" +
           FakeSystemCalls::Hex(kIcon) + " szTip=\"Tarveil XP\\0" + std::string(53, ' ') + "\"";
}

std::string Record(const FakeCall& call) {
    return call.icon ? FakeSystemCalls::IconText(*call.icon) : "no record";
}

struct Loaded : FormFixture {
    Loaded() {
        form->Form_Load();
        host.log.clear();
        system.calls.clear();
    }
    void Arm(const char* text = "21:15:00") {
        TxTChoix.text = text;
        form->Activer_Click();
    }
    void Forget() {
        host.log.clear();
        system.calls.clear();
    }
    // The icon's calls alone: "OK" also checks the chosen action and keeps the machine awake (time_entry_test.cpp).
    std::vector<FakeCall> IconCalls() const {
        std::vector<FakeCall> icon;
        for (const FakeCall& c : system.calls) {
            if (c.name == "Shell_NotifyIconA") icon.push_back(c);
        }
        return icon;
    }
    // A callback from the icon: the mouse message arrives as the x of a mouse move, in twips.
    void Callback(int message, int16_t button = 0) {
        form->Form_MouseMove(button, 0, static_cast<float>(message) * host.tppX, 0);
    }
};

const char kModernStandby[] = "Cet ordinateur a la veille moderne : si vous fermez le capot ou appuyez sur le bouton "
                              "d'alimentation avant l'heure, l'action n'aura pas lieu.";
const char kPowerOptions[] = "Les options d'alimentation n'autorisent pas les minuteurs de sortie de veille : "
                             "l'ordinateur ne sortira pas de veille de lui-même.";
const std::string kOnBattery = std::string("Sur batterie, l") + (kPowerOptions + 1);
const char kTimerRefused[] =
    "Windows refuse de sortir l'ordinateur de veille à l'heure dite : ne le mettez pas en veille d'ici là.";

}  // namespace

// A wake-up promised only where the standby kind, the plan and the timer allow one; else the first that does not named.
TEST(TrayRecord, AddRecordIsWhatTheShellReadsAndTheBalloonARecordOfItsOwn) {
    struct Case {
        Option option;
        uint32_t wakeError;  // the error SetWaitableTimer answers its success with
        // The machine: "ac0", "dc2" the plan's wake timers on mains, on battery (0 Disable, 2 important only, else 1
        // Enable); "battery"; "aoac" (modern standby); "xp" (no plan functions); "unread" plan; "nocaps" (capabilities).
        std::string machine;
        const char* sentence;  // nullptr: the computer will be woken, or needs no waking
    } cases[] = {
        {Option::Arreter, 0, "", nullptr},
        {Option::Veille, 722, "", kTimerRefused},
        {Option::Veille, 50, "", kTimerRefused},
        {Option::Arreter, 722, "", kTimerRefused},
        {Option::Reboot, 0, "ac0", nullptr},
        {Option::Veille, 722, "ac2", kPowerOptions},  // Windows takes the timer and applies the plan only at sleep
        {Option::Veille, 0, "dc2 battery", kOnBattery.c_str()},
        {Option::Arreter, 0, "dc0 nocaps", kOnBattery.c_str()},
        {Option::Arreter, 722, "ac0 aoac", kModernStandby},
        {Option::Arreter, 0, "ac0 xp", nullptr},
        {Option::Arreter, 0, "ac0 unread", nullptr},
    };
    const std::string waiting[] = {"Arrêt", "Redémarrage", "Mise en veille prolongée"};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.machine + ", error " + std::to_string(c.wakeError));
        Loaded f;
        Select(f, c.option);
        const auto has = [&](const char* word) { return c.machine.find(word) != std::string::npos; };
        const auto index = [&](const char* word) { return has(word) ? c.machine[c.machine.find(word) + 2] - '0' : 1; };
        f.system.SetDefault("CallNtPowerInformation", {!has("nocaps"), has("aoac") + 2 * has("battery"), {}, {}, {}});
        f.system.SetDefault("PowerGetActiveScheme", {!has("xp"), {}, {}, {}, has("xp") ? 127u : 0u});
        f.system.SetDefault("PowerReadACValueIndex", {!has("unread"), index("ac"), {}, {}, {}});
        f.system.SetDefault("PowerReadDCValueIndex", {{}, index("dc"), {}, {}, {}});
        f.system.Queue("SetWaitableTimer", {1, {}, {}, {}, c.wakeError});
        f.Arm();
        const std::vector<FakeCall> icon = f.IconCalls();
        ASSERT_EQ(2u, icon.size());
        EXPECT_EQ("Shell_NotifyIconA(0x0, &)", icon[0].Text());
        EXPECT_EQ(ExpectedAddRecord(), Record(icon[0]));
        EXPECT_EQ(ExpectedAddRecord(), FakeSystemCalls::IconText(f.form->Tray.IconeTray)) << "the icon's own record";
        // Once at each arming, in the record size XP's shell takes balloons in, the icon's fields left alone.
        EXPECT_EQ("Shell_NotifyIconA(0x1, &)", icon[1].Text());
        const NotifyIconRecord b = icon[1].icon.value_or(NotifyIconRecord{});
        const std::string head = "cbSize=0x1e8 hWnd=0x10044 uID=0x1 uFlags=0x10 uCallbackMessage=0x0 hIcon=0x0 ";
        EXPECT_EQ(head, FakeSystemCalls::IconText(b).substr(0, head.size()));
        EXPECT_EQ(waiting[static_cast<int>(c.option)] + " de l'ordinateur à 21:15:00." +
                      (c.sentence ? std::string("\n") + c.sentence : "") +
                      "\nCliquez sur l'icône pour afficher la fenêtre.|Tarveil XP|1|10000",
                  std::string(b.szInfo) + "|" + b.szInfoTitle + "|" + std::to_string(b.dwInfoFlags) + "|" +
                      std::to_string(b.uTimeout));
    }
}

TEST(TrayRecord, AddOverwritesWhateverTheRecordHeld) {
    Loaded f;
    std::memset(static_cast<void*>(&f.form->Tray.IconeTray), 0xAB, sizeof f.form->Tray.IconeTray);
    f.Arm();
    EXPECT_EQ(ExpectedAddRecord(), Record(f.IconCalls().at(0)));
}

TEST(TrayRecord, DeleteSetsOnlyTheIdentifyingFields) {
    struct Case {
        const char* name;
        uint8_t fill;
    } cases[] = {{"zeroed", 0x00}, {"filled", 0xAB}};
    for (const Case& c : cases) {
        Loaded f;
        NotifyIconRecord want;
        std::memset(static_cast<void*>(&want), c.fill, sizeof want);
        f.form->Tray.IconeTray = want;
        f.form->Tray.RemoveTrayIcon();
        ASSERT_EQ(1u, f.system.calls.size()) << c.name;
        EXPECT_EQ("Shell_NotifyIconA(0x2, &)", f.system.calls[0].Text());
        want.cbSize = 88;
        want.hWnd = kWindow;
        want.uID = 1;
        EXPECT_EQ(FakeSystemCalls::IconText(want), Record(f.system.calls[0])) << c.name;
    }
}

TEST(TrayRecord, DeleteAfterAnAddHandsBackTheAddRecord) {
    Loaded f;
    f.Arm();
    f.form->Tray.RemoveTrayIcon();
    const std::vector<FakeCall> icon = f.IconCalls();
    ASSERT_EQ(3u, icon.size());  // the add, the balloon, the delete
    EXPECT_EQ("Shell_NotifyIconA(0x2, &)", icon[2].Text());
    EXPECT_EQ(ExpectedAddRecord(), Record(icon[2]));
}

TEST(Tray, AddRefusedKeepsTheWindowShownAndTellsTheUser) {
    Loaded f;
    f.system.FailNext("Shell_NotifyIconA", 2);  // the add, and the modify tried where it fails
    f.Arm();
    EXPECT_TRUE(f.host.visible);
    EXPECT_TRUE(f.host.taskVisible);
    EXPECT_FALSE(f.form->Tray.InTray());
    EXPECT_EQ(0u, f.host.Count("Hide"));
    EXPECT_EQ(0u, f.host.Count("TaskVisible(false)"));
    ASSERT_EQ(1u, f.host.messages.size());
    EXPECT_NE(std::string::npos, f.host.messages[0].prompt.find("notification")) << f.host.messages[0].prompt;
    EXPECT_NE("Format de l'heure incorrect !", f.host.messages[0].title);
    // The time typed stays: it still fires while the window waits on screen.
    EXPECT_EQ("21:15:00", f.TxTChoix.text);
    // No icon to come back for when a new shell starts.
    f.Forget();
    f.form->Shell_TaskbarCreated();
    EXPECT_TRUE(f.system.calls.empty());
}

TEST(Tray, LeftButtonDownOnTheIconRestoresOnce) {
    Loaded f;
    f.Arm();
    ASSERT_FALSE(f.host.visible);
    f.Forget();
    f.Callback(513);
    EXPECT_EQ((std::vector<std::string>{"Shell_NotifyIconA", "Show"}), f.host.Journal());
    EXPECT_EQ("Shell_NotifyIconA(0x2, &)", f.system.calls.at(0).Text());
    EXPECT_TRUE(f.host.visible);
    EXPECT_FALSE(f.form->Tray.InTray());
    EXPECT_EQ(513, f.form->Tray.TrayMessage);
    EXPECT_EQ(kFalse, f.form->Tray.TrayBusy);
    // The task-list entry stays off after the restore.
    EXPECT_FALSE(f.host.taskVisible);
    EXPECT_EQ(0u, f.host.Count("TaskVisible(true)"));
}

TEST(Tray, OtherMouseMessagesOfTheIconDoNothing) {
    // Move, left up, left double-click, right down and double-click, middle, and values around them.
    const int messages[] = {0, 1, 512, 514, 515, 516, 518, 519, 520, 521, 522, 0x400, 0x404, 0x405, 1026, 256};
    for (int message : messages) {
        Loaded f;
        f.Arm();
        f.Forget();
        f.Callback(message);
        EXPECT_TRUE(f.host.log.empty()) << message;
        EXPECT_TRUE(f.system.calls.empty()) << message;
        EXPECT_FALSE(f.host.visible) << message;
        EXPECT_TRUE(f.form->Tray.InTray()) << message;
        EXPECT_EQ(message, f.form->Tray.TrayMessage);
        EXPECT_EQ(kFalse, f.form->Tray.TrayBusy) << message;
    }
}

// As every notification-area program does: the right button's release opens the icon's menu.
TEST(Tray, RightButtonUpOpensTheMenuWhoseChoiceIsCarriedOut) {
    struct Case {
        FakeHost::TrayMenuChoice choice;
        std::vector<std::string> journal;
    } cases[] = {
        {FakeHost::TrayMenuChoice::None, {"ShowTrayMenu"}},
        {FakeHost::TrayMenuChoice::ShowWindow, {"ShowTrayMenu", "Shell_NotifyIconA", "Show"}},
        {FakeHost::TrayMenuChoice::Quit, {"ShowTrayMenu", "Unload"}},
    };
    for (const Case& c : cases) {
        Loaded f;
        Select(f, Option::Veille);
        f.Arm();
        f.Forget();
        f.host.menuChoice = c.choice;
        f.Callback(kWmRButtonUp);
        EXPECT_EQ(c.journal, f.host.Journal());
        EXPECT_EQ((std::vector<std::string>{"Mise en veille prolongée de l'ordinateur à 21:15:00."}), f.host.menuHeaders);
        EXPECT_EQ(kFalse, f.form->Tray.TrayBusy);
    }
}

TEST(Tray, CallbacksArrivingWhileTheWindowIsRestoredOnlyNoteTheirMessage) {
    Loaded f;
    f.Arm();
    f.Forget();
    // The button's release, then a second press (a double-click), come in before the first press's show is over.
    std::vector<int32_t> noted;
    int shows = 0;
    f.host.whileShowing = [&] {
        if (shows++ > 0) return;  // a second show, which the busy flag exists to prevent, runs no more callbacks
        for (int message : {514, 513}) {
            f.Callback(message);
            noted.push_back(f.form->Tray.TrayMessage);
        }
    };
    f.Callback(513);
    EXPECT_EQ((std::vector<int32_t>{514, 513}), noted);
    EXPECT_EQ((std::vector<std::string>{"Shell_NotifyIconA", "Show"}), f.host.Journal());
    EXPECT_EQ(kFalse, f.form->Tray.TrayBusy);
}

TEST(Tray, CallbackPixelsAreRoundedHalfToEven) {
    struct Case {
        float x, tpp;
        int32_t message;
        bool restores;
    } cases[] = {
        {7695.0f, 15, 513, true},
        {7702.5f, 15, 514, false},   // 513.5: halves go to the even neighbour, not down to 513
        {7687.5f, 15, 512, false},   // 512.5: not up to 513
        {7702.4f, 15, 513, true},
        {7687.6f, 15, 513, true},
        {6156.0f, 12, 513, true},    // 120 DPI
        {6162.0f, 12, 514, false},   // 513.5
        {6150.0f, 12, 512, false},   // 512.5
        {7695.0f, 12, 641, false},   // 96-DPI twips read at 120 DPI
        {5130.0f, 10, 513, true},    // 144 DPI
        {-7.5f, 15, 0, false},       // -0.5
        {22.5f, 15, 2, false},       // 1.5
    };
    for (const Case& c : cases) {
        Loaded f;
        f.host.tppX = c.tpp;
        f.Arm();
        f.Forget();
        f.form->Form_MouseMove(0, 0, c.x, 0);
        EXPECT_EQ(c.message, f.form->Tray.TrayMessage) << c.x << " at " << c.tpp;
        EXPECT_EQ(c.restores, f.host.visible) << c.x << " at " << c.tpp;
        EXPECT_EQ(c.restores ? 1u : 0u, f.system.Count("Shell_NotifyIconA")) << c.x << " at " << c.tpp;
    }
}

// The window's mouse rule, then the window object: a move to x px, shown or waiting behind the icon, at 96, 216 and
// 240 DPI; and a press, on the close glyph or the surface, that the hide or another window's capture ends.
TEST(Tray, OnlyTheIconsCallbacksActAndNoPressHeldThroughTheHideTakesThem) {
    enum Before { Nothing, GlyphHeld, SurfaceHeld, CaptureTaken };
    const std::vector<std::string> restores{"Shell_NotifyIconA", "Show"}, menu{"ShowTrayMenu"};
    struct Case { bool hidden; int x; Before before; std::vector<std::string> journal; } cases[] = {
        {false, 513, Nothing, {}}, {false, 517, Nothing, {}}, {true, 513, Nothing, restores}, {true, 517, Nothing, menu},
        {true, 513, GlyphHeld, restores},    // its release on the hidden glyph is no click (the close glyph's ends all)
        {true, 513, SurfaceHeld, restores},  // the drag is over: the callback, read as the left button, moves nothing
        {false, 513, CaptureTaken, {}},      // the drag is over: a move with the left button held moves nothing
    };
    for (const Case& c : cases) {
        for (float tpp : {15.0f, 1440.0f / 216, 6.0f}) {
            SCOPED_TRACE(std::to_string(c.x) + " px at " + std::to_string(tpp) + ", case " + std::to_string(c.before));
            Loaded f;
            f.host.tppX = tpp;
            MouseState state;
            const int glyph = 0;
            auto send = [&](MouseInput input, const void* on) {
                const MouseRoute r = RouteMouse({input, 1, 0, on, f.form->Tray.InTray(), f.host.visible, false}, state);
                if (r.target == MouseTarget::FormDown) f.form->Form_MouseDown(kLeftButton, 0, 75, 75);
                if (r.target == MouseTarget::PressEnded) f.form->Form_LostCapture();
                if (r.target == MouseTarget::LabelClick) f.form->SysCroix_Click();
                return r.target;
            };
            if (c.before != Nothing) send(MouseInput::Press, c.before == GlyphHeld ? &glyph : nullptr);
            if (c.before == CaptureTaken) send(MouseInput::CaptureLost, nullptr);
            if (c.hidden) f.Arm();
            if (c.hidden) send(MouseInput::Hiding, nullptr);
            f.Forget();
            if (c.before == GlyphHeld) send(MouseInput::Release, &glyph);
            EXPECT_EQ(c.hidden ? MouseTarget::IconCallback : MouseTarget::FormMove, send(MouseInput::Move, nullptr));
            f.form->Form_MouseMove(kLeftButton, 0, static_cast<float>(c.x) * tpp, 0);
            EXPECT_EQ(c.x, f.form->Tray.TrayMessage);
            EXPECT_EQ(c.journal, f.host.Journal());
        }
    }
}

TEST(Tray, ACallbackWithTheLeftButtonFlagStillRestoresWithoutMovingTheWindow) {
    // The icon's id (1) arrives where held buttons are read: it looks like the left button.
    Loaded f;
    f.Arm();
    f.Forget();
    f.Callback(513, kLeftButton);
    EXPECT_TRUE(f.host.visible);
    EXPECT_EQ(0u, f.host.Count("SetLeft") + f.host.Count("SetTop"));
}

TEST(Tray, RestoreIsHarmlessWithNoIconAndTheWindowShown) {
    Loaded f;
    for (int tick = 0; tick < 3; ++tick) f.form->Tray.RestoreFromTray();
    EXPECT_TRUE(f.host.visible);
    EXPECT_EQ(3u, f.system.Count("Shell_NotifyIconA"));
    for (const FakeCall& c : f.system.calls) EXPECT_EQ("Shell_NotifyIconA(0x2, &)", c.Text());
    EXPECT_EQ(0u, f.host.Count("Hide"));
    EXPECT_EQ(0u, f.host.messages.size());
}

TEST(Tray, ArmingAgainAfterARestoreAddsIconOneAgain) {
    Loaded f;
    f.Arm("06:00:00");
    f.Callback(513);
    f.Forget();
    f.Arm("06:30:00");
    // The power-off check again; the machine is still kept awake from the first "OK", so no new request for that,
    // and the wake-up already set is moved to the new time on the same timer.
    EXPECT_EQ((std::vector<std::string>{"GetCurrentProcess", "OpenProcessToken", "LookupPrivilegeValueA",
                                        "GetTokenInformation", "CloseHandle", "SetWaitableTimer",
                                        "CallNtPowerInformation", "PowerGetActiveScheme", "PowerReadACValueIndex",
                                        "LocalFree", "Shell_NotifyIconA", "Hide", "TaskVisible(false)",
                                        "Shell_NotifyIconA"}),
              f.host.Journal());
    EXPECT_EQ("Shell_NotifyIconA(0x0, &)", f.IconCalls().at(0).Text());
    EXPECT_EQ(ExpectedAddRecord(), Record(f.IconCalls().at(0)));
    EXPECT_TRUE(f.form->Tray.InTray());
}

TEST(Tray, ANewShellGetsTheIconBackOnlyWhileInTheTray) {
    Loaded f;
    f.form->Shell_TaskbarCreated();  // never armed
    EXPECT_TRUE(f.system.calls.empty());

    f.Arm();
    f.Forget();
    f.form->Shell_TaskbarCreated();
    ASSERT_EQ(1u, f.system.calls.size());
    EXPECT_EQ("Shell_NotifyIconA(0x0, &)", f.system.calls[0].Text());
    EXPECT_EQ(ExpectedAddRecord(), Record(f.system.calls[0]));
    EXPECT_TRUE(f.host.log.empty());  // still hidden, still off the task list
    EXPECT_TRUE(f.form->Tray.InTray());

    f.Callback(513);
    f.Forget();
    f.form->Shell_TaskbarCreated();  // restored: nothing to put back
    EXPECT_TRUE(f.system.calls.empty());
    EXPECT_TRUE(f.host.log.empty());
}

TEST(Tray, ANewShellThatRefusesTheIconBringsTheWindowBack) {
    Loaded f;
    f.Arm();
    f.Forget();
    f.system.FailNext("Shell_NotifyIconA", 2);
    f.form->Shell_TaskbarCreated();
    EXPECT_TRUE(f.host.visible);
    EXPECT_FALSE(f.form->Tray.InTray());
    EXPECT_EQ(1u, f.host.messages.size());
    f.Forget();
    f.form->Shell_TaskbarCreated();
    EXPECT_TRUE(f.system.calls.empty());
}

TEST(Tray, ClosingRemovesTheIconAndIsNeverCancelled) {
    struct Case {
        const char* name;
        bool armed;
        UnloadMode mode;
    } cases[] = {{"no icon, from the window", false, kFromControlMenu},
                 {"no icon, session end", false, kFromWindowsSession},
                 {"in tray, from the window", true, kFromControlMenu},
                 {"in tray, from code", true, kFromCode}};
    for (const Case& c : cases) {
        Loaded f;
        if (c.armed) f.Arm();
        f.Forget();
        // With no icon the shell refuses the removal, which must not hold the close up either.
        if (!c.armed) f.system.FailNext("Shell_NotifyIconA");
        EXPECT_FALSE(f.form->Form_QueryUnload(c.mode)) << c.name;
        EXPECT_TRUE(f.host.messages.empty()) << c.name;
        // Armed, the wake-up is taken back and the machine let sleep again as the window goes.
        ASSERT_EQ(c.armed ? 4u : 1u, f.system.calls.size()) << c.name;
        EXPECT_EQ("Shell_NotifyIconA(0x2, &)", f.system.calls[0].Text());
        if (c.armed) {
            EXPECT_EQ("CancelWaitableTimer(0x3c0)", f.system.calls[1].Text()) << c.name;
            EXPECT_EQ("SetThreadExecutionState(0x80000000)", f.system.calls[3].Text()) << c.name;
        }
        const NotifyIconRecord r = f.system.calls[0].icon.value_or(NotifyIconRecord{});
        EXPECT_EQ(88u, r.cbSize) << c.name;
        EXPECT_EQ(kWindow, r.hWnd) << c.name;
        EXPECT_EQ(1u, r.uID) << c.name;
        EXPECT_FALSE(f.form->Tray.InTray());
    }
}
