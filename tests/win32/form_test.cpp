// The real window under Wine: its frame, the controls' places, texts, fonts and states, the clock, the
// timer's alignment on the second, and the routing of mouse presses.
#include <windows.h>

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "platform/win32/Win32Form.h"
#include "platform/win32/text.h"

namespace {

void Pump(DWORD milliseconds) {
    const DWORD end = GetTickCount() + milliseconds;
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(5);
    } while (static_cast<LONG>(GetTickCount() - end) < 0);
}

HWND ChildByText(HWND parent, const wchar_t* text) {
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t buf[128];
        GetWindowTextW(child, buf, 128);
        if (wcscmp(buf, text) == 0) return child;
    }
    return nullptr;
}

// The clock box is the window's only read-only edit.
HWND ClockBox(HWND parent) {
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        if (GetWindowLongW(child, GWL_STYLE) & ES_READONLY) return child;
    }
    return nullptr;
}

std::wstring TextOf(HWND hwnd) {
    wchar_t buf[256];
    GetWindowTextW(hwnd, buf, 256);
    return buf;
}

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
    Win32Form window_;
    HWND hwnd_ = nullptr;
};

}  // namespace

TEST_F(WindowTest, HasNoCaptionNorBorderAndTheClientSizeInTwips) {
    EXPECT_EQ(std::wstring(L"Tarveil XP"), TextOf(hwnd_));
    const LONG style = GetWindowLongW(hwnd_, GWL_STYLE);
    EXPECT_EQ(0, style & WS_CAPTION);
    EXPECT_EQ(0, style & (WS_BORDER | WS_THICKFRAME | WS_DLGFRAME));
    EXPECT_TRUE(IsWindowVisible(hwnd_));
    RECT client, outer;
    GetClientRect(hwnd_, &client);
    GetWindowRect(hwnd_, &outer);
    EXPECT_EQ(Px(3630), client.right);
    EXPECT_EQ(Px(2670), client.bottom);
    EXPECT_EQ(client.right, outer.right - outer.left);
    EXPECT_EQ(client.bottom, outer.bottom - outer.top);
    EXPECT_NE(nullptr, reinterpret_cast<HICON>(SendMessageW(hwnd_, WM_GETICON, ICON_BIG, 0)));
    EXPECT_NE(nullptr, reinterpret_cast<HICON>(SendMessageW(hwnd_, WM_GETICON, ICON_SMALL, 0)));
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

TEST_F(WindowTest, TabOrderFollowsTheTabIndexes) {
    const wchar_t* order[] = {L"Redémarrer", L"Arrêter", nullptr /* clock box */, L"Entrez une heure ici (hh:mm:ss)",
                              L"OK", L"Mettre en veille"};
    HWND current = ChildByText(hwnd_, order[0]);
    for (size_t i = 1; i < sizeof order / sizeof order[0]; ++i) {
        current = window_.NextInTabOrder(current, false);
        if (order[i] == nullptr) {
            EXPECT_TRUE(GetWindowLongW(current, GWL_STYLE) & ES_READONLY);
        } else {
            EXPECT_EQ(std::wstring(order[i]), TextOf(current));
        }
    }
}

TEST_F(WindowTest, ShiftTabGoesBackAndHiddenControlsAreSkipped) {
    HWND reboot = ChildByText(hwnd_, L"Redémarrer");
    // Backwards from the first control wraps to the last one that is shown: "ANNULER !" is hidden.
    EXPECT_EQ(std::wstring(L"Mettre en veille"), TextOf(window_.NextInTabOrder(reboot, true)));
    EXPECT_EQ(reboot, window_.NextInTabOrder(ChildByText(hwnd_, L"Mettre en veille"), false));
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
        window_.Form().Deplacement = 0;
        SendMessageW(hwnd_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(c.x, c.y));
        EXPECT_EQ(c.drags, window_.Form().Deplacement != 0) << c.x << "," << c.y;
        // A label's press released elsewhere is no click (the minimise glyph would bring a message box).
        SendMessageW(hwnd_, WM_LBUTTONUP, 0, c.drags ? MAKELPARAM(c.x, c.y) : MAKELPARAM(c.x, 170));
        EXPECT_EQ(0, window_.Form().Deplacement);
        if (c.drags) {
            EXPECT_EQ(std::lround(c.x * 1440.0 / dpi_), window_.Form().DepartX);
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
