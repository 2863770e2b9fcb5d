/* tests/e2e/helpers/taskbar_created.c — broadcasts the shell's registered "TaskbarCreated" to every top-level window,
   as a shell does that starts again, or that keeps its icons through a change of display scale or of monitors. */
#include <windows.h>

int main(void) {
    const UINT message = RegisterWindowMessageW(L"TaskbarCreated");
    return message != 0 && SendNotifyMessageW(HWND_BROADCAST, message, 0, 0) ? 0 : 1;
}
