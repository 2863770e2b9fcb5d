// The window's child controls on Win32.
#include "win32/WindowedControls.h"

#include <cstdlib>
#include <cstring>

#include "platform/TextWriter.h"
#include "win32/BoundFunctions.h"
#include "win32/WideText.h"

namespace {

constexpr Colour kBlue = 0xFF0000;
constexpr Colour kLightGrey = 0xE0E0E0;
constexpr Colour kBlack = 0x000000;

// Removes the visual style from a control, so that its colours show as set on every Windows version.
void PlainStyle(HWND hwnd) {
    // Without the theme library there is no style to remove; a refusal leaves the themed look, colours aside.
    (void)CallBound<kSetWindowTheme>(SystemFunctions(), E_NOTIMPL, hwnd, L"", L"");
}

HFONT MsSansSerif(int height, int weight) {
    return CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"MS Sans Serif");
}

}  // namespace

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
    const int length = GetWindowTextLengthW(hwnd);
    if (length < static_cast<int>(sizeof wide / sizeof wide[0])) {
        const int got = GetWindowTextW(hwnd, wide, static_cast<int>(sizeof wide / sizeof wide[0]));
        return WideToUtf8(wide, got, buf, cap);
    }
    // A long text (pasted by the user) is read once, on the heap.
    WideText all(static_cast<size_t>(length) + 1);
    if (all.data() == nullptr) {
        if (cap > 0) buf[0] = '\0';
        return 0;
    }
    const int got = GetWindowTextW(hwnd, all.data(), length + 1);
    return WideToUtf8(all.data(), got, buf, cap);
}

void Win32TextBox::SetText(const char* utf8) {
    if (holdWhileHidden && std::strlen(utf8) < sizeof held_ && !IsWindowVisible(hwnd)) {
        CopyText(utf8, held_, sizeof held_);
        holding_ = true;
    } else {
        holding_ = false;
        Write(utf8);
    }
    RaiseChange();
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

void Win32TextBox::ListenToClicks(ClickListener* listener) {
    clicks_ = listener;
    if (editProc_ != nullptr) return;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    editProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Win32TextBox::ClickWatch)));
}

LRESULT CALLBACK Win32TextBox::ClickWatch(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<Win32TextBox*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    // The edit control places the caret first; the click's handler then sees the box as the user left it.
    const LRESULT result = CallWindowProcW(self->editProc_, hwnd, msg, wParam, lParam);
    if (msg == WM_LBUTTONUP && self->clicks_ != nullptr) self->clicks_->Clicked(hwnd);
    return result;
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
    if (colour == back_ && brush_) return;
    back_ = colour;
    brush_.Reset(CreateSolidBrush(colour));
    InvalidateRect(hwnd, nullptr, TRUE);
}

HBRUSH Win32OptionButton::Brush() {
    if (!brush_) brush_.Reset(CreateSolidBrush(back_));
    return brush_.Get();
}

bool Win32CommandButton::Visible() const {
    return (GetWindowLongW(hwnd, GWL_STYLE) & WS_VISIBLE) != 0;
}

void Win32CommandButton::SetVisible(bool visible) {
    // A hidden button would keep the keyboard focus, and the keys typed after it.
    if (!visible && GetFocus() == hwnd && handOff != nullptr) handOff->HidingFocused(hwnd);
    ShowWindow(hwnd, visible ? SW_SHOWNA : SW_HIDE);
}

