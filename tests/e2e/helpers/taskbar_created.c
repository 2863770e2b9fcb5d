/* tests/e2e/helpers/taskbar_created.c — broadcasts "TaskbarCreated", as a shell that starts or changes scale does. */
#include <windows.h>
int main(void) {
    const UINT message = RegisterWindowMessageW(L"TaskbarCreated");
    return message != 0 && SendNotifyMessageW(HWND_BROADCAST, message, 0, 0) ? 0 : 1;
}
