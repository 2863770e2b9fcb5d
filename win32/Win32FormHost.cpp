// The main window as the window object's host: showing and hiding, geometry in twips, the persistent image,
// and the few services the object asks of the system.
#include "win32/Win32Form.h"

#include "win32/WideText.h"

void Win32Form::Hide() {
    EndMouseTracking(hwnd_);
    ShowWindow(hwnd_, SW_HIDE);
}

void Win32Form::Show() {
    // SW_SHOW leaves a minimised window minimised: one minimised from outside (the taskbar, another program)
    // is restored instead.
    const bool iconic = IsIconic(hwnd_) != FALSE;
    if (inFront_) {
        // Never activated: the foreground stays with the program the user is typing into.
        ShowWindow(hwnd_, iconic ? SW_SHOWNOACTIVATE : SW_SHOWNA);
        SetWindowPos(hwnd_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    } else {
        const bool wasHidden = !IsWindowVisible(hwnd_);
        ShowWindow(hwnd_, iconic ? SW_RESTORE : SW_SHOW);
        // Brought back by the user (the icon, a drag's end): the window takes the keyboard. Windows lets it only
        // when the user's last input went to this program or the shell handed it over.
        if (wasHidden) SetForegroundWindow(hwnd_);
    }
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void Win32Form::SetInFront(bool on) {
    if (on == inFront_) return;
    inFront_ = on;
    if (!on) {
        SetWindowPos(hwnd_, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        return;
    }
    // The show that follows maps a window shown but not in use anew. An X window manager (the desktop under
    // Wine) can iconify a window that has no minimise box without Wine taking it as minimised; only a new map
    // brings that one back. The window in use is on screen, and keeps the keyboard.
    if (IsWindowVisible(hwnd_) && GetForegroundWindow() != hwnd_) ShowWindow(hwnd_, SW_HIDE);
}

bool Win32Form::Visible() const {
    return IsWindowVisible(hwnd_) != FALSE;
}

void Win32Form::SetTaskVisible(bool visible) {
    LONG ex = GetWindowLongW(hwnd_, GWL_EXSTYLE);
    if (visible) {
        ex = (ex | WS_EX_APPWINDOW) & ~WS_EX_TOOLWINDOW;
    } else {
        ex = (ex | WS_EX_TOOLWINDOW) & ~WS_EX_APPWINDOW;
    }
    SetWindowLongW(hwnd_, GWL_EXSTYLE, ex);
    SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void Win32Form::Unload() {
    unloadMode_ = kFromCode;
    SendMessageW(hwnd_, WM_CLOSE, 0, 0);
}

void Win32Form::DoEvents() {
    // One pass over the queue, like the loop in WinMain but returning when it is empty. A WM_QUIT met here is
    // put back for the real loop, which ends the program.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        if (PreTranslate(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

int Win32Form::ShowMessage(const char* promptUtf8, const char* titleUtf8, uint32_t style) {
    WideText prompt(promptUtf8), title(titleUtf8);
    // Owned by the window while it is on screen, so that it stays in front of it; a hidden window would hide it.
    return ::MessageBoxW(IsWindowVisible(hwnd_) ? hwnd_ : nullptr, prompt.c_str(), title.c_str(), style);
}

void Win32Form::Beep() {
    // The default system sound, or the speaker where there is no sound card; a refused beep changes nothing.
    (void)MessageBeep(0xFFFFFFFF);
}

uint32_t Win32Form::WindowHandle() const {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(hwnd_));
}

uint32_t Win32Form::IconHandle() const {
    HICON icon = smallIcon_.Get() != nullptr ? smallIcon_.Get() : bigIcon_.Get();
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(icon));
}

float Win32Form::Left() const {
    RECT r;
    GetWindowRect(hwnd_, &r);
    return surface_.scale.TwipsX(r.left);
}

float Win32Form::Top() const {
    RECT r;
    GetWindowRect(hwnd_, &r);
    return surface_.scale.TwipsY(r.top);
}

void Win32Form::SetLeft(float twips) {
    RECT r;
    GetWindowRect(hwnd_, &r);
    SetWindowPos(hwnd_, nullptr, surface_.scale.PxX(twips), r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Form::SetTop(float twips) {
    RECT r;
    GetWindowRect(hwnd_, &r);
    SetWindowPos(hwnd_, nullptr, r.left, surface_.scale.PxY(twips), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Form::SetAutoRedraw(bool /*on*/) {
    // The window always repaints from its persistent image; there is no other mode to switch to.
}

uint32_t Win32Form::ImageDC() {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(image_.ImageDC()));
}

void Win32Form::ImageToPicture() {
    // The background picture is the persistent image itself: nothing ever clears the image back to its
    // picture, so a separate copy would never be read. What remains is to show the new image.
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void Win32Form::DrawBox(float x1, float y1, float x2, float y2) {
    const TwipsScale& s = surface_.scale;
    const RECT box = {s.PxX(x1), s.PxY(y1), s.PxX(x2), s.PxY(y2)};
    image_.DrawBox(box, foreColour_, drawMode_);
    InvalidateRect(hwnd_, nullptr, FALSE);
}
