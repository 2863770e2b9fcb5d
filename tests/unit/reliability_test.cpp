// The fuzzing properties on a fixed pseudo-random corpus, so every unit run checks them without clang, and the
// clock jumping forward by hours and back by minutes around an armed time.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tests/fuzz/properties.h"

namespace {

// Inputs shaped like what the fuzzer finds: random bytes, and for the time check mostly near-valid texts.
std::vector<uint8_t> RandomInput(std::mt19937& rng, size_t most) {
    std::vector<uint8_t> bytes(rng() % (most + 1));
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(rng());
    return bytes;
}

std::vector<uint8_t> NearTimeText(std::mt19937& rng) {
    char text[9];
    FormatTimeText(static_cast<int>(rng() % 86400), text);
    std::string s(text);
    switch (rng() % 6) {
    case 0: s[rng() % 8] = static_cast<char>(rng()); break;
    case 1: s.erase(rng() % 8, 1); break;
    case 2: s.insert(rng() % 9, 1, static_cast<char>('0' + rng() % 10)); break;
    case 3: s[rng() % 2 ? 0 : 3] = static_cast<char>('0' + rng() % 10); break;
    default: break;
    }
    return std::vector<uint8_t>(s.begin(), s.end());
}

TEST(Properties, TimeCheckAgreesWithTheTableOracleAndOkHidesExactlyThen) {
    std::mt19937 rng(20261207);
    int accepted = 0;
    for (int i = 0; i < 4000; ++i) {
        const std::vector<uint8_t> in = i % 4 == 0 ? RandomInput(rng, 12) : NearTimeText(rng);
        const std::string failure = props::TimeTextProperty(in.data(), in.size());
        ASSERT_EQ("", failure) << std::string(in.begin(), in.end());
        int second;
        accepted += props::OracleTimeText(std::string(in.begin(), in.end()), &second);
    }
    // Both answers were exercised, many times.
    EXPECT_GT(accepted, 1000);
    EXPECT_LT(accepted, 3500);
}

TEST(Properties, OnlyALeftButtonDownCallbackRestores) {
    std::mt19937 rng(7);
    for (int i = 0; i < 3000; ++i) {
        const std::vector<uint8_t> in = RandomInput(rng, 200);
        ASSERT_EQ("", props::TrayProperty(in.data(), in.size())) << "input " << i;
    }
}

TEST(Properties, TriggerFiresByTheRuleAndOncePerPassage) {
    std::mt19937 rng(11);
    for (int i = 0; i < 3000; ++i) {
        const std::vector<uint8_t> in = RandomInput(rng, 400);
        ASSERT_EQ("", props::TriggerProperty(in.data(), in.size())) << "input " << i;
    }
}

TEST(Oracles, AgreeWithHandPickedCases) {
    // The oracles are the yardstick of the properties: a few answers checked by hand.
    int s = -1;
    EXPECT_TRUE(props::OracleTimeText("23:59:59", &s));
    EXPECT_EQ(86399, s);
    EXPECT_TRUE(props::OracleTimeText("20:30:00", &s));
    EXPECT_EQ(73800, s);
    for (const char* bad : {"24:00:00", "19:60:00", "8:30:00", "20-30-00", "-5:00:00", "", "20:30:00 ", "2O:30:00"})
        EXPECT_FALSE(props::OracleTimeText(bad, &s)) << bad;
    EXPECT_EQ(513, props::OracleTrayMessage(7695.0f, 15.0f));
    EXPECT_EQ(512, props::OracleTrayMessage(7687.5f, 15.0f));  // 512.5: to the even side
    EXPECT_EQ(514, props::OracleTrayMessage(7717.5f, 15.0f));  // 513.5
    EXPECT_EQ(0, props::OracleTrayMessage(1e30f, 15.0f));
    const props::Instant before{35999, 35999};
    EXPECT_TRUE(props::OracleFires("10:00:00", &before, {36001, 36001}));
    EXPECT_FALSE(props::OracleFires("10:00:00", &before, {36060, 36060}));
    EXPECT_TRUE(props::OracleFires("10:00:00", nullptr, {36000 + 86400, 36000 + 86400}));
    // 01:59:59 to 03:00:00 in one tick as daylight saving starts; then the local clock back an hour as it ends.
    const props::Instant beforeSkip{7199 - 3600, 7199};
    EXPECT_TRUE(props::OracleFires("02:30:00", &beforeSkip, {7200 - 3600, 10800}));
    EXPECT_FALSE(props::OracleFires("02:30:00", &beforeSkip, {7200 - 3600 + 61, 10800 + 61}));
    const props::Instant beforeEnd{10799 - 7200, 10799};
    EXPECT_FALSE(props::OracleFires("02:30:00", &beforeEnd, {10800 - 7200, 7200}));
    EXPECT_FALSE(props::OracleFires("12:00:00", &before, {36001, 36001 + 27 * 3600}));
    // Asleep over it: skipped; asleep short of it, or over it with an absurd lead: nothing.
    EXPECT_EQ(props::Due::Skipped, props::OracleVerdict("10:00:00", &before, {36060, 36060}));
    EXPECT_EQ(props::Due::Skipped, props::OracleVerdict("02:30:00", &beforeSkip, {7200 - 3600 + 61, 10800 + 61}));
    EXPECT_EQ(props::Due::Nothing, props::OracleVerdict("11:00:00", &before, {36060, 36060}));
    EXPECT_EQ(props::Due::Nothing, props::OracleVerdict("12:00:00", &before, {36100, 36100 + 27 * 3600}));
    EXPECT_EQ(props::Due::Fire, props::OracleVerdict("10:00:00", &before, {36000, 36000}));
}

// Steps of one second each, to walk the clock.
std::vector<int64_t> Ones(int n) { return std::vector<int64_t>(static_cast<size_t>(n), 1); }

std::vector<int64_t> Join(std::vector<std::vector<int64_t>> parts) {
    std::vector<int64_t> all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

// The clock set by hand while 10:00:00 is armed at 09:59:55 (T-5): a jump forward by hours over the target fires
// nothing (a jump is no late tick), setting it back by minutes lets each new passage fire once, never twice.
TEST(ClockJumps, ForwardByHoursAndBackByMinutesAroundAnArmedTime) {
    struct Case {
        const char* name;
        std::vector<int64_t> steps;  // one tick after moving the clock by each step
        int firings;                 // countdowns started, each cancelled at once
        size_t told;                 // the target said as missed
    } cases[] = {
        {"forward 3 h over the target", Join({Ones(2), {3 * 3600}, Ones(3)}), 0, 1},
        {"forward 2 h, then back 5 min", {1, 2 * 3600, -300, 1, 1}, 0, 1},
        {"back 10 min before reaching it, then second by second", Join({{1, -600}, Ones(10)}), 0, 0},
        {"reached, back 2 min, walked to it again", Join({Ones(5), {1, -120}, Ones(119), Ones(3)}), 2, 0},
        {"late tick of 40 s over it, back 1 min, ticks of 40 s", {40, -60, 40, 40}, 2, 0},
        {"forward 61 s over it", {61, 1, 1}, 0, 1},
        {"a day and 5 s later: the same second", {86405, 1}, 1, 0},
        {"back 1 min just after it fired, back at it by two late ticks", {5, -60, 30, 30, 1}, 2, 0},
        {"back 1 s just before it", {4, -1, 1, 1, 1}, 1, 0},
        {"forward 1 h and back 1 h, then a late tick over it", {1, 3600, -3600, 4, 1}, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FormFixture f;
        f.clock.SetTimeOfDay(9, 59, 55);
        f.form->Form_Load();
        f.TxTChoix.text = "10:00:00";
        f.form->Activer_Click();
        ASSERT_TRUE(f.form->Tray.InTray());
        int firings = 0;
        for (int64_t step : c.steps) {
            f.clock.Advance(step);
            f.Tick();
            if (!f.form->Declenche) continue;
            ++firings;
            EXPECT_EQ("5", f.LblDecompte.caption);
            EXPECT_TRUE(f.host.visible);
            f.form->cmdCancel_Click();
        }
        EXPECT_EQ(c.firings, firings);
        EXPECT_EQ(c.told, f.host.messages.size());
        EXPECT_EQ(0u, f.system.Count("ExitWindowsEx"));
    }
}

}  // namespace
