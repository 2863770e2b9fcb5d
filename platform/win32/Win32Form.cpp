// The main window on Win32: creation, painting, and the routing of messages to the window object.
#include "platform/win32/Win32Form.h"

#include <windowsx.h>

#include <cmath>

#include "platform/win32/text.h"
#include "resources/resource.h"

namespace {

const wchar_t kClassName[] = L"TarveilXPForm";
const wchar_t kTitle[] = L"Tarveil XP";

constexpr int kClientWidth = 3630;
constexpr int kClientHeight = 2670;

enum ControlId : int {
    kIdChkReboot = 1001,
    kIdChkArreter,
    kIdTxtHeure,
    kIdTxTChoix,
    kIdActiver,
    kIdChkVeille,
    kIdCmdCancel,
};

constexpr Colour kBlue = 0xFF0000;
constexpr Colour kLightGrey = 0xE0E0E0;
constexpr Colour kBlack = 0x000000;

// The strip image is 240 x 16 pixels drawn for 96 DPI, i.e. 3600 x 240 twips.
constexpr int kStripWidthTwips = 3600;
constexpr int kStripHeightTwips = 240;
constexpr TwipsRect kPicture1{0, 0, 3635, 270};

// Removes the visual style from a control, so that its colours show as set on every Windows version.
void PlainStyle(HWND hwnd) {
    typedef HRESULT(WINAPI * SetWindowThemeFn)(HWND, LPCWSTR, LPCWSTR);
    static SetWindowThemeFn setWindowTheme = nullptr;
    static bool looked = false;
    if (!looked) {
        looked = true;
        if (HMODULE uxtheme = LoadLibraryW(L"uxtheme.dll")) {
            setWindowTheme = reinterpret_cast<SetWindowThemeFn>(
                reinterpret_cast<void*>(GetProcAddress(uxtheme, "SetWindowTheme")));
        }
    }
    if (setWindowTheme != nullptr) setWindowTheme(hwnd, L"", L"");
}

int16_t MouseShift() {
    int16_t shift = 0;
    if (GetKeyState(VK_SHIFT) < 0) shift |= 1;
    if (GetKeyState(VK_CONTROL) < 0) shift |= 2;
    if (GetKeyState(VK_MENU) < 0) shift |= 4;
    return shift;
}

int16_t ButtonsHeld(WPARAM wParam) {
    int16_t buttons = 0;
    if (wParam & MK_LBUTTON) buttons |= kLeftButton;
    if (wParam & MK_RBUTTON) buttons |= kRightButton;
    if (wParam & MK_MBUTTON) buttons |= kMiddleButton;
    return buttons;
}

}  // namespace

