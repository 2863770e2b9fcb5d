// The main window on Win32: class, creation, and the routing of window messages.
#include "win32/Win32Form.h"

#include <dwmapi.h>
#include <windowsx.h>

#include "resources/resource.h"
#include "resources/version.h"

namespace {

const wchar_t kClassName[] = L"TarveilXPForm";
const wchar_t kTitle[] = L"" TARVEIL_TITLE;

// The client area, in twips.
constexpr int kClientWidth = 3630;
constexpr int kClientHeight = 2670;

// No caption, no border, no system menu and no minimise box: the window's own strip and glyphs stand for them.
constexpr DWORD kStyle = WS_POPUP | WS_CLIPCHILDREN;

int16_t KeyShift() {
    int16_t shift = 0;
    if (GetKeyState(VK_SHIFT) < 0) shift |= 1;
    if (GetKeyState(VK_CONTROL) < 0) shift |= 2;
    if (GetKeyState(VK_MENU) < 0) shift |= 4;
    return shift;
}

int16_t ButtonsHeld(WPARAM buttons) {
    int16_t held = 0;
    if (buttons & MK_LBUTTON) held |= kLeftButton;
    if (buttons & MK_RBUTTON) held |= kRightButton;
    if (buttons & MK_MBUTTON) held |= kMiddleButton;
    return held;
}

// From Vista on, a program started as administrator (or by a task with the highest privileges) gets no registered
// message from a program of lower integrity, the shell among them, unless it lets that message through: a restarted
// shell's "TaskbarCreated" would never come, and the icon would not be put back. Windows 7 lets it through to one
// window, Vista to the whole process; XP has no such filter and neither function.
void LetTaskbarCreatedThrough(HWND hwnd, UINT message) {
    constexpr DWORD kMsgfltAllow = 1;  // MSGFLT_ALLOW
    constexpr DWORD kMsgfltAdd = 1;    // MSGFLT_ADD
    if (message == 0 ||
        CallBound<kChangeWindowMessageFilterEx>(SystemFunctions(), FALSE, hwnd, message, kMsgfltAllow, nullptr).value)
        return;
    // Nothing more can be done where this is refused too: the icon then waits for the shell it was given to.
    (void)CallBound<kChangeWindowMessageFilter>(SystemFunctions(), FALSE, message, kMsgfltAdd);
}

}  // namespace

Win32Form::Win32Form()
    : form_(Form1Controls{&controls_.TxtHeure, &controls_.TxTChoix, &controls_.ChkArreter, &controls_.ChkReboot,
                          &controls_.ChkVeille, &controls_.cmdCancel, &drawn_.LblFond, &drawn_.LblDecompte,
                          &drawn_.Line8, &drawn_.Line9, &drawn_.Line10, &timer_, &restartTimer_},
            *this, clock_, system_) {}

