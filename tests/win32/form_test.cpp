// The real window under Wine: its frame, the controls' places, texts, fonts and states, the clock, the
// timer's alignment on the second, and the routing of mouse presses.
#include <windows.h>

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "tests/win32/window_helpers.h"
#include "win32/WideText.h"

namespace {

RECT ClientRectOf(HWND parent, HWND child) {
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::string Utf8Narrow(const wchar_t* wide) {
    char buf[256];
    WideToUtf8(wide, lstrlenW(wide), buf, sizeof buf);
    return buf;
}

std::wstring NowText() {
    SYSTEMTIME st;
    GetLocalTime(&st);
    wchar_t buf[16];
    wsprintfW(buf, L"%02d:%02d:%02d", st.wHour, st.wMinute, st.wSecond);
    return buf;
}

// Sends one key through the window's keyboard rules, as the message loop does, from the focused control.
bool PressKey(TestWindow& window, WPARAM key, bool shift = false) {
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_SHIFT] = shift ? 0x80 : 0;
    SetKeyboardState(keys);
    MSG msg = {};
    msg.hwnd = GetFocus() != nullptr ? GetFocus() : window.Hwnd();
    msg.message = WM_KEYDOWN;
    msg.wParam = key;
    const bool used = window.PreTranslate(msg);
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
    return used;
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        HDC screen = GetDC(nullptr);
        dpi_ = GetDeviceCaps(screen, LOGPIXELSX);
        ReleaseDC(nullptr, screen);
        ASSERT_TRUE(window_.Create(GetModuleHandleW(nullptr)));
        hwnd_ = window_.Hwnd();
        Pump(50);
    }
    int Px(int twips) const { return static_cast<int>(std::nearbyint(twips * dpi_ / 1440.0)); }

    int dpi_ = 96;
    TestWindow window_;
    HWND hwnd_ = nullptr;
};

}  // namespace

