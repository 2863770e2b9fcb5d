// Moving the window by dragging its surface, and closing it from the close glyph.
#include <gtest/gtest.h>

#include "fake_form.h"

TEST(Drag, PressNotesTheGrabPointRoundedHalfToEvenForAnyButton) {
    struct Case {
        int16_t button;
        float x, y;
        int16_t departX, departY;
    } cases[] = {
        {kLeftButton, 600, 120, 600, 120},   {kRightButton, 600, 120, 600, 120},
        {kMiddleButton, 15, 0, 15, 0},       {kLeftButton, 600.5f, 120.5f, 600, 120},
        {kLeftButton, 601.5f, 121.5f, 602, 122}, {kLeftButton, 600.49f, 120.51f, 600, 121},
        {kLeftButton, -7.5f, -8.5f, -8, -8},
    };
    for (const Case& c : cases) {
        FormFixture f;
        f.form->Form_MouseDown(c.button, 0, c.x, c.y);
        EXPECT_EQ(kTrue, f.form->Drag.Deplacement) << c.x;
        EXPECT_EQ(c.departX, f.form->Drag.DepartX) << c.x;
        EXPECT_EQ(c.departY, f.form->Drag.DepartY) << c.y;
        // A press alone moves nothing.
        EXPECT_EQ(0u, f.host.Count("SetLeft") + f.host.Count("SetTop"));
    }
}

TEST(Drag, AGrabPointBeyond16BitsKeepsThePreviousOne) {
    FormFixture f;
    f.form->Form_MouseDown(kLeftButton, 0, 600, 120);
    f.form->Form_MouseDown(kLeftButton, 0, 40000, -40000);
    EXPECT_EQ(600, f.form->Drag.DepartX);
    EXPECT_EQ(120, f.form->Drag.DepartY);
}

TEST(Drag, MoveShiftsEachAxisByThePointerOffsetFromTheGrabPoint) {
    struct Case {
        const char* name;
        float moveX, moveY;
        float left, top;  // expected afterwards, from 1500, 3000 and a grab at 600, 120
        size_t setLeft, setTop;
    } cases[] = {
        {"right and down", 750, 270, 1650, 3150, 1, 1},
        {"left and up", 450, 30, 1350, 2910, 1, 1},
        {"right only", 615, 120, 1515, 3000, 1, 0},
        {"down only", 600, 135, 1500, 3015, 0, 1},
        {"left only", 0, 120, 900, 3000, 1, 0},
        {"up only", 600, -600, 1500, 2280, 0, 1},
        {"no offset", 600, 120, 1500, 3000, 0, 0},
        {"fractional offset", 600.25f, 119.75f, 1500.25f, 2999.75f, 1, 1},
        {"past the screen's left edge", -1200, 120, -300, 3000, 1, 0},
    };
    for (const Case& c : cases) {
        FormFixture f;
        f.form->Form_MouseDown(kLeftButton, 0, 600, 120);
        f.form->Form_MouseMove(kLeftButton, 0, c.moveX, c.moveY);
        EXPECT_FLOAT_EQ(c.left, f.host.left) << c.name;
        EXPECT_FLOAT_EQ(c.top, f.host.top) << c.name;
        EXPECT_EQ(c.setLeft, f.host.Count("SetLeft")) << c.name;
        EXPECT_EQ(c.setTop, f.host.Count("SetTop")) << c.name;
    }
}

TEST(Drag, AnOffsetTooSmallToShowInAFloatStillSetsThePosition) {
    // The offset decides, not whether the float sum changes: 1e8 + 1 is 1e8 as a float.
    FormFixture f;
    f.host.left = 1e8f;
    f.form->Form_MouseDown(kLeftButton, 0, 600, 120);
    f.form->Form_MouseMove(kLeftButton, 0, 601, 120);
    EXPECT_EQ(1u, f.host.Count("SetLeft"));
    EXPECT_FLOAT_EQ(1e8f, f.host.left);
}

TEST(Drag, FollowsThePointerOverSeveralMoves) {
    FormFixture f;
    f.form->Form_MouseDown(kLeftButton, 0, 600, 120);
    // The window moves under the pointer, so each move reports the offset since the last one.
    f.form->Form_MouseMove(kLeftButton, 0, 630, 150);
    f.form->Form_MouseMove(kLeftButton, 0, 645, 90);
    f.form->Form_MouseMove(kLeftButton, 0, 600, 120);
    EXPECT_FLOAT_EQ(1500 + 30 + 45, f.host.left);
    EXPECT_FLOAT_EQ(3000 + 30 - 30, f.host.top);
}