Win32Form::~Win32Form() {
    ready_ = false;
    if (hwnd_ != nullptr && IsWindow(hwnd_)) {
        // Closing without the window object: nothing of the program runs any more.
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
    // The class names this object's icons, which go with it.
    if (classRegistered_) UnregisterClassW(kClassName, instance_);
}

bool Win32Form::RegisterWindowClass() {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = WndProc;
    wc.hInstance = instance_;
    // The class's icons are the window's: the taskbar, Alt+Tab and the notification area show them.
    wc.hIcon = bigIcon_.Get();
    wc.hIconSm = smallIcon_.Get();
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = nullptr;  // every paint covers the whole client area
    wc.lpszClassName = kClassName;
    classRegistered_ = RegisterClassExW(&wc) != 0;
    return classRegistered_;
}

bool Win32Form::Create(HINSTANCE instance) {
    instance_ = instance;
    int dpiX = 96, dpiY = 96;
    {
        ScopedWindowDC screen(nullptr);
        if (screen) {
            dpiX = GetDeviceCaps(screen.Get(), LOGPIXELSX);
            dpiY = GetDeviceCaps(screen.Get(), LOGPIXELSY);
        }
    }
    surface_.scale = TwipsScale::ForDpi(dpiX, dpiY);
    clientWidthPx_ = surface_.scale.PxX(kClientWidth);
    clientHeightPx_ = surface_.scale.PxY(kClientHeight);

    bigIcon_.Reset(static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_ICONEPROGRAMME), IMAGE_ICON,
                                                 GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0)));
    smallIcon_.Reset(static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_ICONEPROGRAMME), IMAGE_ICON,
                                                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0)));
    drawn_.SetStrip(static_cast<HBITMAP>(
        LoadImageW(instance, MAKEINTRESOURCEW(IDB_BANDEAUTITRE), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    if (!RegisterWindowClass()) return false;

    // Created as an overlapped window so that the system gives it the place it gives any new window (a popup
    // would land at the screen's corner); WM_NCCREATE takes the caption and border away before the frame is
    // first measured, so the window is never shown with them.
    hwnd_ = CreateWindowExW(WS_EX_APPWINDOW, kClassName, kTitle, WS_OVERLAPPED | WS_CLIPCHILDREN, CW_USEDEFAULT,
                            CW_USEDEFAULT, clientWidthPx_, clientHeightPx_, nullptr, nullptr, instance, this);
    if (hwnd_ == nullptr) return false;
    surface_.window = hwnd_;
    // From Vista on the window manager may fade a window that hides: the backdrop's copy, which waits for the screen
    // under the caption strip to change, would take the fading window for what lies behind it. Without the animation
    // the window is gone at the next frame. XP has no dwmapi.dll, and nothing to switch off.
    const BOOL noTransitions = TRUE;
    (void)CallBound<kDwmSetWindowAttribute>(SystemFunctions(), E_NOTIMPL, hwnd_, DWMWA_TRANSITIONS_FORCEDISABLED,
                                            &noTransitions, sizeof noTransitions);
    if (!image_.Create(hwnd_, clientWidthPx_, clientHeightPx_)) return false;
    if (!controls_.Create(hwnd_, instance, surface_.scale, dpiY)) return false;
    controls_.TxTChoix.ListenToClicks(this);
    controls_.TxtHeure.holdWhileHidden = true;
    controls_.Activer.handOff = &keyboard_;
    controls_.cmdCancel.handOff = &keyboard_;
    taskbarCreated_ = RegisterWindowMessageW(L"TaskbarCreated");
    LetTaskbarCreatedThrough(hwnd_, taskbarCreated_);

    timer_.hwnd = hwnd_;
    restartTimer_.hwnd = hwnd_;
    timer_.SetEnabled(true);
    if (timer_.Failed()) return false;
    ready_ = true;
    form_.Form_Load();
    return true;
}

LRESULT CALLBACK Win32Form::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* self = static_cast<Win32Form*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        SetWindowLongW(hwnd, GWL_STYLE, kStyle);
    }
    auto* self = reinterpret_cast<Win32Form*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr || !self->ready_) return DefWindowProcW(hwnd, msg, wParam, lParam);
    return self->OnMessage(msg, wParam, lParam);
}