TEST_F(WindowTest, HasNoCaptionBorderNorSystemButtonsAndTheClientSizeInTwips) {
    EXPECT_EQ(std::wstring(L"Tarveil XP"), TextOf(hwnd_));
    const LONG style = GetWindowLongW(hwnd_, GWL_STYLE);
    EXPECT_EQ(0, style & WS_CAPTION);
    EXPECT_EQ(0, style & (WS_BORDER | WS_THICKFRAME | WS_DLGFRAME));
    // Without them neither the taskbar nor Win+M nor Alt+Space can minimise or move it.
    EXPECT_EQ(0, style & (WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
    EXPECT_TRUE(IsWindowVisible(hwnd_));
    RECT client, outer;
    GetClientRect(hwnd_, &client);
    GetWindowRect(hwnd_, &outer);
    EXPECT_EQ(Px(3630), client.right);
    EXPECT_EQ(Px(2670), client.bottom);
    EXPECT_EQ(client.right, outer.right - outer.left);
    EXPECT_EQ(client.bottom, outer.bottom - outer.top);
    // The class carries the icons, which the taskbar and Alt+Tab show for a window without WM_SETICON.
    EXPECT_NE(0u, GetClassLongPtrW(hwnd_, GCLP_HICON));
    EXPECT_NE(0u, GetClassLongPtrW(hwnd_, GCLP_HICONSM));
}

TEST_F(WindowTest, ControlsStandAtTheirPlacesWithTheirTextsAndStates) {
    struct Expected {
        const wchar_t* text;
        int left, top, width, height;
        bool visible;
    } controls[] = {
        {L"Redémarrer", 1560, 1320, 1575, 255, true},
        {L"Arrêter", 480, 1320, 1095, 255, true},
        {L"Entrez une heure ici (hh:mm:ss)", 240, 840, 3135, 360, true},
        {L"OK", 2880, 1735, 375, 315, true},
        {L"Mettre en veille", 840, 1680, 1935, 255, true},
        {L"ANNULER !", 840, 2280, 1935, 375, false},
    };
    for (const Expected& e : controls) {
        HWND child = ChildByText(hwnd_, e.text);
        ASSERT_NE(nullptr, child) << "no control " << Utf8Narrow(e.text);
        RECT r = ClientRectOf(hwnd_, child);
        EXPECT_EQ(Px(e.left), r.left) << Utf8Narrow(e.text);
        EXPECT_EQ(Px(e.top), r.top) << Utf8Narrow(e.text);
        EXPECT_EQ(Px(e.width), r.right - r.left) << Utf8Narrow(e.text);
        EXPECT_EQ(Px(e.height), r.bottom - r.top) << Utf8Narrow(e.text);
        EXPECT_EQ(e.visible, IsWindowVisible(child) != FALSE) << Utf8Narrow(e.text);
    }
    EXPECT_EQ(BST_CHECKED, SendMessageW(ChildByText(hwnd_, L"Arrêter"), BM_GETCHECK, 0, 0));
    EXPECT_EQ(BST_UNCHECKED, SendMessageW(ChildByText(hwnd_, L"Redémarrer"), BM_GETCHECK, 0, 0));
    EXPECT_EQ(BST_UNCHECKED, SendMessageW(ChildByText(hwnd_, L"Mettre en veille"), BM_GETCHECK, 0, 0));
    // The countdown's drawn pieces wait hidden, the digit box holding "6" for the first tick.
    const WindowlessControls& drawn = window_.Drawn();
    char digit[8] = {};
    drawn.LblDecompte.GetCaption(digit, sizeof digit);
    EXPECT_STREQ("6", digit);
    EXPECT_FALSE(drawn.LblDecompte.Visible());
    for (const DrawnLine* line : {&drawn.Line8, &drawn.Line9, &drawn.Line10}) EXPECT_FALSE(line->Visible());
}

TEST_F(WindowTest, ClockBoxShowsTheTimeAtOnceAndCannotBeTypedInto) {
    // The clock box is the read-only edit; its text is the time right after creation, before any tick.
    HWND clock = ClockBox(hwnd_);
    ASSERT_NE(nullptr, clock);
    const std::wstring shown = TextOf(clock);
    ASSERT_EQ(8u, shown.size()) << Utf8Narrow(shown.c_str());
    const std::wstring now = NowText();
    // Within the same second, or the next one if the second turned between the two readings.
    EXPECT_TRUE(shown == now || shown.substr(0, 6) == now.substr(0, 6)) << Utf8Narrow(shown.c_str());
    RECT r = ClientRectOf(hwnd_, clock);
    EXPECT_EQ(Px(960), r.left);
    EXPECT_EQ(Px(360), r.top);
    EXPECT_TRUE(GetWindowLongW(clock, GWL_STYLE) & ES_CENTER);
    // Typing does nothing in a read-only box.
    SendMessageW(clock, WM_CHAR, L'7', 0);
    EXPECT_EQ(shown.substr(0, 6), TextOf(clock).substr(0, 6));
}

TEST_F(WindowTest, OptionButtonsUseBoldMsSansSerifAndTextBoxesTheRegularOne) {
    struct Expected {
        const wchar_t* text;
        LONG weight;
    } fonts[] = {{L"Arrêter", FW_BOLD},
                 {L"Redémarrer", FW_BOLD},
                 {L"Mettre en veille", FW_BOLD},
                 {L"Entrez une heure ici (hh:mm:ss)", FW_NORMAL}};
    for (const Expected& e : fonts) {
        HFONT font = reinterpret_cast<HFONT>(SendMessageW(ChildByText(hwnd_, e.text), WM_GETFONT, 0, 0));
        ASSERT_NE(nullptr, font);
        LOGFONTW lf;
        ASSERT_NE(0, GetObjectW(font, sizeof lf, &lf));
        EXPECT_STREQ(L"MS Sans Serif", lf.lfFaceName);
        EXPECT_EQ(e.weight, lf.lfWeight) << Utf8Narrow(e.text);
        EXPECT_EQ(-MulDiv(975, dpi_, 7200), lf.lfHeight);
        EXPECT_EQ(ANSI_CHARSET, lf.lfCharSet);
        EXPECT_FALSE(lf.lfItalic || lf.lfUnderline || lf.lfStrikeOut);
    }
}

TEST_F(WindowTest, TabGoesRoundTheTabIndexesStoppingOnlyOnTheSelectedOption) {
    HWND entry = ChildByText(hwnd_, L"Entrez une heure ici (hh:mm:ss)");
    HWND arreter = ChildByText(hwnd_, L"Arrêter");
    SetForegroundWindow(hwnd_);
    SetFocus(entry);
    // Forward from the entry box: OK, the option group at "Arrêter", the clock box, the entry box again.
    const wchar_t* forward[] = {L"OK", L"Arrêter", nullptr /* clock box */, L"Entrez une heure ici (hh:mm:ss)", L"OK"};
    for (const wchar_t* expected : forward) {
        ASSERT_TRUE(PressKey(window_, VK_TAB));
        HWND focus = GetFocus();
        if (expected == nullptr) {
            EXPECT_EQ(ClockBox(hwnd_), focus);
        } else {
            EXPECT_EQ(std::wstring(expected), TextOf(focus));
        }
    }
    ASSERT_TRUE(PressKey(window_, VK_TAB, /*shift=*/true));
    EXPECT_EQ(entry, GetFocus());
    EXPECT_EQ(BST_CHECKED, SendMessageW(arreter, BM_GETCHECK, 0, 0)) << "tabbing changed the action";
}

TEST_F(WindowTest, ArrowsMoveRoundTheThreeOptionsSelectingAndEnterDoesNotArm) {
    HWND arreter = ChildByText(hwnd_, L"Arrêter");
    SetForegroundWindow(hwnd_);
    SetFocus(arreter);
    const wchar_t* down[] = {L"Mettre en veille", L"Redémarrer", L"Arrêter"};
    for (const wchar_t* expected : down) {
        ASSERT_TRUE(PressKey(window_, VK_DOWN));
        EXPECT_EQ(std::wstring(expected), TextOf(GetFocus()));
        EXPECT_EQ(BST_CHECKED, SendMessageW(GetFocus(), BM_GETCHECK, 0, 0)) << Utf8Narrow(expected);
    }
    // A valid time and Enter in the entry box: the window stays, no icon, no message box.
    HWND entry = ChildByText(hwnd_, L"Entrez une heure ici (hh:mm:ss)");
    SetWindowTextW(entry, L"23:59:58");
    SetFocus(entry);
    EXPECT_TRUE(PressKey(window_, VK_RETURN));
    Pump(20);
    EXPECT_TRUE(IsWindowVisible(hwnd_));
    EXPECT_FALSE(window_.Form().Tray.InTray());
}

TEST_F(WindowTest, SelectingAnOptionClearsTheOthers) {
    HWND veille = ChildByText(hwnd_, L"Mettre en veille");
    SendMessageW(veille, BM_CLICK, 0, 0);
    EXPECT_EQ(BST_CHECKED, SendMessageW(veille, BM_GETCHECK, 0, 0));
    EXPECT_EQ(BST_UNCHECKED, SendMessageW(ChildByText(hwnd_, L"Arrêter"), BM_GETCHECK, 0, 0));
    EXPECT_EQ(BST_UNCHECKED, SendMessageW(ChildByText(hwnd_, L"Redémarrer"), BM_GETCHECK, 0, 0));
}

TEST_F(WindowTest, TimerTicksJustAfterEachSecondBegins) {
    // Watch the clock box for three seconds: every new text must arrive early in its second.
    HWND clock = ClockBox(hwnd_);
    ASSERT_NE(nullptr, clock);
    std::wstring last = TextOf(clock);
    std::vector<int> lateness;
    const DWORD end = GetTickCount() + 3300;
    while (static_cast<LONG>(GetTickCount() - end) < 0) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
            std::wstring text = TextOf(clock);
            if (text != last) {
                SYSTEMTIME st;
                GetLocalTime(&st);
                lateness.push_back(st.wMilliseconds);
                EXPECT_EQ(NowText(), text);
                last = text;
            }
        }
        Sleep(1);
    }
    ASSERT_GE(lateness.size(), 3u);
    for (int ms : lateness) EXPECT_LT(ms, 150) << "tick came " << ms << " ms into its second";
}

