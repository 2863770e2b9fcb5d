// Recording stand-ins for the window's controls, its host and the clock, and a fixture that builds the
// window object on them, for the unit tests of the handlers.
#pragma once

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "fake_system_calls.h"
#include "platform/Clock.h"
#include "platform/Controls.h"
#include "platform/FormHost.h"
#include "platform/TextWriter.h"
#include "scheduler/Form1.h"

// A control's text copied out as the real ones copy it, every byte of it, NULs the fuzzers put in included.
inline size_t CopyOut(const std::string& text, char* buf, size_t cap) {
    TextWriter copy(buf, cap);
    copy.Put(text.data(), text.size());
    copy.Finish();
    return copy.Length();
}

class FakeTextBox : public TextBox {
public:
    std::string text;
    int setCount = 0;

    size_t GetText(char* buf, size_t cap) const override { return CopyOut(text, buf, cap); }
    void SetText(const char* utf8) override {
        text = utf8;
        ++setCount;
        // before SetText returns, as the real clock box does
        RaiseChange();
    }
};

class FakeOptionButton : public OptionButton {
public:
    bool value = false;
    Colour back = kWhite;
    std::vector<FakeOptionButton*> group;

    bool Value() const override { return value; }
    void SetValue(bool selected) override {
        if (selected)
            for (FakeOptionButton* other : group) other->value = false;
        value = selected;
    }
    Colour BackColor() const override { return back; }
    void SetBackColor(Colour colour) override { back = colour; }
};

class FakeLabel : public Label {
public:
    bool visible = true;
    std::string caption;
    Colour back = kWhite;

    bool Visible() const override { return visible; }
    void SetVisible(bool v) override { visible = v; }
    size_t GetCaption(char* buf, size_t cap) const override { return CopyOut(caption, buf, cap); }
    void SetCaption(const char* utf8) override { caption = utf8; }
    Colour BackColor() const override { return back; }
    void SetBackColor(Colour colour) override { back = colour; }
};

class FakeLine : public LineShape {
public:
    bool visible = true;
    bool Visible() const override { return visible; }
    void SetVisible(bool v) override { visible = v; }
};

class FakeCommandButton : public CommandButton {
public:
    bool visible = true;
    bool Visible() const override { return visible; }
    void SetVisible(bool v) override { visible = v; }
};

// Notes how many system calls had been made when it was switched off, so a test can tell whether the timer
// was already off when the power action began.
class FakeTimer : public Timer {
public:
    explicit FakeTimer(const FakeSystemCalls& system) : system_(system) {}
    bool enabled = true;
    bool refused = false;  // the system refuses the timer: it stays off
    long callsWhenStopped = -1;
    bool Enabled() const override { return enabled; }
    void SetEnabled(bool e) override {
        if (!e && enabled) callsWhenStopped = static_cast<long>(system_.calls.size());
        enabled = e && !refused;
    }

private:
    const FakeSystemCalls& system_;
};

// A clock the test sets by hand: the local time in seconds since 1601, and how far the zone puts it ahead of UTC.
class FakeClock : public Clock {
public:
    // 2026-12-07 00:00:00 counted from 1601-01-01, a whole number of days.
    static constexpr int64_t kMidnight = 13441075200LL;
    int64_t seconds = kMidnight;  // local
    int64_t zoneOffset = 0;       // local minus UTC
    int millis = 5;

    // A daylight-saving change the zone's rule has ahead: from changeUtc on, the local clock is changeBy further ahead.
    // Only the conversions of other instants know it; Now() follows zoneOffset, which a test moves itself.
    int64_t changeUtc = INT64_MAX;
    int64_t changeBy = 0;

    ClockReading Now() const override { return ClockReading{seconds - zoneOffset, seconds, millis}; }
    int64_t UtcToLocal(int64_t utc) const override { return utc + zoneOffset + (utc >= changeUtc ? changeBy : 0); }
    // As Windows converts: a time the change repeats, as its later showing; one it skips, with the offset before it.
    int64_t LocalToUtc(int64_t local) const override {
        const int64_t before = local - zoneOffset;
        return before - changeBy >= changeUtc ? before - changeBy : before;
    }
    void SetTimeOfDay(int h, int m, int s) { seconds = kMidnight + h * 3600 + m * 60 + s; }
    // Time passing, or the clock set by hand: the UTC and the local clock move together.
    void Advance(int64_t by) { seconds += by; }
    // Daylight saving or a new zone: only the local clock moves.
    void ShiftZone(int64_t by) {
        seconds += by;
        zoneOffset += by;
    }
};

// Records what the window object asks of its window. Each entry notes how many system calls had been
// made before it, so a test can check the order of host steps and system calls together.
class FakeHost : public FormHost {
public:
    explicit FakeHost(const FakeSystemCalls& system) : system_(system) {}

    struct Entry {
        std::string what;
        size_t callsBefore;
    };
    std::vector<Entry> log;
    struct Message {
        std::string prompt, title;
        uint32_t style;
        std::string entryTextWhenShown;
    };
    std::vector<Message> messages;
    // The entry box, so a message box can note what it held while it was up.
    const FakeTextBox* entryBox = nullptr;
    // Runs inside Show: a message the window handles before the show has returned.
    std::function<void()> whileShowing;
    // Runs inside ShowMessage: what the box's own message loop dispatches while it is up.
    std::function<void()> whileMessageShown;

    bool visible = false;
    bool inFront = false;
    bool taskVisible = true;
    bool unloaded = false;
    int beeps = 0;
    float tppX = 15, tppY = 15;
    float left = 1500, top = 3000;
    float scaleWidth = 3630, scaleHeight = 2670;
    bool autoRedraw = false;
    int drawMode = 13;
    Colour foreColour = 0;
    uint32_t imageDC = 0x2000;