bool WindowedControls::Create(HWND parent, HINSTANCE instance, const TwipsScale& scale, int dpiY) {
    // 9.75 points.
    const int height = -MulDiv(975, dpiY, 7200);
    optionFont_.Reset(MsSansSerif(height, FW_BOLD));
    textFont_.Reset(MsSansSerif(height, FW_NORMAL));
    entryBrush_.Reset(CreateSolidBrush(kLightGrey));
    clockBrush_.Reset(CreateSolidBrush(kWhite));
    if (!optionFont_ || !textFont_ || !entryBrush_ || !clockBrush_) return false;

    struct Child {
        HWND* hwnd;
        const wchar_t* cls;
        const wchar_t* text;
        DWORD style;
        DWORD exStyle;
        TwipsRect rect;
        int id;
        HFONT font;
    };
    const DWORD radio = BS_RADIOBUTTON | WS_VISIBLE;
    const DWORD edit = ES_CENTER | ES_AUTOHSCROLL | WS_VISIBLE;
    // In tab-index order; the window runs the tab order itself, so no tab stop or group style is set.
    const Child children[] = {
        {&ChkReboot.hwnd, L"BUTTON", L"Redémarrer", radio, 0, {1560, 1320, 1575, 255}, kIdChkReboot, optionFont_.Get()},
        {&ChkArreter.hwnd, L"BUTTON", L"Arrêter", radio, 0, {480, 1320, 1095, 255}, kIdChkArreter, optionFont_.Get()},
        {&TxtHeure.hwnd, L"EDIT", L"Heure Système", edit | ES_READONLY, WS_EX_CLIENTEDGE, {960, 360, 1695, 330},
         kIdTxtHeure, textFont_.Get()},
        {&TxTChoix.hwnd, L"EDIT", L"Entrez une heure ici (hh:mm:ss)", edit, WS_EX_CLIENTEDGE, {240, 840, 3135, 360},
         kIdTxTChoix, textFont_.Get()},
        {&Activer.hwnd, L"BUTTON", L"OK", BS_OWNERDRAW | WS_VISIBLE, 0, {2880, 1735, 375, 315}, kIdActiver,
         DefaultFont()},
        {&ChkVeille.hwnd, L"BUTTON", L"Mettre en veille", radio, 0, {840, 1680, 1935, 255}, kIdChkVeille,
         optionFont_.Get()},
        {&cmdCancel.hwnd, L"BUTTON", L"ANNULER !", BS_OWNERDRAW, 0, {840, 2280, 1935, 375}, kIdCmdCancel,
         DefaultFont()},
    };
    for (const Child& c : children) {
        const RECT px = scale.PxRect(c.rect);
        *c.hwnd = CreateWindowExW(c.exStyle, c.cls, c.text, WS_CHILD | c.style, px.left, px.top, px.right - px.left,
                                  px.bottom - px.top, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)),
                                  instance, nullptr);
        if (*c.hwnd == nullptr) return false;
        SendMessageW(*c.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(c.font), FALSE);
    }

    Win32OptionButton* options[3] = {&ChkArreter, &ChkReboot, &ChkVeille};
    for (Win32OptionButton* option : options) {
        for (int i = 0; i < 3; ++i) option->group[i] = options[i];
        PlainStyle(option->hwnd);
    }
    ChkArreter.SetValue(true);
    return true;
}

HBRUSH WindowedControls::ColourFor(HDC dc, HWND control) {
    if (control == TxTChoix.hwnd || control == TxtHeure.hwnd) {
        const bool entry = control == TxTChoix.hwnd;
        SetTextColor(dc, kBlack);
        SetBkColor(dc, entry ? kLightGrey : kWhite);
        return entry ? entryBrush_.Get() : clockBrush_.Get();
    }
    Win32OptionButton* options[] = {&ChkArreter, &ChkReboot, &ChkVeille};
    for (Win32OptionButton* option : options) {
        if (control != option->hwnd) continue;
        SetTextColor(dc, kBlue);
        SetBkColor(dc, option->BackColor());
        return option->Brush();
    }
    return nullptr;
}

void WindowedControls::DrawButton(const DRAWITEMSTRUCT& item) {
    RECT r = item.rcItem;
    FillRect(item.hDC, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    const bool pressed = (item.itemState & ODS_SELECTED) != 0;
    DrawEdge(item.hDC, &r, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    wchar_t text[32];
    const int length = GetWindowTextW(item.hwndItem, text, 32);
    RECT textRect = r;
    if (pressed) OffsetRect(&textRect, 1, 1);
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, GetSysColor(COLOR_BTNTEXT));
    DrawTextW(item.hDC, text, length, &textRect, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    if (item.itemState & ODS_FOCUS) {
        RECT focus = r;
        InflateRect(&focus, -3, -3);
        DrawFocusRect(item.hDC, &focus);
    }
}
