// The bench's floor: the least program that does Tarveil XP's waiting job, to measure the product against. Common
// controls 6 through the product's own manifest, the local time read each second and written as hh:mm:ss into a
// text control, one 1000 ms timer; a click on the window adds a notification-area icon and hides the window, as
// "OK" does in the product. Nothing else: no images, no fonts, no entry box, no countdown.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

namespace {

constexpr UINT kIconMessage = WM_APP + 1;  // the icon's callbacks, which the floor leaves to the default
constexpr UINT_PTR kTimerId = 1;

HWND clockBox;
wchar_t clockText[9];  // hh:mm:ss
bool hidden;
NOTIFYICONDATAW icon;

void ReadClock() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    const WORD parts[3] = {now.wHour, now.wMinute, now.wSecond};
    for (int i = 0; i < 3; ++i) {
        clockText[3 * i] = static_cast<wchar_t>(L'0' + parts[i] / 10);
        clockText[3 * i + 1] = static_cast<wchar_t>(L'0' + parts[i] % 10);
        clockText[3 * i + 2] = i < 2 ? L':' : L'\0';
    }
}

// Shell_NotifyIconW is looked up when the first icon is added, as the product binds it: the shell's library costs
// nothing before that.
BOOL NotifyIcon(DWORD message) {
    using Fn = BOOL(WINAPI*)(DWORD, PNOTIFYICONDATAW);
    static Fn notify;
    if (notify == nullptr) {
        HMODULE shell = LoadLibraryW(L"shell32.dll");
        if (shell == nullptr) return FALSE;
        notify = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(shell, "Shell_NotifyIconW")));
        if (notify == nullptr) return FALSE;
    }
    return notify(message, &icon);
}

void SendToTray(HWND hwnd) {
    icon.cbSize = NOTIFYICONDATAW_V1_SIZE;
    icon.hWnd = hwnd;
    icon.uID = 1;
    icon.uFlags = NIF_ICON | NIF_MESSAGE | NIF_TIP;
    icon.uCallbackMessage = kIconMessage;
    icon.hIcon = LoadIconW(nullptr, MAKEINTRESOURCEW(32512));  // IDI_APPLICATION: the system's, no resource
    lstrcpyW(icon.szTip, L"Tarveil Floor");
    if (!NotifyIcon(NIM_ADD)) return;  // no icon: the window stays
    hidden = true;
    ShowWindow(hwnd, SW_HIDE);
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TIMER:
        ReadClock();
        // Hidden, the text waits for the window to show, as the product's clock box does.
        if (!hidden) SetWindowTextW(clockBox, clockText);
        return 0;
    case WM_LBUTTONUP:
        if (!hidden) SendToTray(hwnd);
        return 0;
    case WM_DESTROY:
        if (hidden) NotifyIcon(NIM_DELETE);
        PostQuitMessage(0);
        return 0;
    default: return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    WNDCLASSW cls = {};
    cls.lpfnWndProc = WindowProc;
    cls.hInstance = instance;
    cls.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    cls.lpszClassName = L"TarveilFloor";
    if (!RegisterClassW(&cls)) return 1;
    HWND hwnd = CreateWindowExW(0, cls.lpszClassName, L"Tarveil Floor", WS_POPUP, CW_USEDEFAULT, CW_USEDEFAULT, 242,
                                178, nullptr, nullptr, instance, nullptr);
    if (!hwnd) return 1;
    ReadClock();
    // A static control, not the product's edit box: the least that shows a text.
    clockBox = CreateWindowExW(0, L"STATIC", clockText, WS_CHILD | WS_VISIBLE, 8, 8, 120, 20, hwnd, nullptr, instance,
                               nullptr);
    if (!clockBox) return 1;
    ShowWindow(hwnd, show);
    SetTimer(hwnd, kTimerId, 1000, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
