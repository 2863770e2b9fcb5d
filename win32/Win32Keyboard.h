// The window's keyboard on Win32: Tab, the arrows, Enter and Escape run through the window's own dialog
// rules (win32/DialogKeys.h), and the keyboard focus is kept on a control that may have it.
#pragma once

#include <windows.h>

#include "win32/DialogKeys.h"
#include "win32/WindowedControls.h"

class Win32Keyboard : public FocusHandOff {
public:
    explicit Win32Keyboard(WindowedControls& controls) : c_(controls) {}
    Win32Keyboard(const Win32Keyboard&) = delete;
    Win32Keyboard& operator=(const Win32Keyboard&) = delete;

    // A message the loop took from the queue for `window` or one of its controls; true when it was a dialog
    // key and has been acted on, so that it goes no further.
    bool PreTranslate(const MSG& msg, HWND window);
    // The window is being activated: the focus goes back to the control that had it, if that is still a tab
    // stop, else to the first tab stop. False when no control can take it.
    bool RestoreFocus();
    // The window is being deactivated: the focused control is remembered.
    void SaveFocus(HWND window);
    void HidingFocused(HWND control) override;

    static constexpr int kCount = 7;

private:
    // The controls as the rules see them, in tab-index order; returns the index of `focus` (-1: none).
    int Snapshot(KeyboardControl out[kCount], HWND focus) const;
    HWND At(int index) const;
    void Apply(const KeyAction& action);
    // What a click on the button sends its window: WM_COMMAND with BN_CLICKED.
    static void Click(HWND button);

    WindowedControls& c_;
    HWND lastFocus_ = nullptr;
};
