// Win32 backing of the window's controls.
#include "platform/win32/Win32Controls.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "platform/win32/Win32Form.h"
#include "platform/win32/text.h"
#include "scheduler/Form1.h"

void EndMouseTracking(HWND within) {
    // Buttons drawn by common controls 6 track the pointer to light up under it. If one is hidden while the
    // pointer rests on its place, no move ever tells it the pointer left; Wine then goes on polling for the
    // leave a hundred times a second for as long as the window waits in the notification area.
    TRACKMOUSEEVENT query = {};
    query.cbSize = sizeof query;
    query.dwFlags = TME_QUERY;
    if (!TrackMouseEvent(&query) || query.hwndTrack == nullptr) return;
    if (query.hwndTrack != within && !IsChild(within, query.hwndTrack)) return;
    const DWORD tracking = query.dwFlags & (TME_HOVER | TME_LEAVE);
    if (tracking == 0) return;
    TRACKMOUSEEVENT cancel = query;
    cancel.dwFlags = tracking | (query.dwFlags & TME_NONCLIENT) | TME_CANCEL;
    TrackMouseEvent(&cancel);
    // the leave the control would have had, so that it is drawn unlit when shown again
    if (tracking & TME_LEAVE) {
        SendMessageW(query.hwndTrack, (query.dwFlags & TME_NONCLIENT) ? WM_NCMOUSELEAVE : WM_MOUSELEAVE, 0, 0);
    }
}

size_t Win32TextBox::GetText(char* buf, size_t cap) const {
    if (holding_) return CopyText(held_, buf, cap);
    wchar_t wide[64];
    int length = GetWindowTextLengthW(hwnd);
    if (length < static_cast<int>(sizeof wide / sizeof wide[0])) {
        int got = GetWindowTextW(hwnd, wide, static_cast<int>(sizeof wide / sizeof wide[0]));
        return WideToUtf8(wide, got, buf, cap);
    }
    wchar_t* all = static_cast<wchar_t*>(std::malloc((static_cast<size_t>(length) + 1) * sizeof(wchar_t)));
    if (all == nullptr) {
        if (cap > 0) buf[0] = '\0';
        return 0;
    }
    int got = GetWindowTextW(hwnd, all, length + 1);
    size_t total = WideToUtf8(all, got, buf, cap);
    std::free(all);
    return total;
}

void Win32TextBox::SetText(const char* utf8) {
    const size_t length = std::strlen(utf8);
    if (holdWhileHidden && length < sizeof held_ && !IsWindowVisible(hwnd)) {
        std::memcpy(held_, utf8, length + 1);
        holding_ = true;
    } else {
        holding_ = false;
        Write(utf8);
    }
    if (changeHandlerOwner != nullptr) changeHandlerOwner->TxtHeure_Change();
}

void Win32TextBox::ShowPending() {
    if (!holding_) return;
    holding_ = false;
    Write(held_);
}

void Win32TextBox::Write(const char* utf8) {
    wchar_t wide[128];
    if (Utf8ToWide(utf8, wide, 128) < 127) {
        SetWindowTextW(hwnd, wide);
    } else {
        WideText all(utf8);
        SetWindowTextW(hwnd, all.c_str());
    }
}

Win32OptionButton::~Win32OptionButton() {
    if (brush_ != nullptr) DeleteObject(brush_);
}

