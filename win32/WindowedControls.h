// The window's child controls on Win32: the two text boxes, the three option buttons and the two command
// buttons, with their fonts and colours.
#pragma once

#include <windows.h>

#include "platform/Controls.h"
#include "scheduler/TimeText.h"
#include "win32/ScopedWin.h"
#include "win32/TwipsScale.h"

// Ends the pointer tracking of WITHIN or of any control in it, telling the tracked control that the pointer
// has left. Called before hiding the window: a control hidden under a still pointer is never told it left
// (a control hidden inside a shown window is: the window now under the pointer gets a move).
void EndMouseTracking(HWND within);

// Told of a click (the left button released) in a control.
class ClickListener {
public:
    virtual void Clicked(HWND control) = 0;

protected:
    ~ClickListener() = default;
};

// Told that a control is about to be hidden while it has the keyboard focus, so that the focus moves on.
class FocusHandOff {
public:
    virtual void HidingFocused(HWND control) = 0;

protected:
    ~FocusHandOff() = default;
};

class Win32TextBox : public TextBox {
public:
    HWND hwnd = nullptr;

    // Set on the clock box: while the window is hidden its time (hh:mm:ss) is kept here and reaches the control
    // when the window is shown (ShowPending). Every text an edit control takes costs it a layout, which is
    // most of what a waiting program does each second.
    bool holdWhileHidden = false;

    size_t GetText(char* buf, size_t cap) const override;
    void SetText(const char* utf8) override;
    // Puts a text held while hidden into the control; called just before the window is shown.
    void ShowPending();
    // Reports the box's clicks to `listener` from here on (the box is subclassed).
    void ListenToClicks(ClickListener* listener);

private:
    static LRESULT CALLBACK ClickWatch(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void Write(const char* utf8);

    char held_[kTimeTextCap] = {};
    bool holding_ = false;
    ClickListener* clicks_ = nullptr;
    WNDPROC editProc_ = nullptr;
};

class Win32OptionButton : public OptionButton {
public:
    HWND hwnd = nullptr;
    // The buttons of the group, this one included: selecting one clears the others.
    Win32OptionButton* group[3] = {};

    bool Value() const override;
    void SetValue(bool selected) override;
    Colour BackColor() const override { return back_; }
    void SetBackColor(Colour colour) override;
    // The brush of the background colour, for WM_CTLCOLORSTATIC; null if none could be made.
    HBRUSH Brush();

private:
    Colour back_ = kWhite;
    ScopedBrush brush_;
};

class Win32CommandButton : public CommandButton {
public:
    HWND hwnd = nullptr;
    FocusHandOff* handOff = nullptr;

    bool Visible() const override;
    void SetVisible(bool visible) override;
};

class WindowedControls {
public:
    enum Id : int {
        kIdChkReboot = 1001,
        kIdChkArreter,
        kIdTxtHeure,
        kIdTxTChoix,
        kIdActiver,
        kIdChkVeille,
        kIdCmdCancel,
    };

    WindowedControls() = default;
    WindowedControls(const WindowedControls&) = delete;
    WindowedControls& operator=(const WindowedControls&) = delete;

    // Creates the fonts, the brushes and the controls in their starting state; false if any could not be made.
    // The controls are the window's children and go with it.
    bool Create(HWND parent, HINSTANCE instance, const TwipsScale& scale, int dpiY);

    // For WM_CTLCOLOR*: sets the DC's colours for a text box or an option button and returns the brush of its
    // background; null for any other control.
    HBRUSH ColourFor(HDC dc, HWND control);
    // The command buttons, drawn white as a graphical button with a white back colour looks.
    static void DrawButton(const DRAWITEMSTRUCT& item);
    // The platform's default font, used by the command buttons and the labels.
    static HFONT DefaultFont() { return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)); }

    Win32TextBox TxtHeure;
    Win32TextBox TxTChoix;
    Win32OptionButton ChkArreter;
    Win32OptionButton ChkReboot;
    Win32OptionButton ChkVeille;
    Win32CommandButton Activer;
    Win32CommandButton cmdCancel;

private:
    ScopedFont optionFont_;
    ScopedFont textFont_;
    ScopedBrush entryBrush_;
    ScopedBrush clockBrush_;
};