TEST_F(WindowTest, PressesOnTheStripDragButNotOnTheGlyphsOrThePanel) {
    struct Case {
        int x, y;
        bool drags;
    } cases[] = {
        {40, 8, true},            // caption strip away from the glyphs
        {5, 160, true},           // free surface below the panel
        {Px(3180) + 3, 8, false}, // the minimise glyph's label
        {Px(360) + 5, Px(1080) + 60, false},  // the white panel is a label
    };
    for (const Case& c : cases) {
        window_.Form().Drag.Deplacement = 0;
        SendMessageW(hwnd_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(c.x, c.y));
        EXPECT_EQ(c.drags, window_.Form().Drag.Deplacement != 0) << c.x << "," << c.y;
        // A label's press released elsewhere is no click (the minimise glyph would bring a message box).
        SendMessageW(hwnd_, WM_LBUTTONUP, 0, c.drags ? MAKELPARAM(c.x, c.y) : MAKELPARAM(c.x, 170));
        EXPECT_EQ(0, window_.Form().Drag.Deplacement);
        if (c.drags) {
            EXPECT_EQ(std::lround(c.x * 1440.0 / dpi_), window_.Form().Drag.DepartX);
        }
        Pump(20);
    }
}

TEST_F(WindowTest, TheClockWriteRunsTheTriggerBeforeItReturns) {
    // Put the time the clock will show into the entry box, then refresh the clock: the trigger flag is set
    // by the time the write returns.
    HWND entry = ChildByText(hwnd_, L"Entrez une heure ici (hh:mm:ss)");
    ASSERT_NE(nullptr, entry);
    SYSTEMTIME st;
    GetLocalTime(&st);
    if (st.wMilliseconds > 900) Pump(150);
    SetWindowTextW(entry, NowText().c_str());
    window_.Form().RefreshClock();
    EXPECT_EQ(-1, window_.Form().Declenche);
}

