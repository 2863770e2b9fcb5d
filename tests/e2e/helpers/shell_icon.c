/* What a shell does to the program's icon from outside: "add" an icon of its own under the program's window and id (so
   the program's add is a duplicate the shell refuses), "del" it (the icon lost), and "new": the "TaskbarCreated"
   broadcast of a shell that has just started. */
#include <windows.h>
#include <shellapi.h>
int main(int argc, char** argv) {
    NOTIFYICONDATAA d;
    if (argc < 2) return 3;
    if (argv[1][0] == 'n') return SendNotifyMessageW(HWND_BROADCAST, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0) ? 0 : 1;
    ZeroMemory(&d, sizeof d);
    d.cbSize = NOTIFYICONDATAA_V1_SIZE;
    d.hWnd = FindWindowW(L"TarveilXPForm", NULL);
    d.uID = 1;
    if (!d.hWnd) return 2;
    if (argv[1][0] == 'a') {
        d.uFlags = NIF_ICON | NIF_TIP;
        d.hIcon = LoadIconW(NULL, (LPCWSTR)IDI_WARNING);
        lstrcpyA(d.szTip, "occupied");
        return Shell_NotifyIconA(NIM_ADD, &d) ? 0 : 1;
    }
    return Shell_NotifyIconA(NIM_DELETE, &d) ? 0 : 1;
}