Win32Form::~Win32Form() {
    if (hwnd_ != nullptr && IsWindow(hwnd_)) {
        // Closing without the window object: nothing of the program runs any more.
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
    delete form_;
    delete LblFond_;
    delete LblDecompte_;
    delete SysReduc_;
    delete SysCroix_;
    for (DrawnLine* line : lines_) delete line;
    if (imageDC_ != nullptr) {
        SelectObject(imageDC_, imageOld_);
        DeleteDC(imageDC_);
    }
    if (paintDC_ != nullptr) {
        SelectObject(paintDC_, paintOld_);
        DeleteDC(paintDC_);
    }
    HGDIOBJ objects[] = {imageBitmap_, pictureBitmap_, paintBitmap_, optionFont_, textFont_,
                         strip_,       entryBrush_,    clockBrush_};
    for (HGDIOBJ object : objects) {
        if (object != nullptr) DeleteObject(object);
    }
    if (bigIcon_ != nullptr) DestroyIcon(bigIcon_);
    if (smallIcon_ != nullptr) DestroyIcon(smallIcon_);
}

int Win32Form::PxX(double twips) const {
    return static_cast<int>(std::nearbyint(twips / tppX_));
}

int Win32Form::PxY(double twips) const {
    return static_cast<int>(std::nearbyint(twips / tppY_));
}

RECT Win32Form::PxRect(const TwipsRect& r) const {
    RECT px;
    px.left = PxX(r.left);
    px.top = PxY(r.top);
    px.right = px.left + PxX(r.width);
    px.bottom = px.top + PxY(r.height);
    return px;
}

void Win32Form::InvalidateTwips(const TwipsRect& r) {
    if (hwnd_ == nullptr) return;
    RECT px = PxRect(r);
    InvalidateRect(hwnd_, &px, FALSE);
}

bool Win32Form::Create(HINSTANCE instance) {
    instance_ = instance;

    HDC screen = GetDC(nullptr);
    const int dpiX = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 96;
    const int dpiY = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    tppX_ = 1440.0f / static_cast<float>(dpiX > 0 ? dpiX : 96);
    tppY_ = 1440.0f / static_cast<float>(dpiY > 0 ? dpiY : 96);
    clientWidthPx_ = PxX(kClientWidth);
    clientHeightPx_ = PxY(kClientHeight);

    bigIcon_ = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_ICONEPROGRAMME), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
    smallIcon_ = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_ICONEPROGRAMME), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    strip_ = static_cast<HBITMAP>(
        LoadImageW(instance, MAKEINTRESOURCEW(IDB_BANDEAUTITRE), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));

    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = WndProc;
    wc.hInstance = instance;
    wc.hIcon = bigIcon_;
    wc.hIconSm = smallIcon_;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    wc.hbrBackground = nullptr;
    wc.lpszClassName = kClassName;
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;

    // Created with a caption first so that the system places it as it places any new window; the
    // caption and border are then taken away.
    hwnd_ = CreateWindowExW(WS_EX_APPWINDOW | WS_EX_CONTROLPARENT, kClassName, kTitle, WS_OVERLAPPEDWINDOW,
                            CW_USEDEFAULT, CW_USEDEFAULT, clientWidthPx_, clientHeightPx_, nullptr, nullptr,
                            instance, this);
    if (hwnd_ == nullptr) return false;
    RECT placed;
    GetWindowRect(hwnd_, &placed);
    SetWindowLongW(hwnd_, GWL_STYLE, WS_POPUP | WS_CLIPCHILDREN | WS_SYSMENU | WS_MINIMIZEBOX);
    SetWindowPos(hwnd_, nullptr, placed.left, placed.top, clientWidthPx_, clientHeightPx_,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_));
    SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));

    HDC windowDC = GetDC(hwnd_);
    imageDC_ = CreateCompatibleDC(windowDC);
    imageBitmap_ = CreateCompatibleBitmap(windowDC, clientWidthPx_, clientHeightPx_);
    imageOld_ = SelectObject(imageDC_, imageBitmap_);
    paintDC_ = CreateCompatibleDC(windowDC);
    paintBitmap_ = CreateCompatibleBitmap(windowDC, clientWidthPx_, clientHeightPx_);
    paintOld_ = SelectObject(paintDC_, paintBitmap_);
    ReleaseDC(hwnd_, windowDC);
    RECT all = {0, 0, clientWidthPx_, clientHeightPx_};
    FillRect(imageDC_, &all, GetSysColorBrush(COLOR_WINDOW));

    taskbarCreated_ = RegisterWindowMessageW(L"TaskbarCreated");
    CreateControls();

    Form1Controls controls{};
    controls.TxtHeure = &TxtHeure_;
    controls.TxTChoix = &TxTChoix_;
    controls.ChkArrêter = &ChkArreter_;
    controls.ChkReboot = &ChkReboot_;
    controls.ChkVeille = &ChkVeille_;
    controls.Activer = &Activer_;
    controls.cmdCancel = &cmdCancel_;
    controls.LblFond = LblFond_;
    controls.LblDecompte = LblDecompte_;
    controls.SysReduc = SysReduc_;
    controls.SysCroix = SysCroix_;
    controls.Line8 = lines_[7];
    controls.Line9 = lines_[8];
    controls.Line10 = lines_[9];
    controls.Timer1 = &Timer1_;
    form_ = new Form1(controls, *this, clock_, system_);
    TxtHeure_.changeHandlerOwner = form_;
    TxtHeure_.holdWhileHidden = true;

    Timer1_.hwnd = hwnd_;
    Timer1_.SetEnabled(true);
    form_->Form_Load();
    return true;
}