bool Win32OptionButton::Value() const {
    return SendMessageW(hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Win32OptionButton::SetValue(bool selected) {
    SendMessageW(hwnd, BM_SETCHECK, selected ? BST_CHECKED : BST_UNCHECKED, 0);
    if (!selected) return;
    for (Win32OptionButton* other : group) {
        if (other != nullptr && other != this) SendMessageW(other->hwnd, BM_SETCHECK, BST_UNCHECKED, 0);
    }
}

void Win32OptionButton::SetBackColor(Colour colour) {
    if (colour == back_ && brush_ != nullptr) return;
    back_ = colour;
    if (brush_ != nullptr) DeleteObject(brush_);
    brush_ = CreateSolidBrush(colour);
    InvalidateRect(hwnd, nullptr, TRUE);
}

HBRUSH Win32OptionButton::Brush() {
    if (brush_ == nullptr) brush_ = CreateSolidBrush(back_);
    return brush_;
}

bool Win32CommandButton::Visible() const {
    return (GetWindowLongW(hwnd, GWL_STYLE) & WS_VISIBLE) != 0;
}

void Win32CommandButton::SetVisible(bool visible) {
    if (!visible && GetFocus() == hwnd) {
        // A hidden button cannot keep the keyboard focus: pass it on as Tab would.
        HWND parent = GetParent(hwnd);
        HWND next = GetNextDlgTabItem(parent, hwnd, FALSE);
        SetFocus(next != nullptr && next != hwnd ? next : parent);
    }
    ShowWindow(hwnd, visible ? SW_SHOWNA : SW_HIDE);
}

DrawnLabel::DrawnLabel(Win32Form& owner, TwipsRect rect, bool opaque, bool visible, const char* caption)
    : DrawnElement(owner), rect_(rect), opaque_(opaque), visible_(visible) {
    SetCaption(caption);
}

size_t DrawnLabel::GetCaption(char* buf, size_t cap) const {
    return CopyText(caption_, buf, cap);
}

void DrawnLabel::SetVisible(bool visible) {
    if (visible == visible_) return;
    visible_ = visible;
    owner_.InvalidateTwips(rect_);
}

void DrawnLabel::SetCaption(const char* utf8) {
    // Captions are short (the countdown digit); a longer one is cut.
    const size_t length = std::strlen(utf8);
    const size_t n = length < sizeof caption_ - 1 ? length : sizeof caption_ - 1;
    std::memcpy(caption_, utf8, n);
    caption_[n] = '\0';
    if (visible_) owner_.InvalidateTwips(rect_);
}

void DrawnLabel::SetBackColor(Colour colour) {
    if (colour == back_) return;
    back_ = colour;
    if (visible_ && opaque_) owner_.InvalidateTwips(rect_);
}

void DrawnLabel::Paint(HDC dc) const {
    if (!visible_) return;
    RECT r = owner_.PxRect(rect_);
    if (opaque_) {
        HBRUSH brush = CreateSolidBrush(back_);
        FillRect(dc, &r, brush);
        DeleteObject(brush);
    }
    if (caption_[0] == '\0') return;
    wchar_t text[64];
    int length = Utf8ToWide(caption_, text, 64);
    HGDIOBJ oldFont = SelectObject(dc, owner_.DefaultFont());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    DrawTextW(dc, text, length, &r, DT_CENTER | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, oldFont);
}

bool DrawnLabel::Contains(int xPixels, int yPixels) const {
    if (!visible_) return false;
    RECT r = owner_.PxRect(rect_);
    return xPixels >= r.left && xPixels < r.right && yPixels >= r.top && yPixels < r.bottom;
}

DrawnLine::DrawnLine(Win32Form& owner, int x1, int y1, int x2, int y2, bool visible)
    : DrawnElement(owner), x1_(x1), y1_(y1), x2_(x2), y2_(y2), visible_(visible) {}

void DrawnLine::SetVisible(bool visible) {
    if (visible == visible_) return;
    visible_ = visible;
    int left = x1_ < x2_ ? x1_ : x2_;
    int top = y1_ < y2_ ? y1_ : y2_;
    // Pad by a pixel or two so the end points are repainted too.
    TwipsRect bounds{left - 30, top - 30, std::abs(x2_ - x1_) + 60, std::abs(y2_ - y1_) + 60};
    owner_.InvalidateTwips(bounds);
}

void DrawnLine::Paint(HDC dc) const {
    if (!visible_) return;
    HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_WINDOWTEXT));
    HGDIOBJ oldPen = SelectObject(dc, pen);
    const int x1 = owner_.PxX(x1_), y1 = owner_.PxY(y1_), x2 = owner_.PxX(x2_), y2 = owner_.PxY(y2_);
    MoveToEx(dc, x1, y1, nullptr);
    LineTo(dc, x2, y2);
    // LineTo leaves out the last point; the line runs to its end.
    SetPixel(dc, x2, y2, GetSysColor(COLOR_WINDOWTEXT));
    SelectObject(dc, oldPen);
    DeleteObject(pen);
}

namespace {

LONGLONG LocalSecondsNow(SYSTEMTIME* st) {
    GetLocalTime(st);
    FILETIME ft;
    if (!SystemTimeToFileTime(st, &ft)) return 0;
    ULARGE_INTEGER value;
    value.LowPart = ft.dwLowDateTime;
    value.HighPart = ft.dwHighDateTime;
    return static_cast<LONGLONG>(value.QuadPart / 10000000ULL);
}

// How long after the start of a second a tick is due: late enough that the clock has surely turned,
// early enough that the second's text shows at once.
constexpr UINT kTickDelayMs = 8;
// A tick this far into its second or less is on time; a later one makes the timer line up again.
constexpr WORD kOnTimeMs = 60;

}  // namespace

void Win32Timer::SetEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    if (enabled) {
        lastTickSecond_ = -1;
        Arm();
    } else {
        KillTimer(hwnd, kId);
    }
}

void Win32Timer::Arm() {
    // One wake-up just after the next second begins; the tick there sets the steady one-second period.
    SYSTEMTIME st;
    GetLocalTime(&st);
    SetTimer(hwnd, kId, 1000 - st.wMilliseconds + kTickDelayMs, nullptr);
    steady_ = false;
}

bool Win32Timer::BeginTick() {
    if (!enabled_) {
        KillTimer(hwnd, kId);
        return false;
    }
    SYSTEMTIME st;
    LONGLONG second = LocalSecondsNow(&st);
    if (second == lastTickSecond_) {
        // Woken before the second turned: wait for it rather than tick twice in one second.
        Arm();
        return false;
    }
    lastTickSecond_ = second;
    onTime_ = st.wMilliseconds <= kOnTimeMs;
    return true;
}

void Win32Timer::EndTick() {
    if (!enabled_) return;
    // A one-second timer left alone keeps its phase; it is touched only to line it up again when a tick
    // has drifted (or the clock was set), so a waiting program makes no timer call in a second.
    if (!onTime_) {
        Arm();
    } else if (!steady_) {
        SetTimer(hwnd, kId, 1000, nullptr);
        steady_ = true;
    }
}
