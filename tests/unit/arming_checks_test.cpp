// The checks made at arming, as a table of what the system answers: the shutdown privilege in the token, and
// hibernation switched on or off.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "power/ArmingChecks.h"
#include "tests/unit/fake_system_calls.h"

namespace {

using Token = std::vector<LuidAndAttributes>;

// What the token says, scripted on the fake. The fake looks SeShutdownPrivilege up as LUID 0x13.
struct TokenScript {
    const char* label;
    std::function<void(FakeSystemCalls&)> script;
};

const TokenScript kHeldDisabled{"held, disabled (the default)", [](FakeSystemCalls&) {}};
const TokenScript kHeldEnabled{"held, enabled", [](FakeSystemCalls& s) {
    s.SetDefault("GetTokenInformation", {{}, {}, {}, Token({{0x17, 3}, {0x13, 3}}), {}});
}};
const TokenScript kHeldAlone{"the only privilege", [](FakeSystemCalls& s) {
    s.SetDefault("GetTokenInformation", {{}, {}, {}, Token({{0x13, 0}}), {}});
}};
const TokenScript kMissing{"not in the token", [](FakeSystemCalls& s) {
    s.SetDefault("GetTokenInformation", {{}, {}, {}, Token({{0x17, 3}, {0x19, 0}}), {}});
}};
const TokenScript kNone{"a token with no privilege", [](FakeSystemCalls& s) {
    s.SetDefault("GetTokenInformation", {{}, {}, {}, Token({}), {}});
}};
const TokenScript kRemoved{"listed as removed", [](FakeSystemCalls& s) {
    s.SetDefault("GetTokenInformation", {{}, {}, {}, Token({{0x17, 3}, {0x13, 4}}), {}});
}};
// The same low half under another high half is another privilege.
const TokenScript kOtherHighHalf{"0x13 under another high half", [](FakeSystemCalls& s) {
    s.SetDefault("GetTokenInformation", {{}, {}, {}, Token({{0x0000000100000013ull, 0}}), {}});
}};
const TokenScript kOpenFails{"token not opened", [](FakeSystemCalls& s) { s.FailNext("OpenProcessToken"); }};
const TokenScript kLookupFails{"privilege name not looked up", [](FakeSystemCalls& s) { s.FailNext("LookupPrivilegeValueA"); }};
const TokenScript kReadFails{"token not read", [](FakeSystemCalls& s) { s.FailNext("GetTokenInformation"); }};
// More entries than the record read has room for: the system refuses with ERROR_INSUFFICIENT_BUFFER.
const TokenScript kTooMany{"more privileges than room", [](FakeSystemCalls& s) {
    Token entries;
    for (uint64_t l = 0x100; l < 0x100 + kTokenPrivilegesReadEntries; ++l) entries.push_back({l, 0});
    entries.push_back({0x13, 0});
    s.SetDefault("GetTokenInformation", {{}, {}, {}, entries, {}});
}};
// A count that claims more entries than were written: read as it stands, the shutdown privilege would be missing.
const TokenScript kCountBeyondRecord{"count beyond the record", [](FakeSystemCalls& s) {
    s.SetDefault("GetTokenInformation", {{}, TokenPrivilegesLength(1), {}, Token({{0x17, 3}, {}, {}, {}, {}}), {}});
}};

enum class Hibernation { Allowed, NotAllowed, CannotBeHad };

void Script(FakeSystemCalls& s, Hibernation h) {
    if (h == Hibernation::NotAllowed) s.SetDefault("IsPwrHibernateAllowed", {{}, 0, {}, {}, {}});
    if (h == Hibernation::CannotBeHad) s.SetDefault("IsPwrHibernateAllowed", {0, {}, {}, {}, {}});
}

const char* Name(PowerAction a) {
    return a == PowerAction::Restart ? "restart" : a == PowerAction::PowerOff ? "power-off" : "hibernate";
}

}  // namespace