HWND Win32Form::CreateChild(const wchar_t* cls, const wchar_t* text, DWORD style, DWORD exStyle,
                            const TwipsRect& r, int id, HFONT font) {
    RECT px = PxRect(r);
    HWND child = CreateWindowExW(exStyle, cls, text, WS_CHILD | style, px.left, px.top, px.right - px.left,
                                 px.bottom - px.top, hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 instance_, nullptr);
    SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return child;
}

void Win32Form::CreateControls() {
    HDC screen = GetDC(nullptr);
    const int dpiY = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    // 9.75 points.
    const int height = -MulDiv(975, dpiY, 7200);
    optionFont_ = CreateFontW(height, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                              CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"MS Sans Serif");
    textFont_ = CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                            CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"MS Sans Serif");
    defaultFont_ = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    entryBrush_ = CreateSolidBrush(kLightGrey);
    clockBrush_ = CreateSolidBrush(kWhite);

    // Windowed controls, created in tab order.
    const DWORD radio = BS_RADIOBUTTON | WS_TABSTOP | WS_VISIBLE;
    ChkReboot_.hwnd = CreateChild(L"BUTTON", L"Redémarrer", radio | WS_GROUP, 0, {1560, 1320, 1575, 255},
                                  kIdChkReboot, optionFont_);
    ChkArreter_.hwnd =
        CreateChild(L"BUTTON", L"Arrêter", radio, 0, {480, 1320, 1095, 255}, kIdChkArreter, optionFont_);
    TxtHeure_.hwnd = CreateChild(L"EDIT", L"Heure Système",
                                 ES_CENTER | ES_READONLY | ES_AUTOHSCROLL | WS_TABSTOP | WS_VISIBLE | WS_GROUP,
                                 WS_EX_CLIENTEDGE, {960, 360, 1695, 330}, kIdTxtHeure, textFont_);
    TxTChoix_.hwnd = CreateChild(L"EDIT", L"Entrez une heure ici (hh:mm:ss)",
                                 ES_CENTER | ES_AUTOHSCROLL | WS_TABSTOP | WS_VISIBLE | WS_GROUP, WS_EX_CLIENTEDGE,
                                 {240, 840, 3135, 360}, kIdTxTChoix, textFont_);
    Activer_.hwnd = CreateChild(L"BUTTON", L"OK", BS_OWNERDRAW | WS_TABSTOP | WS_VISIBLE | WS_GROUP, 0,
                                {2880, 1735, 375, 315}, kIdActiver, defaultFont_);
    ChkVeille_.hwnd = CreateChild(L"BUTTON", L"Mettre en veille", radio | WS_GROUP, 0, {840, 1680, 1935, 255},
                                  kIdChkVeille, optionFont_);
    cmdCancel_.hwnd = CreateChild(L"BUTTON", L"ANNULER !", BS_OWNERDRAW | WS_TABSTOP | WS_GROUP, 0,
                                  {840, 2280, 1935, 375}, kIdCmdCancel, defaultFont_);

    Win32OptionButton* group[3] = {&ChkArreter_, &ChkReboot_, &ChkVeille_};
    for (Win32OptionButton* button : group) {
        for (int i = 0; i < 3; ++i) button->group[i] = group[i];
        PlainStyle(button->hwnd);
    }
    ChkArreter_.SetValue(true);

    // Clicking into the entry box clears it: watch its clicks.
    entryBoxDefault_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(TxTChoix_.hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(EntryBoxProc)));
    SetWindowLongPtrW(TxTChoix_.hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));

    LblFond_ = new DrawnLabel(*this, {360, 1080, 2895, 975}, true, true, "");
    LblDecompte_ = new DrawnLabel(*this, {360, 1830, 255, 255}, false, false, "6");
    SysReduc_ = new DrawnLabel(*this, {3180, 0, 255, 255}, false, true, "");
    SysCroix_ = new DrawnLabel(*this, {3420, 0, 195, 255}, false, true, "");

    struct LineSpec {
        int x1, y1, x2, y2;
        bool visible;
    };
    static const LineSpec kLines[10] = {
        {3360, 840, 2640, 600, true},   {240, 840, 960, 600, true},     {1920, 240, 1920, 360, true},
        {1680, 240, 1680, 360, true},   {360, 1080, 360, 2040, true},   {3240, 1200, 3240, 2040, true},
        {3240, 2040, 360, 2040, true},  {1800, 2040, 1800, 2280, false}, {360, 1800, 600, 1800, false},
        {600, 2040, 600, 1800, false},
    };
    for (int i = 0; i < 10; ++i) {
        const LineSpec& s = kLines[i];
        lines_[i] = new DrawnLine(*this, s.x1, s.y1, s.x2, s.y2, s.visible);
    }
    lastFocus_ = ChkArreter_.hwnd;
}

