// Program entry: creates the window and runs the message loop until the window is unloaded.
#include <windows.h>
#include <commctrl.h>

#include "win32/Win32Form.h"
#include "resources/version.h"
#include "win32/lean_runtime.inc"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES};
    // Without common controls 6 the buttons are drawn the classic way, which the window is made for too.
    (void)InitCommonControlsEx(&controls);

    Win32Form window;
    if (!window.Create(instance)) {
        MessageBoxW(nullptr, L"La fenêtre de " TARVEIL_TITLE L" n'a pas pu être créée.", L"" TARVEIL_TITLE, MB_ICONERROR);
        return 1;
    }
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (window.PreTranslate(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
