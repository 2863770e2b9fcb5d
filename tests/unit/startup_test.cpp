// Start-up and the clock: what the window shows right after load and on every tick.
#include <gtest/gtest.h>

#include "fake_form.h"
#include "scheduler/TimeText.h"

TEST(TimeText, FormatsEveryTimeOfDayAsTwoDigitFields) {
    struct Case {
        int second;
        const char* text;
    } cases[] = {{0, "00:00:00"},        {1, "00:00:01"},         {59, "00:00:59"},       {60, "00:01:00"},
                 {3599, "00:59:59"},     {3600, "01:00:00"},      {73800, "20:30:00"},    {43200, "12:00:00"},
                 {86399, "23:59:59"},    {86400, "00:00:00"},     {-1, "23:59:59"}};
    for (const Case& c : cases) {
        char out[9];
        FormatTimeText(c.second, out);
        EXPECT_STREQ(c.text, out) << c.second;
    }
}

TEST(TimeText, EveryFormattedTimeParsesBackToItself) {
    for (int second = 0; second < 86400; second += 7) {
        char out[9];
        FormatTimeText(second, out);
        int parsed = -1;
        ASSERT_TRUE(ParseTimeText(out, 8, &parsed)) << out;
        EXPECT_EQ(second, parsed) << out;
    }
}

TEST(Startup, LoadShowsTheWindowThenTheCurrentTimeBeforeAnyTick) {
    FormFixture f;
    f.clock.SetTimeOfDay(7, 5, 9);
    // The backdrop is painted first: the window is shown before the clock is written.
    int clockWritesWhenShown = -1;
    f.host.whileShowing = [&] { clockWritesWhenShown = f.TxtHeure.setCount; };
    f.form->Form_Load();
    EXPECT_EQ(0, clockWritesWhenShown);
    EXPECT_EQ(1u, f.host.Count("Show"));
    EXPECT_EQ("07:05:09", f.TxtHeure.text);
    EXPECT_EQ(1, f.TxtHeure.setCount);
}

TEST(Clock, EveryTickWritesTheTimeShownOrHidden) {
    FormFixture f;
    f.clock.SetTimeOfDay(23, 59, 58);
    f.form->Form_Load();
    f.NextSecond();
    EXPECT_EQ("23:59:59", f.TxtHeure.text);
    f.host.Hide();
    f.NextSecond();
    EXPECT_EQ("00:00:00", f.TxtHeure.text);
    EXPECT_EQ(3, f.TxtHeure.setCount);
}