LRESULT CALLBACK Win32Form::EntryBoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<Win32Form*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    LRESULT result = CallWindowProcW(self->entryBoxDefault_, hwnd, msg, wParam, lParam);
    if (msg == WM_LBUTTONUP && self->form_ != nullptr) self->form_->TxTChoix_Click();
    return result;
}

LRESULT CALLBACK Win32Form::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        auto* self = static_cast<Win32Form*>(create->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Win32Form*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr || self->form_ == nullptr) return DefWindowProcW(hwnd, msg, wParam, lParam);
    return self->Handle(msg, wParam, lParam);
}

LRESULT Win32Form::Handle(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        return OnControlColour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_DRAWITEM:
        OnDrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        return 0;
    case WM_TIMER:
        if (wParam == Win32Timer::kId) OnTimer();
        return 0;
    case WM_SHOWWINDOW:
        // the clock's latest text, held while the window was hidden, before anything is drawn
        if (wParam) TxtHeure_.ShowPending();
        return DefWindowProcW(hwnd_, msg, wParam, lParam);
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        OnButtonDown(kLeftButton, wParam, lParam);
        return 0;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
        OnButtonDown(kRightButton, wParam, lParam);
        return 0;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
        OnButtonDown(kMiddleButton, wParam, lParam);
        return 0;
    case WM_MOUSEMOVE:
        OnMouseMove(wParam, lParam);
        return 0;
    case WM_LBUTTONUP:
        OnButtonUp(kLeftButton, wParam, lParam);
        return 0;
    case WM_RBUTTONUP:
        OnButtonUp(kRightButton, wParam, lParam);
        return 0;
    case WM_MBUTTONUP:
        OnButtonUp(kMiddleButton, wParam, lParam);
        return 0;
    case WM_CAPTURECHANGED:
        pressedLabel_ = nullptr;
        return 0;
    case WM_ACTIVATE:
        OnActivate(LOWORD(wParam) != WA_INACTIVE);
        return 0;
    case WM_SETFOCUS:
        // The window keeps the focus itself only when none of its controls can take it.
        if (HWND target = FocusTarget()) {
            SetFocus(target);
        } else {
            form_->Form_GotFocus();
        }
        return 0;
    case WM_CLOSE:
        if (!form_->Form_QueryUnload(0)) DestroyWindow(hwnd_);
        return 0;
    case WM_QUERYENDSESSION:
        return TRUE;
    case WM_ENDSESSION:
        if (wParam) form_->Form_QueryUnload(2);
        return 0;
    case WM_DESTROY:
        Timer1_.SetEnabled(false);
        PostQuitMessage(0);
        return 0;
    default:
        if (msg == taskbarCreated_ && taskbarCreated_ != 0) {
            form_->Shell_TaskbarCreated();
            return 0;
        }
        return DefWindowProcW(hwnd_, msg, wParam, lParam);
    }
}

void Win32Form::OnPaint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd_, &ps);
    // The persistent image first, then the windowless controls back to front, then the strip picture,
    // which as a windowed control lies above them all.
    BitBlt(paintDC_, 0, 0, clientWidthPx_, clientHeightPx_, imageDC_, 0, 0, SRCCOPY);
    DrawnElement* backToFront[] = {lines_[2], lines_[3], lines_[0], lines_[1], LblFond_,  lines_[4], lines_[5],
                                   lines_[6], LblDecompte_, lines_[7], SysCroix_, SysReduc_, lines_[8], lines_[9]};
    for (DrawnElement* element : backToFront) element->Paint(paintDC_);
    PaintStrip(paintDC_);
    BitBlt(dc, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left,
           ps.rcPaint.bottom - ps.rcPaint.top, paintDC_, ps.rcPaint.left, ps.rcPaint.top, SRCCOPY);
    EndPaint(hwnd_, &ps);
}

