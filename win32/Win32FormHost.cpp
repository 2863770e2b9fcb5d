// The main window as the window object's host: showing and hiding, geometry in twips, the persistent image,
// and the few services the object asks of the system.
#include "win32/Win32Form.h"

#include <algorithm>

#include "win32/BoundFunctions.h"
#include "win32/WideText.h"

namespace {

// However slow the rest of the desktop, the window comes back after this long: a copy of its own old pixels is
// better than a window that stays away.
constexpr DWORD kOffScreenBoundMs = 500;
// How often the state of the screen is looked at again while it is waited for.
constexpr DWORD kLookAgainMs = 5;
// A z-order that keeps changing while it is walked ends the walk.
constexpr int kMostWindowsUnder = 256;

class Deadline {
public:
    explicit Deadline(DWORD ms) : start_(GetTickCount()), ms_(ms) {}
    DWORD Left() const {
        const DWORD spent = GetTickCount() - start_;
        return spent < ms_ ? ms_ - spent : 0;
    }
    // Waits a little, running the messages other threads send to this one meanwhile (a window under this one may
    // be waiting on this thread before it can paint); other messages stay queued.
    void Pause() const {
        const DWORD ms = Left() < kLookAgainMs ? Left() : kLookAgainMs;
        if (ms == 0) return;
        if (MsgWaitForMultipleObjects(0, nullptr, FALSE, ms, QS_SENDMESSAGE) == WAIT_OBJECT_0) {
            MSG msg;
            (void)PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
    }

private:
    DWORD start_;
    DWORD ms_;
};

bool Overlaps(HWND window, const RECT& area) {
    RECT r, common;
    return IsWindowVisible(window) && GetWindowRect(window, &r) && IntersectRect(&common, &r, &area);
}

struct UnpaintedSearch {
    RECT area;
    bool found;
};

BOOL CALLBACK FindUnpaintedChild(HWND child, LPARAM param) {
    auto* search = reinterpret_cast<UnpaintedSearch*>(param);
    if (Overlaps(child, search->area) && GetUpdateRect(child, nullptr, FALSE)) {
        search->found = true;
        return FALSE;
    }
    return TRUE;
}

// The windows the hidden window lay over: those below it in the z-order (only they were uncovered) and, under all
// of them, the desktop. `visit` returns false to stop the walk, which then returns false too.
template <typename Visit>
bool ForEachWindowUnder(HWND self, const RECT& area, Visit visit) {
    int walked = 0;
    for (HWND w = GetWindow(self, GW_HWNDNEXT); w != nullptr && walked < kMostWindowsUnder;
         w = GetWindow(w, GW_HWNDNEXT), ++walked) {
        if (Overlaps(w, area) && !visit(w)) return false;
    }
    return visit(GetDesktopWindow());
}

// Without a compositor (XP, or Vista and 7 with it off) the hide leaves the window's pixels on the screen, and
// each window it uncovered repaints them on its own thread, when that thread gets to its messages. A window has
// painted once its update region is empty (BeginPaint empties it) and its thread has come back for its next
// message (the paint has returned). A program that does not answer is given up on: SMTO_ABORTIFHUNG returns at
// once for a thread the system already takes as hung, and the deadline bounds the others.
void WaitForWindowsUnderToRepaint(HWND self, const RECT& area, const Deadline& deadline) {
    auto painted = [&area](HWND w) {
        if (GetUpdateRect(w, nullptr, FALSE)) return false;
        UnpaintedSearch search = {area, false};
        EnumChildWindows(w, FindUnpaintedChild, reinterpret_cast<LPARAM>(&search));
        return !search.found;
    };
    while (!ForEachWindowUnder(self, area, painted) && deadline.Left() > 0) deadline.Pause();
    (void)ForEachWindowUnder(self, area, [&deadline](HWND w) {
        DWORD_PTR ignored;
        // Whether it answered or not, the wait goes on to the next window: a late one only shortens the rest.
        (void)SendMessageTimeoutW(w, WM_NULL, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG, deadline.Left(), &ignored);
        return deadline.Left() > 0;
    });
}

// Vista and later compose the screen in the desktop window manager, which takes the hidden window off at its
// next frame; DwmFlush returns once that frame is on the screen. XP has no dwmapi.dll, and where composition is
// off the call fails at once: both simply go on.
void WaitForTheNextComposedFrame() {
    (void)CallBound<kDwmFlush>(SystemFunctions(), E_NOTIMPL);
}

// A window that no monitor shows any more (its monitor removed, a laptop undocked) would come back out of reach,
// with no caption or taskbar button to bring it back by: it moves into the work area of the nearest monitor. One
// that a monitor shows, even in part, stays exactly where it is. A minimised window's rectangle is its icon's: it is
// looked at once restored.
void KeepOnAMonitor(HWND hwnd) {
    RECT r;
    if (IsIconic(hwnd) || !GetWindowRect(hwnd, &r) || MonitorFromRect(&r, MONITOR_DEFAULTTONULL) != nullptr) return;
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    if (!GetMonitorInfoW(MonitorFromRect(&r, MONITOR_DEFAULTTONEAREST), &monitor)) return;
    const RECT& work = monitor.rcWork;
    // Its top-left corner stays inside when the window is larger than the work area.
    const LONG x = std::max(work.left, std::min(r.left, work.right - (r.right - r.left)));
    const LONG y = std::max(work.top, std::min(r.top, work.bottom - (r.bottom - r.top)));
    SetWindowPos(hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

void Win32Form::Hide() {
    EndMouseTracking(hwnd_);
    // A press held as the window hides (Enter pressed on "OK" meanwhile) ends as the mouse rule says.
    const MouseMessage hiding = {MouseInput::Hiding, 0, 0, nullptr, form_.Tray.InTray(), true, false};
    Follow(RouteMouse(hiding, mouse_), 0, 0, 0, 0);
    ShowWindow(hwnd_, SW_HIDE);
}

void Win32Form::Show() {
    // A menu of the program still open (the icon's, the entry box's) would lie over the window and take the first
    // click, which the countdown wants for "ANNULER !". Its loop ends once this message's handler returns.
    if (inFront_ || !IsWindowVisible(hwnd_)) EndMenu();
    KeepOnAMonitor(hwnd_);
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
    if (iconic) KeepOnAMonitor(hwnd_);
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
    (void)RunMessages(Pump::OnePass);
}

int Win32Form::RunMessages(Pump pump) {
    MSG msg = {};
    while (pump == Pump::UntilQuit ? GetMessageW(&msg, nullptr, 0, 0) > 0
                                   : PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE) != FALSE) {
        // Only the pass sees WM_QUIT (GetMessageW ends the loop on it): it goes back in the queue for the loop.
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return 0;
        }
        if (PreTranslate(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

void Win32Form::WaitUntilOffScreen() {
    const Deadline deadline(kOffScreenBoundMs);
    RECT area;
    if (!GetWindowRect(hwnd_, &area)) return;
    WaitForWindowsUnderToRepaint(hwnd_, area, deadline);
    WaitForTheNextComposedFrame();
    // Under Wine on X11 a window manager puts the window in a frame of its own. Wine's hide unmaps the window
    // inside it, but the frame keeps the window's last pixels on the screen until the window manager, a program
    // of its own, unmaps the frame too, and nothing of that reaches a Windows program. So the screen itself is
    // looked at: the window is off it once its caption strip, which no child window covers, is no longer there
    // as last painted. Elsewhere this finds the screen already changed.
    const RECT strip = drawn_.Picture1Pixels();
    const POINT at = {area.left + strip.left, area.top + strip.top};
    while (image_.OnScreen(strip, at) && deadline.Left() > 0) deadline.Pause();
}

int Win32Form::ShowMessage(const char* promptUtf8, const char* titleUtf8, uint32_t style) {
    WideText prompt(promptUtf8), title(titleUtf8);
    // Owned by the window while it is on screen, so that it stays in front of it; a hidden window would hide it.
    return ::MessageBoxW(IsWindowVisible(hwnd_) ? hwnd_ : nullptr, prompt.c_str(), title.c_str(), style);
}

FormHost::TrayMenuChoice Win32Form::ShowTrayMenu(const char* headerUtf8) {
    enum : UINT { kShow = 1, kQuit = 2 };
    ScopedMenu menu(CreatePopupMenu());
    WideText header(headerUtf8);
    if (!menu || !AppendMenuW(menu.Get(), MF_STRING | MF_GRAYED, 0, header.c_str()) ||
        !AppendMenuW(menu.Get(), MF_SEPARATOR, 0, nullptr) ||
        !AppendMenuW(menu.Get(), MF_STRING, kShow, L"Afficher la fenêtre") ||
        !AppendMenuW(menu.Get(), MF_STRING, kQuit, L"Quitter sans rien faire"))
        return TrayMenuChoice::None;
    // The left press's own action, in bold as a menu's default.
    (void)SetMenuDefaultItem(menu.Get(), kShow, FALSE);
    POINT at;
    if (!GetCursorPos(&at)) return TrayMenuChoice::None;
    // As Windows documents for a notification-area menu: the owner in the foreground first, or the menu would not
    // close when the user clicks elsewhere; a message posted after, or a second menu would close at once.
    (void)SetForegroundWindow(hwnd_);
    const UINT chosen = static_cast<UINT>(
        TrackPopupMenu(menu.Get(), TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON, at.x, at.y, 0, hwnd_, nullptr));
    (void)PostMessageW(hwnd_, WM_NULL, 0, 0);
    return chosen == kShow ? TrayMenuChoice::ShowWindow : chosen == kQuit ? TrayMenuChoice::Quit : TrayMenuChoice::None;
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
