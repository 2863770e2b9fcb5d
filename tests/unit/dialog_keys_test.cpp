// The window's keyboard rules on its own controls: Tab never stops on an unselected option (on Windows the
// focus would click it), the arrows go round all three options, Enter clicks only a focused button.
#include <gtest/gtest.h>

#include "win32/DialogKeys.h"

namespace {

// The window's focusable controls in tab-index order.
enum : int { Reboot, Arreter, Clock, Entry, Ok, Veille, Cancel, kCount };

struct Window {
    KeyboardControl controls[kCount];

    Window(int selected, bool cancelShown) {
        const ControlKind kinds[kCount] = {ControlKind::Option, ControlKind::Option, ControlKind::Edit,
                                           ControlKind::Edit,   ControlKind::Button, ControlKind::Option,
                                           ControlKind::Button};
        for (int i = 0; i < kCount; ++i) controls[i] = {kinds[i], true, i == selected, i == Cancel};
        controls[Cancel].canFocus = cancelShown;
    }
};

constexpr int kNone = -1;

}  // namespace

TEST(DialogKeys, FromEachFocusAndSelection) {
    struct Case {
        int selected;
        bool cancelShown;
        int focus;
        DialogKey key;
        bool handled;
        int focusTo, select, click;
    } cases[] = {
        // The group is one tab stop, at its selected button, wherever that is in the tab order.
        {Arreter, false, Entry, DialogKey::Tab, true, Ok, kNone, kNone},
        {Arreter, false, Ok, DialogKey::Tab, true, Arreter, kNone, kNone},
        {Arreter, false, Arreter, DialogKey::Tab, true, Clock, kNone, kNone},
        {Arreter, false, Clock, DialogKey::ShiftTab, true, Arreter, kNone, kNone},
        {Arreter, false, Arreter, DialogKey::ShiftTab, true, Ok, kNone, kNone},
        {Veille, false, Ok, DialogKey::Tab, true, Veille, kNone, kNone},
        {Veille, false, Veille, DialogKey::Tab, true, Clock, kNone, kNone},
        {Veille, true, Veille, DialogKey::Tab, true, Cancel, kNone, kNone},
        {Veille, true, Cancel, DialogKey::Tab, true, Clock, kNone, kNone},
        {Reboot, true, Cancel, DialogKey::Tab, true, Reboot, kNone, kNone},
        {Reboot, false, Clock, DialogKey::ShiftTab, true, Reboot, kNone, kNone},
        // No control had the focus: Tab goes to the first stop, Shift+Tab to the last.
        {Arreter, false, kNone, DialogKey::Tab, true, Arreter, kNone, kNone},
        {Arreter, true, kNone, DialogKey::ShiftTab, true, Cancel, kNone, kNone},
        // The arrows go round all three options in tab-index order and select as they go.
        {Arreter, false, Arreter, DialogKey::Next, true, Veille, Veille, kNone},
        {Veille, false, Veille, DialogKey::Next, true, Reboot, Reboot, kNone},
        {Reboot, false, Reboot, DialogKey::Next, true, Arreter, Arreter, kNone},
        {Arreter, false, Arreter, DialogKey::Previous, true, Reboot, Reboot, kNone},
        {Reboot, false, Reboot, DialogKey::Previous, true, Veille, Veille, kNone},
        // Elsewhere the arrows are the control's own (the caret of a text box).
        {Arreter, false, Entry, DialogKey::Next, false, kNone, kNone, kNone},
        {Arreter, false, Ok, DialogKey::Previous, false, kNone, kNone, kNone},
        // Enter clicks a focused button and nothing else: there is no default button to arm from anywhere.
        {Arreter, false, Entry, DialogKey::Enter, true, kNone, kNone, kNone},
        {Arreter, false, Arreter, DialogKey::Enter, true, kNone, kNone, kNone},
        {Arreter, false, Ok, DialogKey::Enter, true, kNone, kNone, Ok},
        {Arreter, true, Cancel, DialogKey::Enter, true, kNone, kNone, Cancel},
        // Escape is "ANNULER !"'s, while it is on screen.
        {Arreter, true, Entry, DialogKey::Escape, true, kNone, kNone, Cancel},
        {Arreter, false, Entry, DialogKey::Escape, true, kNone, kNone, kNone},
    };
    for (const Case& c : cases) {
        Window w(c.selected, c.cancelShown);
        const KeyAction a = ApplyDialogKey(w.controls, kCount, c.focus, c.key);
        const std::string where = "selected " + std::to_string(c.selected) + ", focus " + std::to_string(c.focus) +
                                  ", key " + std::to_string(static_cast<int>(c.key));
        EXPECT_EQ(c.handled, a.handled) << where;
        EXPECT_EQ(c.focusTo, a.focus) << where;
        EXPECT_EQ(c.select, a.select) << where;
        EXPECT_EQ(c.click, a.click) << where;
    }
}

TEST(DialogKeys, TabbingRoundTheWholeWindowNeverChangesTheSelection) {
    for (int selected : {Reboot, Arreter, Veille}) {
        for (DialogKey key : {DialogKey::Tab, DialogKey::ShiftTab}) {
            Window w(selected, true);
            int focus = Entry;
            int optionStops = 0;
            for (int n = 0; n < 2 * kCount; ++n) {
                const KeyAction a = ApplyDialogKey(w.controls, kCount, focus, key);
                ASSERT_EQ(kNone, a.select);
                ASSERT_NE(kNone, a.focus);
                focus = a.focus;
                if (w.controls[focus].kind == ControlKind::Option) {
                    EXPECT_EQ(selected, focus) << "Tab stopped on an unselected option";
                    ++optionStops;
                }
            }
            // Five stops (the group, two text boxes, two buttons): twice round in 2 x 7 keys, at least.
            EXPECT_GE(optionStops, 2);
        }
    }
}

TEST(DialogKeys, TheFirstTabStopIsTheSelectedOptionOrTheClock) {
    EXPECT_EQ(Arreter, FirstTabStop(Window(Arreter, false).controls, kCount));
    EXPECT_EQ(Reboot, FirstTabStop(Window(Reboot, false).controls, kCount));
    EXPECT_EQ(Clock, FirstTabStop(Window(Veille, false).controls, kCount));
    Window none(kNone, false);
    EXPECT_EQ(Reboot, FirstTabStop(none.controls, kCount)) << "a group without selection stops at its first button";
    for (KeyboardControl& c : none.controls) c.canFocus = false;
    EXPECT_EQ(kNone, FirstTabStop(none.controls, kCount));
}
