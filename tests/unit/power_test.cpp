// Power actions against the recording fake: exact calls and values, record bytes, and that every
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

using Bytes = std::vector<uint8_t>;
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

const char* const kPowerRequestNames[] = {"ExitWindowsEx", "SetSystemPowerState", "CreateProcess"};

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
            "GetLastError()",
            "CloseHandle(0x5a4)",
            a.powerRequest,
        };
        EXPECT_EQ(fake.Texts(), expected);
    }
}

TEST(PowerPrivilegedActions, TokenPrivilegesRecordBytes) {
    // A LUID with both halves set shows the low and high words land in their own places.
    const uint64_t luids[] = {0x13, 0x0000000700000013ull, 0xA1B2C3D4E5F60718ull};
    for (const PrivilegedAction& a : kPrivilegedActions) {
        for (uint64_t luid : luids) {
            SCOPED_TRACE(std::string(a.label) + " luid " + FakeSystemCalls::Hex(luid));
            FakeSystemCalls fake;
            fake.SetDefault("LookupPrivilegeValueA", {{}, luid, {}, {}, {}});
            a.run(fake);
            const FakeCall* adjust = fake.Find("AdjustTokenPrivileges");
            ASSERT_NE(adjust, nullptr);
            ASSERT_EQ(adjust->records.size(), 2u);
            const uint32_t lo = static_cast<uint32_t>(luid), hi = static_cast<uint32_t>(luid >> 32);
            const Bytes newState = {1, 0, 0, 0,
                                    uint8_t(lo), uint8_t(lo >> 8), uint8_t(lo >> 16), uint8_t(lo >> 24),
                                    uint8_t(hi), uint8_t(hi >> 8), uint8_t(hi >> 16), uint8_t(hi >> 24),
                                    2, 0, 0, 0};
            EXPECT_EQ(adjust->records[0], newState);
            // The previous-state buffer reaches the system zeroed, not with stack leftovers.
            EXPECT_EQ(adjust->records[1], Bytes(16, 0));
        }
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
            if (c.closesToken) {
                EXPECT_EQ(fake.FirstText("CloseHandle"), "CloseHandle(0x31)");
            }
        }
    }
}

TEST(PowerPrivilegedActions, OnlyNotAllAssignedTurnsASuccessfulAdjustIntoAFailure) {
    // A stale error left by an earlier call must not count: the system clears it on success.
    for (const PrivilegedAction& a : kPrivilegedActions) {
        SCOPED_TRACE(a.label);
        FakeSystemCalls fake;
        fake.Queue("OpenProcessToken", {{}, {}, {}, {}, 1300});
        EXPECT_TRUE(a.run(fake).Succeeded());
        EXPECT_EQ(PowerRequests(fake), 1u);
    }
}

struct RestartCase {
    const char* label;
    std::function<void(FakeSystemCalls&)> script;
    const char* program;  // expected application path; nullptr when nothing may be started
    PowerStep step;
};

const char kCommandLine[] = "Shutdown -r -t 00 -c Redémarrage_de_l'ordinateur_par_Tarveil_XP.";

const RestartCase kRestartCases[] = {
    {"usual system folder", [](FakeSystemCalls&) {}, "C:\\WINDOWS\\system32\\shutdown.exe", PowerStep::None},
    {"other system folder",
     [](FakeSystemCalls& f) { f.SetDefault("GetSystemDirectory", {{}, {}, std::string("D:\\WINNT\\System32"), {}, {}}); },
     "D:\\WINNT\\System32\\shutdown.exe", PowerStep::None},
    {"folder already ending in a backslash",
     [](FakeSystemCalls& f) { f.SetDefault("GetSystemDirectory", {{}, {}, std::string("C:\\"), {}, {}}); },
     "C:\\shutdown.exe", PowerStep::None},
    {"system folder unreadable", [](FakeSystemCalls& f) { f.FailNext("GetSystemDirectory"); }, nullptr,
     PowerStep::SystemDirectory},
    {"system folder too long for the buffer",
     [](FakeSystemCalls& f) {
         f.SetDefault("GetSystemDirectory", {{}, {}, "C:\\" + std::string(300, 'x'), {}, {}});
     },
     nullptr, PowerStep::SystemDirectory},
    {"shutdown.exe does not start", [](FakeSystemCalls& f) { f.FailNext("CreateProcess"); },
     "C:\\WINDOWS\\system32\\shutdown.exe", PowerStep::StartProgram},
};

TEST(PowerRestart, StartsTheSystemShutdownProgramOnly) {
    for (const RestartCase& c : kRestartCases) {
        SCOPED_TRACE(c.label);
        FakeSystemCalls fake;
        c.script(fake);
        const PowerResult result = RedemarrerOrdinateur(fake);
        EXPECT_EQ(result.action, PowerAction::Restart);
        EXPECT_EQ(result.failedStep, c.step);
        Texts expected = {"GetSystemDirectory(&, 0x104)"};
        if (c.program) {
            expected.push_back("CreateProcess(\"" + std::string(c.program) + "\", \"" + kCommandLine + "\", 0x2)");
        }
        // No token, privilege, power request or handle call: shutdown.exe does all that itself.
        EXPECT_EQ(fake.Texts(), expected);
        if (c.step == PowerStep::None) {
            EXPECT_EQ(PowerFailureMessage(result), nullptr);
        } else {
            EXPECT_STREQ(PowerFailureMessage(result), PowerFailureMessage(PowerAction::Restart));
        }
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
