// The keyboard rules of the window, as Windows' dialog manager applies them to a dialog box, written as a
// pure function of the controls' states so that they hold without a window and are checked on any machine.
//
// The window runs these rules itself instead of handing its keys to IsDialogMessage, because the dialog
// manager reads them from WS_TABSTOP and WS_GROUP styles that would have to be kept in step with the
// selection, and a slip there costs more than a wrong focus: on Windows an option button that gets the
// keyboard focus other than by a mouse click reports a click (BN_CLICKED), so a Tab that stopped on an
// unselected option would change the power action behind the user's back.
#pragma once

enum class ControlKind { Edit, Option, Button };

// One control that can take the keyboard focus, as the rules see it. All option buttons form one group.
struct KeyboardControl {
    ControlKind kind;
    bool canFocus;  // visible and enabled
    bool selected;  // an option button that is the selected one of the group
    bool cancel;    // the button Escape clicks
};

enum class DialogKey {
    Tab,
    ShiftTab,
    Next,      // Down or Right arrow
    Previous,  // Up or Left arrow
    Enter,
    Escape,
};

// What a key does. -1 in a field means nothing of that kind happens.
struct KeyAction {
    bool handled;  // false: the key belongs to the focused control (an arrow moving an edit box's caret)
    int focus;     // the control that takes the focus
    int select;    // the option button to select, before it takes the focus
    int click;     // the button to click
};

// The rules, on controls listed in tab-index order, from the focused one (-1: none of them):
// - Tab and Shift+Tab go to the next or previous tab stop, round the list. A tab stop is a control that can
//   take the focus, except that the option group is one stop, at its selected button.
// - The arrows move round the option group in tab-index order, selecting as they go, when an option has the
//   focus; elsewhere they belong to the control.
// - Escape clicks the cancel button when it can take the focus. Enter clicks the focused button (a push
//   button with the focus is the default one); there is no other default button, so elsewhere Enter does
//   nothing.
KeyAction ApplyDialogKey(const KeyboardControl* controls, int count, int focus, DialogKey key);

// Whether the control at `index` is a tab stop.
bool IsTabStop(const KeyboardControl* controls, int count, int index);

// The first tab stop: where the focus goes when the window gets it and no control had it before; -1 if none.
int FirstTabStop(const KeyboardControl* controls, int count);