LRESULT Win32Form::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_PAINT: return OnPaint();
    case WM_ERASEBKGND: return 1;  // the paint covers every pixel
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: return OnControlColour(msg, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_DRAWITEM: return OnDrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    case WM_COMMAND: return OnCommand(LOWORD(wParam), HIWORD(wParam));
    case WM_TIMER: return OnTimer(wParam);
    case WM_POWERBROADCAST: return OnPowerBroadcast(wParam, lParam);
    case WM_TIMECHANGE: form_.SystemClockChanged(); return 0;  // the clock set, or the zone changed
    case WM_SHOWWINDOW: return OnShowWindow(msg, wParam, lParam);
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: return OnMouse(MouseInput::Press, kLeftButton, wParam, lParam);
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK: return OnMouse(MouseInput::Press, kRightButton, wParam, lParam);
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK: return OnMouse(MouseInput::Press, kMiddleButton, wParam, lParam);
    case WM_MOUSEMOVE: return OnMouse(MouseInput::Move, 0, wParam, lParam);
    case WM_LBUTTONUP: return OnMouse(MouseInput::Release, kLeftButton, wParam, lParam);
    case WM_RBUTTONUP: return OnMouse(MouseInput::Release, kRightButton, wParam, lParam);
    case WM_MBUTTONUP: return OnMouse(MouseInput::Release, kMiddleButton, wParam, lParam);
    case WM_CAPTURECHANGED: return OnMouse(MouseInput::CaptureLost, 0, 0, lParam);
    case WM_ACTIVATE: return OnActivate(LOWORD(wParam) != WA_INACTIVE);
    case WM_SETFOCUS: return OnSetFocus();
    case WM_SYSCOMMAND: return OnSysCommand(msg, wParam, lParam);
    case WM_CLOSE: return OnClose();
    case WM_QUERYENDSESSION: return TRUE;  // never holds up the end of a session
    case WM_ENDSESSION: return OnEndSession(wParam != FALSE);
    case WM_DESTROY: return OnDestroy();
    default: break;
    }
    if (msg == taskbarCreated_ && taskbarCreated_ != 0) {
        form_.Shell_TaskbarCreated();
        return 0;
    }
    return DefWindowProcW(hwnd_, msg, wParam, lParam);
}

LRESULT Win32Form::OnPaint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd_, &ps);
    if (dc != nullptr) {
        HDC buffer = image_.BeginCompose();
        drawn_.Paint(buffer, WindowedControls::DefaultFont());
        image_.EndCompose(dc, ps.rcPaint);
    }
    EndPaint(hwnd_, &ps);
    return 0;
}

LRESULT Win32Form::OnControlColour(UINT msg, HDC dc, HWND control) {
    if (HBRUSH brush = controls_.ColourFor(dc, control)) return reinterpret_cast<LRESULT>(brush);
    return DefWindowProcW(hwnd_, msg, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control));
}

LRESULT Win32Form::OnDrawItem(const DRAWITEMSTRUCT* item) {
    WindowedControls::DrawButton(*item);
    return TRUE;
}

LRESULT Win32Form::OnCommand(int id, int code) {
    // The entry box tells every change of its text, typed, pasted or set by the program.
    if (code == EN_CHANGE && id == WindowedControls::kIdTxTChoix) form_.TxTChoix_Change();
    if (code != BN_CLICKED) return 0;
    switch (id) {
    case WindowedControls::kIdChkArreter:
        controls_.ChkArreter.SetValue(true);
        form_.ChkArreter_Click();
        break;
    case WindowedControls::kIdChkReboot:
        controls_.ChkReboot.SetValue(true);
        form_.ChkReboot_Click();
        break;
    case WindowedControls::kIdChkVeille:
        controls_.ChkVeille.SetValue(true);
        form_.ChkVeille_Click();
        break;
    case WindowedControls::kIdActiver: form_.Activer_Click(); break;
    case WindowedControls::kIdCmdCancel: form_.cmdCancel_Click(); break;
    default: break;
    }
    return 0;
}

LRESULT Win32Form::OnTimer(UINT_PTR id) {
    if (id == restartTimer_.Id()) {
        form_.TimerRedemarrage_Timer();
        return 0;
    }
    if (id != Win32Timer::kId) return 0;
    if (timer_.BeginTick()) {
        form_.Timer1_Timer();
        timer_.EndTick();
    }
    if (timer_.Failed()) form_.Timer1_Refused();
    return 0;
}

LRESULT Win32Form::OnPowerBroadcast(WPARAM event, LPARAM data) {
    // Back from sleep or hibernation: the clock is checked at once, by the path a tick takes, rather than at the
    // timer's next wake-up, which the system may hold back. The tick's own guard keeps it to one a second.
    // PBT_APMRESUMEAUTOMATIC comes on every resume, PBT_APMRESUMESUSPEND as well when a user woke the machine.
    if (event == PBT_APMRESUMEAUTOMATIC || event == PBT_APMRESUMESUSPEND) {
        // The wake-up first: a target slept through is said in a message box, whose loop may hold the tick for hours.
        form_.SystemClockChanged();
        OnTimer(Win32Timer::kId);
        return TRUE;
    }
    return DefWindowProcW(hwnd_, WM_POWERBROADCAST, event, data);
}

