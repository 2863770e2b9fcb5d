// Control interfaces that the window logic reads and writes; the Win32 front end backs them with
// windows or drawn elements, and the tests with recording fakes.
#pragma once

#include <cstddef>
#include <cstdint>

// 24-bit colour laid out 0x00BBGGRR.
using Colour = uint32_t;

constexpr Colour kWhite = 0xFFFFFF;
constexpr Colour kRed = 0x0000FF;

// Booleans of the window's state hold -1 for true and 0 for false.
constexpr int16_t kTrue = -1;
constexpr int16_t kFalse = 0;

// Told that a text box's text was set, before the setter returns (an edit control's change
// notification comes the same way, inside the write).
class TextChangeListener {
public:
    virtual void TextChanged() = 0;

protected:
    ~TextChangeListener() = default;
};

class TextBox {
public:
    virtual ~TextBox() = default;
    // Copies the text as UTF-8 into buf as TextWriter writes it (platform/TextWriter.h), and returns the length of the
    // whole text in bytes, so callers can read a short text without allocating.
    virtual size_t GetText(char* buf, size_t cap) const = 0;
    // Replaces the text; the change listener, if any, runs before this returns.
    virtual void SetText(const char* utf8) = 0;

    void SetChangeListener(TextChangeListener* listener) { listener_ = listener; }

protected:
    void RaiseChange() {
        if (listener_ != nullptr) listener_->TextChanged();
    }

private:
    TextChangeListener* listener_ = nullptr;
};

class OptionButton {
public:
    virtual ~OptionButton() = default;
    virtual bool Value() const = 0;
    // Selecting a button clears the other buttons of its group.
    virtual void SetValue(bool selected) = 0;
    virtual Colour BackColor() const = 0;
    virtual void SetBackColor(Colour colour) = 0;
};

// Room for a label's caption, its NUL included. The only caption the program changes is the countdown's digit, read
// and written back as a whole number: a long in decimal with its sign takes at most 20 bytes.
constexpr size_t kCaptionCap = 24;

class Label {
public:
    virtual ~Label() = default;
    virtual bool Visible() const = 0;
    virtual void SetVisible(bool visible) = 0;
    // Copies the caption like TextBox::GetText and returns its whole length in bytes.
    virtual size_t GetCaption(char* buf, size_t cap) const = 0;
    virtual void SetCaption(const char* utf8) = 0;
    virtual Colour BackColor() const = 0;
    virtual void SetBackColor(Colour colour) = 0;
};

class LineShape {
public:
    virtual ~LineShape() = default;
    virtual bool Visible() const = 0;
    virtual void SetVisible(bool visible) = 0;
};

class CommandButton {
public:
    virtual ~CommandButton() = default;
    virtual bool Visible() const = 0;
    virtual void SetVisible(bool visible) = 0;
};

class Timer {
public:
    virtual ~Timer() = default;
    virtual bool Enabled() const = 0;
    // A timer the system refuses stays off: Enabled() then tells the caller.
    virtual void SetEnabled(bool enabled) = 0;
};
