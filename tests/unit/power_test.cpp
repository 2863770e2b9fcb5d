// Power actions against the recording fake: exact calls and values, the privilege record, and that every
// failing step is reported without a power request.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "power/Arret.h"
#include "power/Privilege.h"
#include "power/Reboot.h"
#include "power/Veille.h"
#include "tests/unit/fake_system_calls.h"

namespace {

using Texts = std::vector<std::string>;

struct PrivilegedAction {
    const char* label;
    PowerAction action;
    std::function<PowerResult(SystemCalls&)> run;
    const char* powerRequest;  // the call text expected after the privilege steps
};

const PrivilegedAction kPrivilegedActions[] = {
    {"power-off", PowerAction::PowerOff, EteindreOrdinateur, "ExitWindowsEx(0xd, 0x0)"},
    {"hibernate", PowerAction::Hibernate, MettreEnVeille, "SetSystemPowerState(FALSE, FALSE)"},
};

const char* const kPowerRequestNames[] = {"ExitWindowsEx", "SetSystemPowerState", "CreateProcessUtf8"};

size_t PowerRequests(const FakeSystemCalls& fake) {
    size_t n = 0;
    for (const char* name : kPowerRequestNames) n += fake.Count(name);
    return n;
}

TEST(PowerPrivilegedActions, CallSequenceAndValues) {
    for (const PrivilegedAction& a : kPrivilegedActions) {
        SCOPED_TRACE(a.label);
        FakeSystemCalls fake;
        fake.SetDefault("GetCurrentProcess", {0x1234, {}, {}, {}, {}});
        fake.SetDefault("OpenProcessToken", {{}, 0x5A4, {}, {}, {}});
        const PowerResult result = a.run(fake);
        EXPECT_TRUE(result.Succeeded());
        EXPECT_EQ(result.action, a.action);
        EXPECT_EQ(PowerFailureMessage(result), nullptr);
        const Texts expected = {
            "GetCurrentProcess()",
            "OpenProcessToken(0x1234, 0x28, &)",
            "LookupPrivilegeValueA(\"\", \"SeShutdownPrivilege\", &)",
            "AdjustTokenPrivileges(0x5a4, FALSE, &, 0x10, &, &)",
            "CloseHandle(0x5a4)",
            a.powerRequest,
        };
        EXPECT_EQ(fake.Texts(), expected);
    }
}

TEST(PowerPrivilegedActions, TokenPrivilegesRecordFields) {
    for (const PrivilegedAction& a : kPrivilegedActions) {
        SCOPED_TRACE(a.label);
        FakeSystemCalls fake;
        fake.SetDefault("LookupPrivilegeValueA", {{}, 0xA1B2C3D4E5F60718ull, {}, {}, {}});
        a.run(fake);
        const FakeCall* adjust = fake.Find("AdjustTokenPrivileges");
        ASSERT_NE(adjust, nullptr);
        ASSERT_TRUE(adjust->newState.has_value());
        // One entry, the looked-up LUID enabled; the second entry stays zero.
        const TokenPrivilegesRecord& state = *adjust->newState;
        EXPECT_EQ(state.PrivilegeCount, 1u);
        EXPECT_EQ(state.Privileges[0].Luid, 0xA1B2C3D4E5F60718ull);
        EXPECT_EQ(state.Privileges[0].Attributes, 2u);
        EXPECT_EQ(state.Privileges[1].Luid, 0u);
        EXPECT_EQ(state.Privileges[1].Attributes, 0u);
    }
}

struct FailureCase {
    const char* label;
    std::function<void(FakeSystemCalls&)> script;
    PowerStep step;
    bool closesToken;
    bool requestsPower;
};

const FailureCase kFailures[] = {
    {"token cannot be opened", [](FakeSystemCalls& f) { f.FailNext("OpenProcessToken"); }, PowerStep::OpenToken,
     false, false},
    {"privilege name unknown", [](FakeSystemCalls& f) { f.FailNext("LookupPrivilegeValueA"); },
     PowerStep::LookupPrivilege, true, false},
    {"adjust returns FALSE", [](FakeSystemCalls& f) { f.Queue("AdjustTokenPrivileges", {0, {}, {}, {}, 5}); },
     PowerStep::AdjustPrivileges, true, false},
    // A failure is a failure, whatever error goes with it.
    {"adjust returns FALSE with not-all-assigned",
     [](FakeSystemCalls& f) { f.Queue("AdjustTokenPrivileges", {0, {}, {}, {}, 1300}); }, PowerStep::AdjustPrivileges,
     true, false},
    {"privilege not held", [](FakeSystemCalls& f) { f.Queue("AdjustTokenPrivileges", {1, {}, {}, {}, 1300}); },
     PowerStep::PrivilegeNotHeld, true, false},
    {"power request refused",
     [](FakeSystemCalls& f) {
         f.FailNext("ExitWindowsEx");
         f.FailNext("SetSystemPowerState");
     },
     PowerStep::PowerRequest, true, true},
};

TEST(PowerPrivilegedActions, EachFailingStepIsReportedWithoutPowerRequest) {
    for (const PrivilegedAction& a : kPrivilegedActions) {
        for (const FailureCase& c : kFailures) {
            SCOPED_TRACE(std::string(a.label) + ": " + c.label);
            FakeSystemCalls fake;
            fake.SetDefault("OpenProcessToken", {{}, 0x31, {}, {}, {}});
            c.script(fake);
            const PowerResult result = a.run(fake);
            EXPECT_FALSE(result.Succeeded());
            EXPECT_EQ(result.action, a.action);
            EXPECT_EQ(result.failedStep, c.step);
            ASSERT_NE(PowerFailureMessage(result), nullptr);
            EXPECT_STREQ(PowerFailureMessage(result), PowerFailureMessage(a.action));
            EXPECT_EQ(PowerRequests(fake), c.requestsPower ? 1u : 0u);
            EXPECT_EQ(fake.Count("CloseHandle"), c.closesToken ? 1u : 0u);
            EXPECT_EQ(fake.OpenHandles(), 0u);
            EXPECT_EQ(fake.strayCloses, 0u);
        }
    }
}

TEST(PowerPrivilegedActions, OnlyNotAllAssignedTurnsASuccessfulAdjustIntoAFailure) {
    // Only the adjust's own error counts: another call answering with 1300 must not turn the adjust into a failure.
    for (const PrivilegedAction& a : kPrivilegedActions) {
        SCOPED_TRACE(a.label);
        FakeSystemCalls fake;
        fake.Queue("OpenProcessToken", {{}, {}, {}, {}, 1300});
        EXPECT_TRUE(a.run(fake).Succeeded());
        EXPECT_EQ(PowerRequests(fake), 1u);
    }
}

// The calls of the restart asked of Windows itself: the privilege as the power-off enables it, then a forced restart.
Texts ForcedRestart(const char* request = "ExitWindowsEx(0x6, 0x0)") {
    Texts t = {"GetCurrentProcess()",
               "OpenProcessToken(0xffffffff, 0x28, &)",
               "LookupPrivilegeValueA(\"\", \"SeShutdownPrivilege\", &)",
               "AdjustTokenPrivileges(0x7c, FALSE, &, 0x10, &, &)",
               "CloseHandle(0x7c)"};
    if (request) t.push_back(request);
    return t;
}

Texts Concat(Texts a, const Texts& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct RestartCase {
    const char* label;
    std::function<void(FakeSystemCalls&)> script;
    const char* program;  // expected application path; nullptr when nothing may be started
    PowerStep step;
    bool forced;  // shutdown.exe out of reach: the restart asked of Windows itself
};

const char kCommandLine[] = "Shutdown -r -t 00 -c Redémarrage_de_l'ordinateur_par_Tarveil_XP.";

const RestartCase kRestartCases[] = {
    {"usual system folder", [](FakeSystemCalls&) {}, "C:\\WINDOWS\\system32\\shutdown.exe", PowerStep::None, false},
    {"other system folder",
     [](FakeSystemCalls& f) {
         f.SetDefault("GetSystemDirectoryUtf8", {{}, {}, std::string("D:\\WINNT\\System32"), {}, {}});
     },
     "D:\\WINNT\\System32\\shutdown.exe", PowerStep::None, false},
    {"folder already ending in a backslash",
     [](FakeSystemCalls& f) { f.SetDefault("GetSystemDirectoryUtf8", {{}, {}, std::string("C:\\"), {}, {}}); },
     "C:\\shutdown.exe", PowerStep::None, false},
    {"system folder unreadable", [](FakeSystemCalls& f) { f.FailNext("GetSystemDirectoryUtf8"); }, nullptr,
     PowerStep::None, true},
    {"system folder too long for the buffer",
     [](FakeSystemCalls& f) {
         f.SetDefault("GetSystemDirectoryUtf8", {{}, {}, "C:\\" + std::string(300, 'x'), {}, {}});
     },
     nullptr, PowerStep::None, true},
    // A policy blocking shutdown.exe, or no such file.
    {"shutdown.exe does not start", [](FakeSystemCalls& f) { f.FailNext("CreateProcessUtf8"); },
     "C:\\WINDOWS\\system32\\shutdown.exe", PowerStep::None, true},
    {"it does not start and Windows refuses the restart too",
     [](FakeSystemCalls& f) {
         f.FailNext("CreateProcessUtf8");
         f.FailNext("ExitWindowsEx");
     },
     "C:\\WINDOWS\\system32\\shutdown.exe", PowerStep::PowerRequest, true},
};

TEST(PowerRestart, StartsTheSystemShutdownProgramOnly) {
    for (const RestartCase& c : kRestartCases) {
        SCOPED_TRACE(c.label);
        FakeSystemCalls fake;
        c.script(fake);
        RestartWatch watch(fake);
        const PowerResult result = RedemarrerOrdinateur(fake, watch);
        EXPECT_EQ(result.action, PowerAction::Restart);
        EXPECT_EQ(result.failedStep, c.step);
        Texts expected = {"GetSystemDirectoryUtf8(&, 0x104)"};
        if (c.program) {
            expected.push_back("CreateProcessUtf8(\"" + std::string(c.program) + "\", \"" + kCommandLine +
                               "\", 0x2, &)");
        }
        // No token, privilege or power request: shutdown.exe does all that itself. Its handle is kept, to be
        // watched, exactly when it started.
        EXPECT_EQ(fake.Texts(), c.forced ? Concat(expected, ForcedRestart()) : expected);
        EXPECT_EQ(watch.Watching(), !c.forced);
        if (c.step == PowerStep::None) {
            EXPECT_EQ(PowerFailureMessage(result), nullptr);
        } else {
            EXPECT_STREQ(PowerFailureMessage(result), PowerFailureMessage(PowerAction::Restart));
        }
    }
}

const char kWait[] = "WaitForSingleObject(0x2a8, 0x0)";
const char kExitCode[] = "GetExitCodeProcess(0x2a8, &)";
const char kClose[] = "CloseHandle(0x2a8)";

TEST(PowerRestartWatch, ALookASecondUntilShutdownExeEndsThenWindowsItselfWhenItRefused) {
    struct Case {
        const char* label;
        std::function<void(FakeSystemCalls&)> answers;  // what the system answers
        int looks;                                      // the look that settles it
        Texts calls;                                    // every call from the first look on
        PowerStep step;
    } cases[] = {
        // Ended with 0, only the restart's coming is waited for, two minutes, asking nothing more.
        {"ends with 0 at once, and the program still runs two minutes later", [](FakeSystemCalls&) {}, 121,
         {kWait, kExitCode, kClose}, PowerStep::RestartNotSeen},
        {"runs two seconds, then ends with 0",
         [](FakeSystemCalls& f) {
             f.Queue("WaitForSingleObject", {0x102, {}, {}, {}, {}});
             f.Queue("WaitForSingleObject", {0x102, {}, {}, {}, {}});
         },
         123, {kWait, kWait, kWait, kExitCode, kClose}, PowerStep::RestartNotSeen},
        {"ends with 1: a limited account on XP",
         [](FakeSystemCalls& f) { f.Queue("GetExitCodeProcess", {{}, 1, {}, {}, {}}); }, 1,
         Concat({kWait, kExitCode, kClose}, ForcedRestart()), PowerStep::None},
        {"ends with 1 and Windows refuses the restart too",
         [](FakeSystemCalls& f) {
             f.Queue("GetExitCodeProcess", {{}, 1, {}, {}, {}});
             f.FailNext("ExitWindowsEx");
         },
         1, Concat({kWait, kExitCode, kClose}, ForcedRestart()), PowerStep::PowerRequest},
        {"ends with 5 and the account lacks the shutdown privilege",
         [](FakeSystemCalls& f) {
             f.Queue("GetExitCodeProcess", {{}, 5, {}, {}, {}});
             f.Queue("AdjustTokenPrivileges", {1, {}, {}, {}, 1300});
         },
         1, Concat({kWait, kExitCode, kClose}, ForcedRestart(nullptr)), PowerStep::PrivilegeNotHeld},
        {"still running at the thirtieth look",
         [](FakeSystemCalls& f) { f.SetDefault("WaitForSingleObject", {0x102, {}, {}, {}, {}}); }, 30,
         Concat(Concat(Texts(30, kWait), {kClose}), ForcedRestart()), PowerStep::None},
        {"the wait fails", [](FakeSystemCalls& f) { f.Queue("WaitForSingleObject", {0xFFFFFFFF, {}, {}, {}, {}}); }, 1,
         Concat({kWait, kClose}, ForcedRestart()), PowerStep::None},
        {"its exit code cannot be read", [](FakeSystemCalls& f) { f.FailNext("GetExitCodeProcess"); }, 1,
         Concat({kWait, kExitCode, kClose}, ForcedRestart()), PowerStep::None},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        FakeSystemCalls fake;
        c.answers(fake);
        RestartWatch watch(fake);
        ASSERT_TRUE(RedemarrerOrdinateur(fake, watch).Succeeded());
        const size_t started = fake.calls.size();
        PowerResult result{PowerAction::PowerOff, PowerStep::OpenToken};
        int looks = 0;
        bool settled = false;
        while (!settled && looks < 200) {
            settled = watch.Look(&result);
            ++looks;
        }
        EXPECT_EQ(c.looks, looks);
        EXPECT_FALSE(watch.Watching());
        EXPECT_EQ(result.action, PowerAction::Restart);
        EXPECT_EQ(result.failedStep, c.step);
        const Texts all = fake.Texts();
        EXPECT_EQ(Texts(all.begin() + static_cast<long>(started), all.end()), c.calls);
        // Over: a further look asks nothing, and the end of the watch closes nothing twice.
        const size_t after = fake.calls.size();
        EXPECT_FALSE(watch.Look(&result));
        watch.Stop();
        EXPECT_EQ(fake.calls.size(), after);
    }
}

TEST(PowerRestartWatch, EveryHandleIsClosedOnceWhicheverWayTheWatchEnds) {
    struct Case {
        const char* label;
        std::function<void(FakeSystemCalls&, RestartWatch&)> end;
        Texts closes;
        size_t forced = 0;  // restarts asked of Windows itself
    } cases[] = {
        {"stopped (a cancel, the window closed)", [](FakeSystemCalls&, RestartWatch& w) { w.Stop(); },
         {"CloseHandle(0x2a8)"}},
        {"a second restart started before the first was over",
         [](FakeSystemCalls& f, RestartWatch& w) {
             f.Queue("CreateProcessUtf8", {{}, 0x3B0, {}, {}, {}});
             ASSERT_TRUE(RedemarrerOrdinateur(f, w).Succeeded());
         },
         {"CloseHandle(0x2a8)", "CloseHandle(0x3b0)"}},
        // Restarted through Windows itself, with the token opened and closed for the privilege.
        {"a second restart that does not start", [](FakeSystemCalls& f, RestartWatch& w) {
             f.FailNext("CreateProcessUtf8");
             ASSERT_TRUE(RedemarrerOrdinateur(f, w).Succeeded());
         },
         {"CloseHandle(0x7c)", "CloseHandle(0x2a8)"}, 1},
        {"left to its end (the program ends)", [](FakeSystemCalls&, RestartWatch&) {}, {"CloseHandle(0x2a8)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        FakeSystemCalls fake;
        {
            RestartWatch watch(fake);
            ASSERT_TRUE(RedemarrerOrdinateur(fake, watch).Succeeded());
            c.end(fake, watch);
        }
        Texts closes;
        for (const FakeCall& call : fake.calls) {
            if (call.name == "CloseHandle") closes.push_back(call.Text());
        }
        EXPECT_EQ(closes, c.closes);
        EXPECT_EQ(fake.OpenHandles(), 0u);
        EXPECT_EQ(fake.strayCloses, 0u);
        EXPECT_EQ(fake.Count("ExitWindowsEx"), c.forced);
        EXPECT_EQ(fake.Count("OpenProcessToken"), c.forced);
    }
}

TEST(PowerMessages, OneFrenchTextPerAction) {
    const struct {
        PowerAction action;
        const char* text;
    } cases[] = {
        {PowerAction::Restart, "Le redémarrage de l'ordinateur a échoué."},
        {PowerAction::PowerOff, "L'arrêt de l'ordinateur a échoué."},
        {PowerAction::Hibernate, "La mise en veille prolongée de l'ordinateur a échoué."},
    };
    for (const auto& c : cases) {
        EXPECT_STREQ(PowerFailureMessage(c.action), c.text);
        EXPECT_STREQ(PowerFailureMessage(PowerResult{c.action, PowerStep::PowerRequest}), c.text);
        EXPECT_EQ(PowerFailureMessage(PowerResult{c.action, PowerStep::None}), nullptr);
    }
}

}  // namespace