void Win32Form::PaintStrip(HDC dc) {
    RECT box = PxRect(kPicture1);
    FillRect(dc, &box, GetSysColorBrush(COLOR_WINDOW));
    if (strip_ == nullptr) return;
    HDC source = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(source, strip_);
    BITMAP info;
    GetObjectW(strip_, sizeof info, &info);
    const int width = PxX(kStripWidthTwips);
    const int height = PxY(kStripHeightTwips);
    if (width == info.bmWidth && height == info.bmHeight) {
        BitBlt(dc, box.left, box.top, width, height, source, 0, 0, SRCCOPY);
    } else {
        SetStretchBltMode(dc, COLORONCOLOR);
        StretchBlt(dc, box.left, box.top, width, height, source, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
    }
    SelectObject(source, old);
    DeleteDC(source);
}

void Win32Form::OnDrawItem(const DRAWITEMSTRUCT* item) {
    // The command buttons are drawn white, as a graphical button with a white back colour looks.
    RECT r = item->rcItem;
    HBRUSH white = CreateSolidBrush(kWhite);
    FillRect(item->hDC, &r, white);
    DeleteObject(white);
    const bool pressed = (item->itemState & ODS_SELECTED) != 0;
    DrawEdge(item->hDC, &r, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    wchar_t text[32];
    int length = GetWindowTextW(item->hwndItem, text, 32);
    RECT textRect = r;
    if (pressed) OffsetRect(&textRect, 1, 1);
    SetBkMode(item->hDC, TRANSPARENT);
    SetTextColor(item->hDC, GetSysColor(COLOR_BTNTEXT));
    DrawTextW(item->hDC, text, length, &textRect, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    if (item->itemState & ODS_FOCUS) {
        RECT focus = r;
        InflateRect(&focus, -3, -3);
        DrawFocusRect(item->hDC, &focus);
    }
}

LRESULT Win32Form::OnControlColour(HDC dc, HWND control) {
    if (control == TxTChoix_.hwnd) {
        SetTextColor(dc, kBlack);
        SetBkColor(dc, kLightGrey);
        return reinterpret_cast<LRESULT>(entryBrush_);
    }
    if (control == TxtHeure_.hwnd) {
        SetTextColor(dc, kBlack);
        SetBkColor(dc, kWhite);
        return reinterpret_cast<LRESULT>(clockBrush_);
    }
    Win32OptionButton* options[] = {&ChkArreter_, &ChkReboot_, &ChkVeille_};
    for (Win32OptionButton* option : options) {
        if (control == option->hwnd) {
            SetTextColor(dc, kBlue);
            SetBkColor(dc, option->BackColor());
            return reinterpret_cast<LRESULT>(option->Brush());
        }
    }
    return DefWindowProcW(hwnd_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control));
}

void Win32Form::OnCommand(int id, int code, HWND control) {
    if (control == nullptr) {
        // Enter and Escape, translated by the dialog keyboard handling.
        if (id == IDOK) form_->Activer_Click();
        if (id == IDCANCEL && cmdCancel_.Visible()) form_->cmdCancel_Click();
        return;
    }
    if (code != BN_CLICKED) return;
    switch (id) {
    case kIdChkArreter:
        ChkArreter_.SetValue(true);
        break;
    case kIdChkReboot:
        ChkReboot_.SetValue(true);
        break;
    case kIdChkVeille:
        ChkVeille_.SetValue(true);
        break;
    case kIdActiver:
        form_->Activer_Click();
        break;
    case kIdCmdCancel:
        form_->cmdCancel_Click();
        break;
    default:
        break;
    }
}

HWND Win32Form::NextInTabOrder(HWND from, bool backwards) const {
    // Windowed controls by tab index; labels, lines and the disabled picture never take the focus.
    const HWND order[] = {ChkReboot_.hwnd, ChkArreter_.hwnd, TxtHeure_.hwnd, TxTChoix_.hwnd,
                          Activer_.hwnd,   ChkVeille_.hwnd,  cmdCancel_.hwnd};
    const int count = static_cast<int>(sizeof order / sizeof order[0]);
    int at = -1;
    for (int i = 0; i < count; ++i) {
        if (order[i] == from) at = i;
    }
    for (int step = 1; step <= count; ++step) {
        int i = at < 0 ? (backwards ? count - step : step - 1) : ((at + (backwards ? -step : step)) % count + count) % count;
        if (IsWindowVisible(order[i]) && IsWindowEnabled(order[i])) return order[i];
    }
    return at < 0 ? nullptr : from;
}

HWND Win32Form::FocusTarget() const {
    if (lastFocus_ != nullptr && IsWindowVisible(lastFocus_) && IsWindowEnabled(lastFocus_)) return lastFocus_;
    HWND first = NextInTabOrder(nullptr, false);
    return first != nullptr && IsWindowVisible(first) && IsWindowEnabled(first) ? first : nullptr;
}

bool Win32Form::PreTranslate(MSG* msg) {
    if (msg->message == WM_KEYDOWN && msg->wParam == VK_TAB && (msg->hwnd == hwnd_ || IsChild(hwnd_, msg->hwnd))) {
        const bool backwards = GetKeyState(VK_SHIFT) < 0;
        HWND next = NextInTabOrder(GetFocus(), backwards);
        if (next != nullptr) {
            SetFocus(next);
            // An edit box entered by the keyboard has its text selected, as in a dialog box.
            if (next == TxTChoix_.hwnd || next == TxtHeure_.hwnd) SendMessageW(next, EM_SETSEL, 0, -1);
        }
        return true;
    }
    // The dialog keys (arrows between the options, Enter, Escape) are all the dialog manager is needed for.
    if (msg->message < WM_KEYFIRST || msg->message > WM_KEYLAST) return false;
    return IsDialogMessageW(hwnd_, msg) != FALSE;
}

DrawnLabel* Win32Form::LabelAt(int x, int y) {
    // Front to back among the labels; lines take no mouse input.
    DrawnLabel* frontToBack[] = {SysReduc_, SysCroix_, LblDecompte_, LblFond_};
    for (DrawnLabel* label : frontToBack) {
        if (label->Contains(x, y)) return label;
    }
    return nullptr;
}

void Win32Form::OnButtonDown(int16_t button, WPARAM wParam, LPARAM lParam) {
    const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
    if (!surfacePressed_ && pressedLabel_ == nullptr) {
        if (DrawnLabel* label = LabelAt(x, y)) {
            // Labels take their own mouse input: only the release decides whether it was a click.
            if (button == kLeftButton) {
                pressedLabel_ = label;
                SetCapture(hwnd_);
            }
            return;
        }
    }
    if (pressedLabel_ != nullptr) return;
    surfacePressed_ = true;
    SetCapture(hwnd_);
    (void)wParam;
    form_->Form_MouseDown(button, MouseShift(), static_cast<float>(x) * tppX_, static_cast<float>(y) * tppY_);
}

void Win32Form::OnMouseMove(WPARAM wParam, LPARAM lParam) {
    const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
    if (pressedLabel_ != nullptr) return;
    if (!surfacePressed_ && LabelAt(x, y) != nullptr) return;
    form_->Form_MouseMove(ButtonsHeld(wParam), MouseShift(), static_cast<float>(x) * tppX_,
                          static_cast<float>(y) * tppY_);
}

void Win32Form::OnButtonUp(int16_t button, WPARAM wParam, LPARAM lParam) {
    const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
    if (pressedLabel_ != nullptr) {
        if (button != kLeftButton) return;
        DrawnLabel* label = pressedLabel_;
        pressedLabel_ = nullptr;
        ReleaseCapture();
        if (!label->Contains(x, y)) return;
        if (label == SysReduc_) form_->SysReduc_Click();
        if (label == SysCroix_) form_->SysCroix_Click();
        return;
    }
    if (!surfacePressed_) return;
    if ((wParam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) == 0) {
        surfacePressed_ = false;
        ReleaseCapture();
    }
    form_->Form_MouseUp(button, MouseShift(), static_cast<float>(x) * tppX_, static_cast<float>(y) * tppY_);
}

void Win32Form::OnTimer() {
    if (!Timer1_.BeginTick()) return;
    form_->Timer1_Timer();
    Timer1_.EndTick();
}

void Win32Form::OnActivate(bool active) {
    if (!active) {
        HWND focus = GetFocus();
        if (focus != nullptr && IsChild(hwnd_, focus)) lastFocus_ = focus;
        return;
    }
    if (HWND target = FocusTarget()) SetFocus(target);
}

void Win32Form::Hide() {
    EndMouseTracking(hwnd_);
    ShowWindow(hwnd_, SW_HIDE);
}

void Win32Form::Show() {
    const bool wasHidden = !IsWindowVisible(hwnd_);
    ShowWindow(hwnd_, SW_SHOW);
    if (wasHidden) SetForegroundWindow(hwnd_);
    InvalidateRect(hwnd_, nullptr, FALSE);
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
    SendMessageW(hwnd_, WM_CLOSE, 0, 0);
}

void Win32Form::DoEvents() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

int Win32Form::ShowMessage(const char* promptUtf8, const char* titleUtf8, uint32_t style) {
    WideText prompt(promptUtf8), title(titleUtf8);
    return ::MessageBoxW(IsWindowVisible(hwnd_) ? hwnd_ : nullptr, prompt.c_str(), title.c_str(), style);
}

void Win32Form::Beep() {
    MessageBeep(0xFFFFFFFF);
}

uint32_t Win32Form::WindowHandle() const {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(hwnd_));
}

uint32_t Win32Form::IconHandle() const {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(smallIcon_ != nullptr ? smallIcon_ : bigIcon_));
}