TEST(Drag, OnlyTheLeftButtonAloneMovesTheWindow) {
    struct Case {
        int16_t buttons;
        bool moves;
    } cases[] = {{0, false}, {1, true}, {2, false}, {3, false}, {4, false}, {5, false}, {7, false}};
    for (const Case& c : cases) {
        FormFixture f;
        f.form->Form_MouseDown(kLeftButton, 0, 600, 120);
        f.form->Form_MouseMove(c.buttons, 0, 900, 420);
        EXPECT_FLOAT_EQ(c.moves ? 1800 : 1500, f.host.left) << c.buttons;
        EXPECT_FLOAT_EQ(c.moves ? 3300 : 3000, f.host.top) << c.buttons;
    }
}

TEST(Drag, NoMoveWithoutAPressOrAfterTheRelease) {
    FormFixture f;
    f.form->Form_MouseMove(kLeftButton, 0, 900, 420);
    EXPECT_EQ(0u, f.host.Count("SetLeft") + f.host.Count("SetTop"));

    f.form->Form_MouseDown(kLeftButton, 0, 600, 120);
    f.form->Form_MouseUp(kLeftButton, 0, 600, 120);
    f.form->Form_MouseMove(kLeftButton, 0, 900, 420);
    EXPECT_EQ(0u, f.host.Count("SetLeft") + f.host.Count("SetTop"));
}

TEST(Drag, ReleaseOfAnyButtonEndsTheDragAndRepaintsTheBackdrop) {
    for (int16_t button : {kLeftButton, kRightButton, kMiddleButton}) {
        FormFixture f;
        f.form->Form_MouseDown(kLeftButton, 0, 600, 120);
        f.form->Form_MouseMove(kLeftButton, 0, 750, 270);
        f.system.calls.clear();
        f.host.log.clear();
        f.form->Form_MouseUp(button, 0, 750, 270);
        EXPECT_EQ(kFalse, f.form->Drag.Deplacement) << button;
        // The copy is taken at the window's new place: 1650 x 3150 twips = 110 x 210 pixels.
        const FakeCall* blit = f.system.Find("BitBlt");
        ASSERT_NE(nullptr, blit) << button;
        EXPECT_EQ("BitBlt(0x2000, 0, 0, 242, 178, 0x1000, 110, 210, 0xcc0020)", blit->Text());
        EXPECT_EQ(0xFFFFFFu, f.host.foreColour);
        EXPECT_EQ(1u, f.host.Count("Show"));
    }
}

TEST(Drag, MovesDoNotDisturbTheIconCallbackDecoding) {
    // A drag far enough right that x decodes as a left press of the icon: decoded after the move, it restores nothing.
    FormFixture f;
    f.form->Form_MouseDown(kLeftButton, 0, 600, 120);
    f.form->Form_MouseMove(kLeftButton, 0, 0x201 * 15, 120);
    EXPECT_EQ(kWmLButtonDown, f.form->Tray.TrayMessage);
    EXPECT_EQ(0u, f.system.Count("Shell_NotifyIconA"));
    EXPECT_EQ(1u, f.host.Count("SetLeft"));
}

TEST(Close, TheCloseGlyphUnloadsTheWindowAndNothingElse) {
    FormFixture f;
    f.form->Form_Load();
    f.system.calls.clear();
    f.host.log.clear();
    f.form->SysCroix_Click();
    EXPECT_TRUE(f.host.unloaded);
    EXPECT_EQ(std::vector<std::string>{"Unload"}, f.host.Journal());
}

TEST(Close, UnloadingRemovesTheTrayIcon) {
    FormFixture f;
    f.form->Form_Load();
    f.TxTChoix.text = "23:00:00";
    f.form->Activer_Click();
    ASSERT_TRUE(f.form->Tray.InTray());
    f.system.calls.clear();
    EXPECT_FALSE(f.form->Form_QueryUnload(kFromControlMenu));
    ASSERT_EQ(1u, f.system.Count("Shell_NotifyIconA"));
    EXPECT_EQ("0x2", f.system.Find("Shell_NotifyIconA")->args[0]);
    EXPECT_FALSE(f.form->Tray.InTray());
}
