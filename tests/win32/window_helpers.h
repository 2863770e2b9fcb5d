// What the Win32 window tests share: the real window with its window object in reach, a message pump, and
// finding the window's controls as a user sees them.
#pragma once

#include <windows.h>

#include <string>

#include "win32/Win32Form.h"

// The window with its window object in reach, as only a test needs it.
class TestWindow : public Win32Form {
public:
    Form1& Form() { return form_; }
    const WindowlessControls& Drawn() const { return drawn_; }
    // Whether the window's second timer still looks at a restart's shutdown.exe.
    bool WatchingRestart() const { return restartTimer_.Enabled(); }
    // The screen's scale as the window reads its mouse input and places its drawn labels.
    void SetDpi(int dpi) { surface_.scale = TwipsScale::ForDpi(dpi, dpi); }
};

// Runs the thread's messages for a while, as the program's loop would.
inline void Pump(DWORD milliseconds) {
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

inline std::wstring TextOf(HWND hwnd) {
    wchar_t buf[256];
    GetWindowTextW(hwnd, buf, 256);
    return buf;
}

inline HWND ChildByText(HWND parent, const wchar_t* text) {
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        if (TextOf(child) == text) return child;
    }
    return nullptr;
}

// The clock box is the window's only read-only edit.
inline HWND ClockBox(HWND parent) {
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        if (GetWindowLongW(child, GWL_STYLE) & ES_READONLY) return child;
    }
    return nullptr;
}