float Win32Form::Left() const {
    RECT r;
    GetWindowRect(hwnd_, &r);
    return static_cast<float>(r.left) * tppX_;
}

float Win32Form::Top() const {
    RECT r;
    GetWindowRect(hwnd_, &r);
    return static_cast<float>(r.top) * tppY_;
}

void Win32Form::SetLeft(float twips) {
    RECT r;
    GetWindowRect(hwnd_, &r);
    SetWindowPos(hwnd_, nullptr, PxX(twips), r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Form::SetTop(float twips) {
    RECT r;
    GetWindowRect(hwnd_, &r);
    SetWindowPos(hwnd_, nullptr, r.left, PxY(twips), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

uint32_t Win32Form::ImageDC() {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(imageDC_));
}

void Win32Form::ImageToPicture() {
    if (pictureBitmap_ == nullptr) {
        HDC windowDC = GetDC(hwnd_);
        pictureBitmap_ = CreateCompatibleBitmap(windowDC, clientWidthPx_, clientHeightPx_);
        ReleaseDC(hwnd_, windowDC);
    }
    HDC pictureDC = CreateCompatibleDC(imageDC_);
    HGDIOBJ old = SelectObject(pictureDC, pictureBitmap_);
    BitBlt(pictureDC, 0, 0, clientWidthPx_, clientHeightPx_, imageDC_, 0, 0, SRCCOPY);
    SelectObject(pictureDC, old);
    DeleteDC(pictureDC);
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void Win32Form::DrawBox(float x1, float y1, float x2, float y2) {
    HPEN pen = CreatePen(PS_SOLID, 1, foreColour_);
    HGDIOBJ oldPen = SelectObject(imageDC_, pen);
    HGDIOBJ oldBrush = SelectObject(imageDC_, GetStockObject(NULL_BRUSH));
    const int oldRop = SetROP2(imageDC_, drawMode_);
    // The box includes its far corner, as the rectangle (x1, y1)-(x2, y2) does.
    Rectangle(imageDC_, PxX(x1), PxY(y1), PxX(x2) + 1, PxY(y2) + 1);
    SetROP2(imageDC_, oldRop);
    SelectObject(imageDC_, oldBrush);
    SelectObject(imageDC_, oldPen);
    DeleteObject(pen);
    InvalidateRect(hwnd_, nullptr, FALSE);
}