    void Hide() override { Note("Hide"); visible = false; }
    void Show() override {
        Note("Show");
        visible = true;
        if (whileShowing) whileShowing();
    }
    void SetInFront(bool on) override { Note(on ? "InFront(true)" : "InFront(false)"); inFront = on; }
    bool Visible() const override { return visible; }
    void SetTaskVisible(bool v) override { Note(v ? "TaskVisible(true)" : "TaskVisible(false)"); taskVisible = v; }
    void Unload() override { Note("Unload"); unloaded = true; }
    void DoEvents() override { Note("DoEvents"); }
    void WaitUntilOffScreen() override { Note("WaitUntilOffScreen"); }
    int ShowMessage(const char* prompt, const char* title, uint32_t style) override {
        Note("ShowMessage");
        messages.push_back({prompt, title, style, entryBox ? entryBox->text : std::string()});
        if (whileMessageShown) whileMessageShown();
        return 1;
    }
    void Beep() override { Note("Beep"); ++beeps; }
    // What the icon's menu is headed with, and what the user picks in it.
    std::vector<std::string> menuHeaders;
    TrayMenuChoice menuChoice = TrayMenuChoice::None;
    TrayMenuChoice ShowTrayMenu(const char* header) override {
        Note("ShowTrayMenu");
        menuHeaders.push_back(header);
        return menuChoice;
    }
    uint32_t WindowHandle() const override { return 0x00010044; }
    uint32_t IconHandle() const override { return 0x00C0FFEE; }
    float TwipsPerPixelX() const override { return tppX; }
    float TwipsPerPixelY() const override { return tppY; }
    float Left() const override { return left; }
    float Top() const override { return top; }
    void SetLeft(float t) override { Note("SetLeft"); left = t; }
    void SetTop(float t) override { Note("SetTop"); top = t; }
    float ScaleWidth() const override { return scaleWidth; }
    float ScaleHeight() const override { return scaleHeight; }
    void SetAutoRedraw(bool on) override { Note(on ? "AutoRedraw(true)" : "AutoRedraw(false)"); autoRedraw = on; }
    uint32_t ImageDC() override { return imageDC; }
    void ImageToPicture() override { Note("ImageToPicture"); }
    void SetDrawMode(int mode) override { Note("DrawMode(" + std::to_string(mode) + ")"); drawMode = mode; }
    void SetForeColor(Colour c) override { Note("ForeColor(" + FakeSystemCalls::Hex(c) + ")"); foreColour = c; }
    void DrawBox(float x1, float y1, float x2, float y2) override {
        Note("DrawBox(" + std::to_string(static_cast<int>(x1)) + "," + std::to_string(static_cast<int>(y1)) + "," +
             std::to_string(static_cast<int>(x2)) + "," + std::to_string(static_cast<int>(y2)) + ")");
    }

    // The host steps and system calls merged in the order they happened.
    std::vector<std::string> Journal() const {
        std::vector<std::string> out;
        size_t call = 0;
        for (const Entry& e : log) {
            while (call < e.callsBefore && call < system_.calls.size()) out.push_back(system_.calls[call++].name);
            out.push_back(e.what);
        }
        while (call < system_.calls.size()) out.push_back(system_.calls[call++].name);
        return out;
    }
    size_t Count(const std::string& what) const {
        return static_cast<size_t>(std::count_if(log.begin(), log.end(), [&](const Entry& e) { return e.what == what; }));
    }

private:
    void Note(const std::string& what) { log.push_back({what, system_.calls.size()}); }
    const FakeSystemCalls& system_;
};

// The window object on fakes, in the state the window is created in.
struct FormFixture {
    FakeSystemCalls system;
    FakeHost host{system};
    FakeClock clock;
    FakeTextBox TxtHeure, TxTChoix;
    FakeOptionButton ChkArreter, ChkReboot, ChkVeille;
    FakeCommandButton cmdCancel;
    FakeLabel LblFond, LblDecompte;
    FakeLine Line8, Line9, Line10;
    FakeTimer Timer1{system};
    FakeTimer TimerRedemarrage{system};
    std::unique_ptr<Form1> form;

    FormFixture() {
        TxtHeure.text = "Heure Système";
        TxTChoix.text = "Entrez une heure ici (hh:mm:ss)";
        ChkArreter.group = ChkReboot.group = ChkVeille.group = {&ChkArreter, &ChkReboot, &ChkVeille};
        ChkArreter.value = true;
        cmdCancel.visible = false;
        LblDecompte.caption = "6";
        LblDecompte.visible = false;
        Line8.visible = Line9.visible = Line10.visible = false;
        TimerRedemarrage.enabled = false;
        form = std::make_unique<Form1>(Form1Controls{&TxtHeure, &TxTChoix, &ChkArreter, &ChkReboot, &ChkVeille,
                                                     &cmdCancel, &LblFond, &LblDecompte, &Line8, &Line9, &Line10,
                                                     &Timer1, &TimerRedemarrage},
                                       host, clock, system);
        host.entryBox = &TxTChoix;
    }

    // Runs one tick of each timer that is on, as the front end does: the restart's watch, then the clock.
    void Tick() {
        if (TimerRedemarrage.enabled) form->TimerRedemarrage_Timer();
        if (Timer1.enabled) form->Timer1_Timer();
    }
    // Advances the clock by one second and ticks.
    void NextSecond() {
        clock.Advance(1);
        Tick();
    }
};

enum class Option { Arreter, Reboot, Veille };

// A click on one of the three options.
inline void Select(FormFixture& f, Option o) {
    FakeOptionButton* button = o == Option::Arreter ? &f.ChkArreter : o == Option::Reboot ? &f.ChkReboot : &f.ChkVeille;
    button->SetValue(true);
}
