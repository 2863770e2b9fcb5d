// The smallest program of the same kind, for measuring Tarveil XP against: one caption-less 242 x 178 window and
// a one-second timer, nothing else. Built with BASELINE_CONTROLS6 (and linked with Tarveil XP's manifest), it
// also asks for common controls 6 as Tarveil XP does: the second reference, which tells that cost apart. Built
// with BASELINE_READS_CLOCK, it reads the local time at each tick, the least a program showing a clock must do.
#include <windows.h>
#ifdef BASELINE_CONTROLS6
#include <commctrl.h>
#define BASELINE_NAME L"Tarveil Baseline6"
#elif defined(BASELINE_READS_CLOCK)
#define BASELINE_NAME L"Tarveil BaselineClock"
#else
#define BASELINE_NAME L"Tarveil Baseline"
#endif

namespace {

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TIMER: {
#ifdef BASELINE_READS_CLOCK
        SYSTEMTIME now;
        GetLocalTime(&now);
#endif
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
#ifdef BASELINE_CONTROLS6
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
#endif
    WNDCLASSW cls = {};
    cls.lpfnWndProc = WindowProc;
    cls.hInstance = instance;
    cls.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    cls.lpszClassName = L"TarveilBaseline";
    if (!RegisterClassW(&cls)) return 1;
    HWND hwnd = CreateWindowExW(0, cls.lpszClassName, BASELINE_NAME, WS_POPUP, CW_USEDEFAULT, CW_USEDEFAULT,
                                242, 178, nullptr, nullptr, instance, nullptr);
    if (!hwnd) return 1;
    ShowWindow(hwnd, show);
    SetTimer(hwnd, 1, 1000, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