LRESULT Win32Form::OnShowWindow(UINT msg, WPARAM shown, LPARAM status) {
    // the clock's latest text, held while the window was hidden, before anything is drawn
    if (shown) controls_.TxtHeure.ShowPending();
    return DefWindowProcW(hwnd_, msg, shown, status);
}

LRESULT Win32Form::OnMouse(MouseInput input, int16_t button, WPARAM buttons, LPARAM position) {
    const int x = GET_X_LPARAM(position), y = GET_Y_LPARAM(position);
    MouseMessage message = {input, button, ButtonsHeld(buttons), nullptr, form_.Tray.InTray(),
                            IsWindowVisible(hwnd_) != FALSE, false};
    if (input == MouseInput::CaptureLost) {
        message.captureToSelf = reinterpret_cast<HWND>(position) == hwnd_;
    } else {
        message.label = drawn_.LabelAt(x, y);
    }
    Follow(RouteMouse(message, mouse_), button, message.held, x, y);
    return 0;
}

void Win32Form::Follow(const MouseRoute& route, int16_t button, int16_t held, int x, int y) {
    if (route.setCapture) SetCapture(hwnd_);
    // Its WM_CAPTURECHANGED comes back through the rule, which has already ended the press.
    if (route.releaseCapture && GetCapture() == hwnd_) ReleaseCapture();
    const float X = surface_.scale.TwipsX(x), Y = surface_.scale.TwipsY(y);
    switch (route.target) {
    case MouseTarget::None: break;
    case MouseTarget::IconCallback:
    case MouseTarget::FormMove: form_.Form_MouseMove(held, KeyShift(), X, Y); break;
    case MouseTarget::FormDown: form_.Form_MouseDown(button, KeyShift(), X, Y); break;
    case MouseTarget::FormUp: form_.Form_MouseUp(button, KeyShift(), X, Y); break;
    case MouseTarget::LabelClick:
        if (route.label == &drawn_.SysReduc) form_.SysReduc_Click();
        if (route.label == &drawn_.SysCroix) form_.SysCroix_Click();
        break;
    case MouseTarget::PressEnded: form_.Form_LostCapture(); break;
    }
}

LRESULT Win32Form::OnActivate(bool active) {
    if (!active) {
        keyboard_.SaveFocus(hwnd_);
    } else if (!keyboard_.RestoreFocus()) {
        SetFocus(hwnd_);
    }
    return 0;
}

LRESULT Win32Form::OnSetFocus() {
    // The window keeps the focus itself only when none of its controls can take it.
    if (!keyboard_.RestoreFocus()) form_.Form_GotFocus();
    return 0;
}

LRESULT Win32Form::OnSysCommand(UINT msg, WPARAM command, LPARAM position) {
    switch (command & 0xFFF0) {
    case SC_MINIMIZE:
    case SC_MAXIMIZE:
    case SC_SIZE:
    case SC_MOVE:
        // No system buttons: the window is neither minimised (the minimise glyph sends it to the notification
        // area), maximised nor sized, and it moves only by its own drag, which takes the backdrop again.
        return 0;
    default:
        return DefWindowProcW(hwnd_, msg, command, position);
    }
}

LRESULT Win32Form::OnClose() {
    const UnloadMode mode = unloadMode_;
    unloadMode_ = kFromControlMenu;
    if (!form_.Form_QueryUnload(mode)) DestroyWindow(hwnd_);
    return 0;
}

LRESULT Win32Form::OnEndSession(bool ending) {
    if (ending) form_.Form_QueryUnload(kFromWindowsSession);
    return 0;
}

LRESULT Win32Form::OnDestroy() {
    timer_.SetEnabled(false);
    PostQuitMessage(0);
    return 0;
}

void Win32Form::Clicked(HWND control) {
    if (control == controls_.TxTChoix.hwnd) form_.TxTChoix_Click();
}
