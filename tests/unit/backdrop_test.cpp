// The window's backdrop: the order of the steps that copy the screen under the window, their values, and
// which events repaint it.
#include <gtest/gtest.h>

#include "fake_form.h"
#include "shell/Backdrop.h"

namespace {

using Journal = std::vector<std::string>;

// The steps of one backdrop repaint when every call succeeds: the screen is read only once the hidden window is
// off it. A window never shown yet (at load) is not hidden and has nothing under it to wait for.
Journal FullSequence(const std::string& tint, const std::string& box, bool shown = true) {
    Journal steps = {"AutoRedraw(true)", "GetDesktopWindow", "GetDC", "BitBlt", "ImageToPicture",
                     "Show", "ReleaseDC", "DrawMode(9)", "ForeColor(" + tint + ")", box};
    if (shown) steps.insert(steps.begin() + 1, {"Hide", "DoEvents", "WaitUntilOffScreen"});
    return steps;
}

}  // namespace

TEST(Backdrop, StepsRunInOrderWithTheCopyBetweenHideAndShow) {
    FormFixture f;
    f.host.visible = true;
    const Colour white = kWhite;
    MakeTranslucent(f.host, f.system, &white);
    EXPECT_EQ(FullSequence("0xffffff", "DrawBox(0,0,3630,2670)"), f.host.Journal());
    EXPECT_EQ("GetDC(0x10010)", f.system.FirstText("GetDC"));
    EXPECT_EQ("ReleaseDC(0x10010, 0x1000)", f.system.FirstText("ReleaseDC"));
    EXPECT_TRUE(f.host.autoRedraw);
    EXPECT_TRUE(f.host.visible);
    EXPECT_EQ(9, f.host.drawMode);
}

TEST(Backdrop, CopiesTheScreenUnderTheWindowInPixels) {
    struct Case {
        float tpp;
        float left, top;
        float width, height;
        const char* bitBlt;
        const char* box;
    } cases[] = {
        // 96 DPI, whole pixels.
        {15, 1500, 3000, 3630, 2670, "BitBlt(0x2000, 0, 0, 242, 178, 0x1000, 100, 200, 0xcc0020)",
         "DrawBox(0,0,3630,2670)"},
        // Halves round to the even pixel: 100.5 -> 100, 201.5 -> 202.
        {15, 1507.5f, 3022.5f, 3630, 2670, "BitBlt(0x2000, 0, 0, 242, 178, 0x1000, 100, 202, 0xcc0020)",
         "DrawBox(0,0,3630,2670)"},
        // Left of and above the screen.
        {15, -1507.5f, -22.5f, 3630, 2670, "BitBlt(0x2000, 0, 0, 242, 178, 0x1000, -100, -2, 0xcc0020)",
         "DrawBox(0,0,3630,2670)"},
        // 120 DPI: 302.5 x 222.5 pixels round down to the even 302 x 222; 37.5 -> 38, 10.5 -> 10.
        {12, 450, 126, 3630, 2670, "BitBlt(0x2000, 0, 0, 302, 222, 0x1000, 38, 10, 0xcc0020)",
         "DrawBox(0,0,3630,2670)"},
        // 120 DPI, the size the window really has there (302 x 223 pixels).
        {12, 1200, 2400, 3624, 2676, "BitBlt(0x2000, 0, 0, 302, 223, 0x1000, 100, 200, 0xcc0020)",
         "DrawBox(0,0,3624,2676)"},
        // The size in twips is itself rounded half to even before it is turned into pixels.
        {15, 0, 0, 3630.5f, 2671.5f, "BitBlt(0x2000, 0, 0, 242, 178, 0x1000, 0, 0, 0xcc0020)",
         "DrawBox(0,0,3630,2672)"},
        // A position that does not fit in 16 bits is skipped and stays 0; the rest goes on.
        {15, 15.0f * 40000, 300, 3630, 2670, "BitBlt(0x2000, 0, 0, 242, 178, 0x1000, 0, 20, 0xcc0020)",
         "DrawBox(0,0,3630,2670)"},
    };
    for (const Case& c : cases) {
        FormFixture f;
        f.host.tppX = f.host.tppY = c.tpp;
        f.host.left = c.left;
        f.host.top = c.top;
        f.host.scaleWidth = c.width;
        f.host.scaleHeight = c.height;
        f.host.visible = true;
        const Colour white = kWhite;
        MakeTranslucent(f.host, f.system, &white);
        const FakeCall* blit = f.system.Find("BitBlt");
        ASSERT_NE(nullptr, blit) << c.bitBlt;
        EXPECT_EQ(c.bitBlt, blit->Text());
        EXPECT_EQ(FullSequence("0xffffff", c.box), f.host.Journal()) << c.bitBlt;
    }
}