TEST(ArmingChecks, VerdictForEachActionAndWhatTheSystemAnswers) {
    const auto None = ArmingRefusal::None, NoPrivilege = ArmingRefusal::NoShutdownPrivilege,
               Off = ArmingRefusal::HibernationOff;
    const auto PowerOff = PowerAction::PowerOff, Hibernate = PowerAction::Hibernate, Restart = PowerAction::Restart;
    struct Row {
        PowerAction action;
        const TokenScript& token;
        Hibernation hibernation;
        ArmingRefusal verdict;
    } rows[] = {
        {PowerOff, kHeldDisabled, Hibernation::Allowed, None},
        {PowerOff, kHeldEnabled, Hibernation::Allowed, None},
        {PowerOff, kHeldAlone, Hibernation::Allowed, None},
        {PowerOff, kMissing, Hibernation::Allowed, NoPrivilege},
        {PowerOff, kNone, Hibernation::Allowed, NoPrivilege},
        {PowerOff, kRemoved, Hibernation::Allowed, NoPrivilege},
        {PowerOff, kOtherHighHalf, Hibernation::Allowed, NoPrivilege},
        // Cannot tell: armed, and the action reports a refusal when it runs.
        {PowerOff, kOpenFails, Hibernation::Allowed, None},
        {PowerOff, kLookupFails, Hibernation::Allowed, None},
        {PowerOff, kReadFails, Hibernation::Allowed, None},
        {PowerOff, kTooMany, Hibernation::Allowed, None},
        {PowerOff, kCountBeyondRecord, Hibernation::Allowed, None},
        // Power-off does not care whether hibernation is on.
        {PowerOff, kHeldDisabled, Hibernation::NotAllowed, None},
        {Hibernate, kHeldDisabled, Hibernation::Allowed, None},
        {Hibernate, kHeldDisabled, Hibernation::NotAllowed, Off},
        {Hibernate, kHeldEnabled, Hibernation::NotAllowed, Off},
        {Hibernate, kHeldDisabled, Hibernation::CannotBeHad, None},
        {Hibernate, kMissing, Hibernation::Allowed, NoPrivilege},
        {Hibernate, kMissing, Hibernation::NotAllowed, NoPrivilege},
        {Hibernate, kRemoved, Hibernation::CannotBeHad, NoPrivilege},
        {Hibernate, kOpenFails, Hibernation::NotAllowed, Off},
        {Hibernate, kReadFails, Hibernation::Allowed, None},
        // The restart has a way of its own when refused: nothing is asked.
        {Restart, kMissing, Hibernation::NotAllowed, None},
        {Restart, kHeldDisabled, Hibernation::Allowed, None},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(Name(r.action)) + ", " + r.token.label + ", hibernation " +
                     std::to_string(static_cast<int>(r.hibernation)));
        FakeSystemCalls fake;
        r.token.script(fake);
        Script(fake, r.hibernation);
        EXPECT_EQ(r.verdict, CheckBeforeArming(r.action, fake));
        EXPECT_EQ(r.verdict == None, ArmingRefusalMessage(r.verdict) == nullptr);

        if (r.action == Restart) {
            EXPECT_TRUE(fake.calls.empty());
            continue;
        }
        // Read only: the token is opened for query alone, never adjusted, and closed whenever it was opened.
        EXPECT_EQ(0u, fake.Count("AdjustTokenPrivileges"));
        for (const FakeCall& c : fake.calls) {
            if (c.name == "OpenProcessToken") {
                EXPECT_EQ("0x8", c.args[1]);
            }
        }
        const bool opened = &r.token != &kOpenFails;
        EXPECT_EQ(opened ? 1u : 0u, fake.Count("CloseHandle"));
        EXPECT_EQ(0u, fake.OpenHandles());
        EXPECT_EQ(0u, fake.strayCloses);
        // Hibernation is asked about only for hibernation, and only once the privilege did not rule it out.
        const bool asked = r.action == Hibernate && r.verdict != NoPrivilege;
        EXPECT_EQ(asked ? 1u : 0u, fake.Count("IsPwrHibernateAllowed"));
    }
}

TEST(ArmingChecks, HibernationCallsInOrder) {
    FakeSystemCalls fake;
    EXPECT_EQ(ArmingRefusal::None, CheckBeforeArming(PowerAction::Hibernate, fake));
    // 0x304: room for 64 entries; 0x3: TokenPrivileges.
    const std::vector<std::string> expected = {
        "GetCurrentProcess()",
        "OpenProcessToken(0xffffffff, 0x8, &)",
        "LookupPrivilegeValueA(\"\", \"SeShutdownPrivilege\", &)",
        "GetTokenInformation(0x7c, 0x3, &, 0x304, &)",
        "CloseHandle(0x7c)",
        "IsPwrHibernateAllowed(&)",
    };
    EXPECT_EQ(expected, fake.Texts());
}
