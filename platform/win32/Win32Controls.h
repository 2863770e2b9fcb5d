// The window's controls on Win32: child windows for the text boxes and buttons, drawn elements for the
// labels and lines, and the once-a-second timer.
#pragma once

#include <windows.h>

#include "platform/controls.h"

class Form1;
class Win32Form;

// A rectangle in twips: left, top, width, height.
struct TwipsRect {
    int left, top, width, height;
};

// Ends the pointer tracking of WITHIN or of any control in it, telling the tracked control that the pointer
// has left. Called before hiding the window: a control hidden under a still pointer is never told it left
// (a control hidden inside a shown window is: the window now under the pointer gets a move).
void EndMouseTracking(HWND within);

class Win32TextBox : public TextBox {
public:
    HWND hwnd = nullptr;
    // Set on the clock box: setting its text runs the window's change handler before SetText returns.
    Form1* changeHandlerOwner = nullptr;

    // Set on the clock box too: while the window is hidden a short text is kept here and reaches the control
    // when the window is shown (ShowPending). Every text an edit control takes costs it a layout, which is most
    // of what a waiting program does each second.
    bool holdWhileHidden = false;

    size_t GetText(char* buf, size_t cap) const override;
    void SetText(const char* utf8) override;
    // Puts a text held while hidden into the control; called just before the window is shown.
    void ShowPending();

private:
    void Write(const char* utf8);

    char held_[16] = {};
    bool holding_ = false;
};

class Win32OptionButton : public OptionButton {
public:
    HWND hwnd = nullptr;
    Win32OptionButton* group[3] = {};

    ~Win32OptionButton() override;
    bool Value() const override;
    void SetValue(bool selected) override;
    Colour BackColor() const override { return back_; }
    void SetBackColor(Colour colour) override;
    HBRUSH Brush();

private:
    Colour back_ = kWhite;
    HBRUSH brush_ = nullptr;
};

class Win32CommandButton : public CommandButton {
public:
    HWND hwnd = nullptr;
    bool Visible() const override;
    void SetVisible(bool visible) override;
};

// Labels and lines have no window of their own: the form paints them and routes their clicks.
class DrawnElement {
public:
    explicit DrawnElement(Win32Form& owner) : owner_(owner) {}
    virtual ~DrawnElement() = default;
    DrawnElement(const DrawnElement&) = delete;
    DrawnElement& operator=(const DrawnElement&) = delete;
    virtual void Paint(HDC dc) const = 0;

protected:
    Win32Form& owner_;
};

class DrawnLabel : public Label, public DrawnElement {
public:
    DrawnLabel(Win32Form& owner, TwipsRect rect, bool opaque, bool visible, const char* caption);
    bool Visible() const override { return visible_; }
    void SetVisible(bool visible) override;
    size_t GetCaption(char* buf, size_t cap) const override;
    void SetCaption(const char* utf8) override;
    Colour BackColor() const override { return back_; }
    void SetBackColor(Colour colour) override;
    void Paint(HDC dc) const override;
    bool Contains(int xPixels, int yPixels) const;
    const TwipsRect& Rect() const { return rect_; }

private:
    TwipsRect rect_;
    bool opaque_;
    bool visible_;
    Colour back_ = kWhite;
    char caption_[32] = {};
};

class DrawnLine : public LineShape, public DrawnElement {
public:
    DrawnLine(Win32Form& owner, int x1, int y1, int x2, int y2, bool visible);
    bool Visible() const override { return visible_; }
    void SetVisible(bool visible) override;
    void Paint(HDC dc) const override;

private:
    int x1_, y1_, x2_, y2_;
    bool visible_;
};

// Ticks once a second, each tick just after a new second of the clock begins: the timer is re-armed for
// the next second's start, so it neither drifts nor skips a second's text.
class Win32Timer : public Timer {
public:
    static constexpr UINT_PTR kId = 1;
    HWND hwnd = nullptr;

    bool Enabled() const override { return enabled_; }
    void SetEnabled(bool enabled) override;
    // Called on WM_TIMER; true when this wake-up is a tick the window should act on.
    bool BeginTick();
    // Called after the tick's handler: arms the next tick if the timer is still on.
    void EndTick();

private:
    void Arm();
    bool enabled_ = false;
    bool steady_ = false;  // running with a one-second period from a tick on time
    bool onTime_ = false;  // the current tick came early in its second
    LONGLONG lastTickSecond_ = -1;
};