TEST_F(WindowTest, TheCloseGlyphEndsTheWindow) {
    const int x = Px(3420) + 5, y = 8;
    SendMessageW(hwnd_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageW(hwnd_, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    EXPECT_FALSE(IsWindow(hwnd_));
}

TEST(Text, Utf8AndWideRoundTripWithAccentsAndCut) {
    wchar_t wide[64];
    EXPECT_EQ(7, Utf8ToWide("Arrêter", wide, 64));
    EXPECT_STREQ(L"Arrêter", wide);
    EXPECT_EQ(3, Utf8ToWide("Arrêter", wide, 4));
    EXPECT_STREQ(L"Arr", wide);
    char narrow[8];
    // The whole length comes back even when the text is cut, and a cut never splits a character.
    EXPECT_EQ(11u, WideToUtf8(L"Redémarrer", 10, narrow, sizeof narrow));
    EXPECT_STREQ("Redéma", narrow);
    EXPECT_EQ(11u, WideToUtf8(L"Redémarrer", 10, narrow, 5));
    EXPECT_STREQ("Red", narrow);
}

TEST_F(WindowTest, CancellingTheCountdownPassesTheFocusToAShownControl) {
    // One countdown step shows "ANNULER !"; pressing it hides it while it has the focus.
    window_.Form().Declenche = -1;
    window_.Form().Timer1_Timer();
    HWND cancel = ChildByText(hwnd_, L"ANNULER !");
    ASSERT_TRUE(IsWindowVisible(cancel));
    SetForegroundWindow(hwnd_);
    SetFocus(cancel);
    Pump(20);
    SendMessageW(cancel, BM_CLICK, 0, 0);
    Pump(20);
    EXPECT_FALSE(IsWindowVisible(cancel));
    EXPECT_EQ(0, window_.Form().Declenche);
    HWND focus = GetFocus();
    ASSERT_NE(nullptr, focus);
    EXPECT_NE(cancel, focus);
    EXPECT_TRUE(IsChild(hwnd_, focus) && IsWindowVisible(focus));
}

namespace {

// The pointer tracking the thread has now, if it is on TARGET (hover or leave); 0 when there is none.
DWORD TrackingOf(HWND target) {
    TRACKMOUSEEVENT query = {};
    query.cbSize = sizeof query;
    query.dwFlags = TME_QUERY;
    if (!TrackMouseEvent(&query) || query.hwndTrack != target) return 0;
    return query.dwFlags & (TME_HOVER | TME_LEAVE);
}

}  // namespace

TEST_F(WindowTest, GoingToTheNotificationAreaEndsThePointerTrackingOfItsButtons) {
    // "OK" lights up under the pointer and tracks it to learn when it leaves. Hidden with the window under a
    // pointer that does not move, it is never told; under Wine that keeps a 10 ms poll running as long as
    // the window waits. Hiding the window must end the tracking.
    HWND ok = ChildByText(hwnd_, L"OK");
    ASSERT_TRUE(IsWindowVisible(ok));
    RECT r;
    GetWindowRect(ok, &r);
    SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    Pump(30);
    TRACKMOUSEEVENT track = {};
    track.cbSize = sizeof track;
    track.dwFlags = TME_HOVER | TME_LEAVE;
    track.hwndTrack = ok;
    track.dwHoverTime = 1;
    ASSERT_TRUE(TrackMouseEvent(&track));
    Pump(30);
    ASSERT_NE(0u, TrackingOf(ok)) << "the button is not tracking the pointer to begin with";
    window_.Hide();
    Pump(100);
    EXPECT_EQ(0u, TrackingOf(ok));
    EXPECT_FALSE(IsWindowVisible(hwnd_));
}

TEST_F(WindowTest, TheIconsCallbacksReachTheWindowObjectAtLargeScalesAndNoHeldPressTakesThem) {
    // The callback, WM_MOUSEMOVE(1, message), lies on a drawn glyph at these scales. Each press is held as the window
    // hides: on the surface, whose capture another window then takes, or on the close glyph.
    HWND other = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    for (int dpi : {210, 216}) {
        for (const POINT press : {POINT{5, 160}, POINT{3420 * dpi / 1440 + 2, 8}}) {
            window_.SetDpi(dpi);
            RECT before, after;
            GetWindowRect(hwnd_, &before);
            SendMessageW(hwnd_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(press.x, press.y));
            if (press.x == 5) SetCapture(other);
            window_.Form().Tray.SendToTray();
            SendMessageW(hwnd_, WM_LBUTTONUP, 0, MAKELPARAM(press.x, press.y));
            SendMessageW(hwnd_, WM_MOUSEMOVE, 1, WM_MOUSEMOVE);
            ASSERT_TRUE(IsWindow(hwnd_)) << dpi;
            EXPECT_FALSE(IsWindowVisible(hwnd_)) << dpi << " dpi, press at " << press.x;
            SendMessageW(hwnd_, WM_MOUSEMOVE, 1, WM_LBUTTONDOWN);
            EXPECT_TRUE(IsWindowVisible(hwnd_)) << dpi << " dpi, press at " << press.x;
            EXPECT_EQ(before.left, (GetWindowRect(hwnd_, &after), after.left)) << dpi << " dpi, press at " << press.x;
            ReleaseCapture();
        }
    }
    DestroyWindow(other);
}

TEST_F(WindowTest, TheClockBoxShowsTheTimeOfTheLastTickAsTheWindowComesBack) {
    // While the window waits hidden the clock keeps its time for itself; the box must have it on showing,
    // not the time it had when the window was hidden.
    HWND clock = ClockBox(hwnd_);
    auto secondOfDay = [](const std::wstring& t) {
        return t.size() == 8 ? _wtoi(t.substr(0, 2).c_str()) * 3600 + _wtoi(t.substr(3, 2).c_str()) * 60 +
                                   _wtoi(t.substr(6, 2).c_str())
                             : -1;
    };
    window_.Hide();
    Pump(2300);  // two ticks or more while hidden
    const int now = secondOfDay(NowText());
    window_.Show();
    const std::wstring shown = TextOf(clock);
    const int behind = (now - secondOfDay(shown) + 86400) % 86400;
    EXPECT_LE(behind, 1) << Utf8Narrow(shown.c_str());
}

TEST_F(WindowTest, AMinimisedWindowComesBackRestoredAndTheCountdownInFrontWithoutTheFocus) {
    // Refused from the system command, as for any window without a minimise box...
    SendMessageW(hwnd_, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_FALSE(IsIconic(hwnd_));
    // ...but another program can still minimise it: each show the program makes restores it.
    ShowWindow(hwnd_, SW_MINIMIZE);
    ASSERT_TRUE(IsIconic(hwnd_));
    window_.Form().Tray.RestoreFromTray();
    EXPECT_FALSE(IsIconic(hwnd_));
    EXPECT_TRUE(IsWindowVisible(hwnd_));
    ShowWindow(hwnd_, SW_MINIMIZE);
    window_.Form().Declenche = -1;
    window_.Form().Timer1_Timer();
    EXPECT_FALSE(IsIconic(hwnd_));
    EXPECT_TRUE(IsWindowVisible(hwnd_));
    window_.Form().cmdCancel_Click();

    // Waiting in the notification area while the user works in another window: the countdown's first step
    // brings the window back above it and leaves the keyboard where it is.
    HWND other = CreateWindowExW(0, L"STATIC", L"other program", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200,
                                 nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, other);
    window_.Hide();
    SetForegroundWindow(other);
    Pump(20);
    ASSERT_EQ(other, GetForegroundWindow());
    window_.Form().Declenche = -1;
    window_.Form().Timer1_Timer();
    Pump(20);
    EXPECT_TRUE(IsWindowVisible(hwnd_));
    EXPECT_TRUE(GetWindowLongW(hwnd_, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(other, GetForegroundWindow());
    // "ANNULER !" puts it back among the other windows.
    window_.Form().cmdCancel_Click();
    EXPECT_FALSE(GetWindowLongW(hwnd_, GWL_EXSTYLE) & WS_EX_TOPMOST);
    DestroyWindow(other);
}

TEST_F(WindowTest, AResumeFromSleepChecksTheClockAtOnceByTheTicksOwnPath) {
    HWND clock = ClockBox(hwnd_);
    ASSERT_NE(nullptr, clock);
    // Without its timer, only a check made for the broadcast can write the clock box.
    KillTimer(hwnd_, 1);
    Sleep(1100);
    SetWindowTextW(clock, L"--");
    for (WPARAM other : {static_cast<WPARAM>(PBT_APMPOWERSTATUSCHANGE), static_cast<WPARAM>(PBT_APMSUSPEND)}) {
        SendMessageW(hwnd_, WM_POWERBROADCAST, other, 0);
        EXPECT_EQ(std::wstring(L"--"), TextOf(clock)) << "event " << other;
    }
    for (WPARAM resume : {static_cast<WPARAM>(PBT_APMRESUMEAUTOMATIC), static_cast<WPARAM>(PBT_APMRESUMESUSPEND)}) {
        SCOPED_TRACE(resume);
        Sleep(1100);
        SetWindowTextW(clock, L"--");
        const std::wstring before = NowText();
        EXPECT_EQ(TRUE, SendMessageW(hwnd_, WM_POWERBROADCAST, resume, 0));
        const std::wstring shown = TextOf(clock), after = NowText();
        EXPECT_TRUE(shown == before || shown == after) << Utf8Narrow(shown.c_str());
        // The two resume broadcasts of one wake-up, within one second, make one tick: the second writes nothing.
        SetWindowTextW(clock, L"--");
        SendMessageW(hwnd_, WM_POWERBROADCAST, resume, 0);
        if (NowText() == after) {
            EXPECT_EQ(std::wstring(L"--"), TextOf(clock));
        }
    }
}

namespace {

// A window of another thread lying right under the real window, painted a flat colour by that thread once it
// takes its messages again, `answersAfterMs` after Start (never, for a hung one).
class WindowUnder {
public:
    WindowUnder(HWND above, DWORD answersAfterMs) : above_(above), answersAfterMs_(answersAfterMs) {
        ready_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        release_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
        WaitForSingleObject(ready_, 5000);
    }
    ~WindowUnder() {
        SetEvent(release_);
        if (hwnd_ != nullptr) PostMessageW(hwnd_, WM_CLOSE, 0, 0);
        WaitForSingleObject(thread_, 5000);
        CloseHandle(thread_);
        CloseHandle(release_);
        CloseHandle(ready_);
    }
    // Starts the clock of its answering.
    void Start() { start_ = GetTickCount(); SetEvent(release_); }
    HWND Hwnd() const { return hwnd_; }
    // GetTickCount at the end of its first paint after Start, 0 before.
    DWORD PaintedAt() const { return paintedAt_; }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
        auto* self = reinterpret_cast<WindowUnder*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (msg == WM_PAINT && self != nullptr) {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            HBRUSH green = CreateSolidBrush(RGB(0, 160, 0));
            FillRect(dc, &ps.rcPaint, green);
            DeleteObject(green);
            EndPaint(hwnd, &ps);
            if (self->start_ != 0 && self->paintedAt_ == 0) self->paintedAt_ = GetTickCount();
            return 0;
        }
        if (msg == WM_CLOSE) { DestroyWindow(hwnd); return 0; }
        if (msg == WM_DESTROY) { PostQuitMessage(0); return 0; }
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
    static DWORD WINAPI Run(void* param) {
        auto* self = static_cast<WindowUnder*>(param);
        WNDCLASSW wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"TarveilTestUnder";
        RegisterClassW(&wc);
        RECT r;
        GetWindowRect(self->above_, &r);
        self->hwnd_ = CreateWindowExW(WS_EX_TOOLWINDOW, wc.lpszClassName, L"under", WS_POPUP, r.left, r.top,
                                      r.right - r.left, r.bottom - r.top, nullptr, nullptr, wc.hInstance, nullptr);
        SetWindowLongPtrW(self->hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        SetWindowPos(self->hwnd_, self->above_, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        SetEvent(self->ready_);
        // Busy elsewhere: no message taken until released, then none for answersAfterMs.
        WaitForSingleObject(self->release_, INFINITE);
        if (self->answersAfterMs_ == INFINITE) return 0;
        Sleep(self->answersAfterMs_);
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
        return 0;
    }

    HWND above_;
    DWORD answersAfterMs_;
    HWND hwnd_ = nullptr;
    HANDLE ready_ = nullptr, release_ = nullptr, thread_ = nullptr;
    volatile DWORD start_ = 0;
    volatile DWORD paintedAt_ = 0;
};

}  // namespace

TEST_F(WindowTest, TheBackdropWaitsForWhatLayUnderTheWindowToRepaintButNotForever) {
    struct Case {
        const char* under;
        DWORD answersAfterMs;
        bool paintedFirst;  // the window under has painted by the time the wait returns
    } cases[] = {
        {"a window that answers at once", 0, true},
        {"a window that answers 120 ms late", 120, true},
        {"a window that never answers", INFINITE, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.under);
        window_.Show();
        Pump(100);
        WindowUnder under(hwnd_, c.answersAfterMs);
        ASSERT_NE(nullptr, under.Hwnd());
        Pump(100);
        // Uncovered by the hide and not yet repainted, as on XP; Wine repaints what it uncovers from its own copy
        // of each window, so the test makes that window's repaint due itself.
        InvalidateRect(under.Hwnd(), nullptr, FALSE);
        window_.Hide();
        const DWORD start = GetTickCount();
        under.Start();
        window_.WaitUntilOffScreen();
        const DWORD returned = GetTickCount();
        EXPECT_EQ(c.paintedFirst, under.PaintedAt() != 0 && under.PaintedAt() <= returned)
            << "painted " << (under.PaintedAt() ? under.PaintedAt() - start : 0) << " ms after the hide";
        // The window always comes back: a few hundred milliseconds at most, whoever does not answer.
        EXPECT_LT(returned - start, 1000u);
    }
}
