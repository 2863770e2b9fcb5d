// What each mouse message of the window is, written as a pure function of the window's state so that it holds
// without a window and is checked on any machine: the notification-area icon's callback or a real pointer event,
// and, for a real one, whether a drawn label or the window's own mouse events have it.
//
// The icon's callbacks come as WM_MOUSEMOVE of the window, the icon's identifier (1) in wParam where MK_LBUTTON sits
// and the mouse message over the icon in the x of lParam: nothing in the message tells one from a real move, only
// the window's state does. A hidden window gets no real pointer input once no press of its own holds the capture,
// and hiding into the notification area ends every press; so while the icon is there and the window hidden, every
// move is the icon's, and otherwise none is.
#pragma once

#include <cstdint>

enum class MouseInput {
    Press,        // a button went down (a double-click's second press too)
    Move,
    Release,      // a button came up
    CaptureLost,  // WM_CAPTURECHANGED: another window, or none, has the capture now
    Hiding,       // the window is about to hide
};

struct MouseMessage {
    MouseInput input;
    int16_t button;     // Press, Release: the button (kLeftButton, kRightButton, kMiddleButton)
    int16_t held;       // Release: the buttons still held after it
    const void* label;  // the front-most drawn label under the message's point, or null
    bool iconInTray;    // the icon the program added is in the notification area
    bool windowShown;
    bool captureToSelf;  // CaptureLost: the window itself took the capture again
};

// The presses the window follows from one message to the next.
struct MouseState {
    const void* pressedLabel = nullptr;  // a left press on a drawn label: only its release decides the click
    bool surfacePressed = false;         // a press on the window's surface, until every button is up
};

enum class MouseTarget {
    None,
    IconCallback,  // the window object's mouse move, carrying the icon's callback
    FormDown,      // the window object's mouse events
    FormMove,
    FormUp,
    LabelClick,    // a click on `label`
    PressEnded,    // a surface press that no release will end
};

struct MouseRoute {
    MouseTarget target;
    bool setCapture;      // before the target: the window takes the capture
    bool releaseCapture;  // before the target: the window gives up the capture it holds
    const void* label;    // LabelClick: the label clicked
};

// The rule, which updates `state`:
// - The icon's callback is a move while the icon is in the notification area and the window hidden; it goes to the
//   window object wherever its x falls (from about 205 DPI on, x = 0x201 px and y = 0 lie on the drawn glyphs).
// - A left press on a label belongs to that label until the left button's release, which clicks it when it comes
//   up over the same label; other buttons and moves meanwhile go nowhere.
// - Any other press on the window belongs to the window's own mouse events until every button is up.
// - Either press ends without a release when another window takes the capture (a menu, a drag-and-drop, the
//   system's own), and when the window hides: a label's at every hide (its release would land on a hidden glyph,
//   the close glyph's ending the program), a surface press at the hide into the notification area (its moves
//   would be read as the icon's callbacks, and drag the hidden window).
MouseRoute RouteMouse(const MouseMessage& message, MouseState& state);