TEST(Backdrop, TintDefaultsWhenMissingOrZero) {
    const Colour zero = 0, white = kWhite, other = 0x123456, defaultTint = 0xC80000;
    struct Case {
        const Colour* given;
        Colour expected;
    } cases[] = {{nullptr, 0xC80000}, {&zero, 0xC80000}, {&white, 0xFFFFFF}, {&other, 0x123456},
                 {&defaultTint, 0xC80000}};
    for (const Case& c : cases) {
        FormFixture f;
        MakeTranslucent(f.host, f.system, c.given);
        EXPECT_EQ(c.expected, f.host.foreColour);
        EXPECT_EQ(1u, f.host.Count("ForeColor(" + FakeSystemCalls::Hex(c.expected) + ")"));
    }
}

TEST(Backdrop, WithoutTheScreenDcNothingIsCopiedOrReleasedButTheRestRuns) {
    FormFixture f;
    f.host.visible = true;
    f.system.FailNext("GetDC");
    const Colour white = kWhite;
    MakeTranslucent(f.host, f.system, &white);
    const Journal expected = {"AutoRedraw(true)", "Hide",           "DoEvents",    "WaitUntilOffScreen",
                              "GetDesktopWindow", "GetDC",          "ImageToPicture", "Show",
                              "DrawMode(9)",      "ForeColor(0xffffff)", "DrawBox(0,0,3630,2670)"};
    EXPECT_EQ(expected, f.host.Journal());
    EXPECT_TRUE(f.host.visible);
}

TEST(Backdrop, LoadFocusAndReleaseRepaintItWhite) {
    struct Case {
        const char* event;
        bool shown;
        void (*run)(FormFixture&);
    } cases[] = {
        {"Form_Load", false, [](FormFixture& f) { f.form->Form_Load(); }},
        {"Form_GotFocus", true, [](FormFixture& f) { f.form->Form_GotFocus(); }},
        {"Form_MouseUp left", true, [](FormFixture& f) { f.form->Form_MouseUp(kLeftButton, 0, 600, 120); }},
        {"Form_MouseUp right", true, [](FormFixture& f) { f.form->Form_MouseUp(kRightButton, 0, 600, 120); }},
    };
    for (const Case& c : cases) {
        FormFixture f;
        f.host.visible = c.shown;
        c.run(f);
        Journal journal = f.host.Journal();
        const Journal expected = FullSequence("0xffffff", "DrawBox(0,0,3630,2670)", c.shown);
        ASSERT_GE(journal.size(), expected.size()) << c.event;
        // The repaint is the event's first work.
        EXPECT_EQ(expected, Journal(journal.begin(), journal.begin() + expected.size())) << c.event;
        EXPECT_EQ(1u, f.system.Count("BitBlt")) << c.event;
    }
}

TEST(Backdrop, OtherEventsLeaveTheBackdropAlone) {
    struct Case {
        const char* event;
        void (*run)(FormFixture&);
    } cases[] = {
        {"Form_MouseDown", [](FormFixture& f) { f.form->Form_MouseDown(kLeftButton, 0, 600, 120); }},
        {"Form_MouseMove", [](FormFixture& f) { f.form->Form_MouseMove(kLeftButton, 0, 600, 120); }},
        {"Timer1_Timer", [](FormFixture& f) { f.form->Timer1_Timer(); }},
        {"TxTChoix_Click", [](FormFixture& f) { f.form->TxTChoix_Click(); }},
    };
    for (const Case& c : cases) {
        FormFixture f;
        c.run(f);
        EXPECT_EQ(0u, f.system.Count("BitBlt")) << c.event;
        EXPECT_EQ(0u, f.host.Count("Hide")) << c.event;
    }
}
