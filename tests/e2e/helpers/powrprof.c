/* A powrprof.dll whose IsPwrHibernateAllowed says no, and which leaves powrprof-loaded.txt next to itself when loaded.
   Exported undecorated (--kill-at), as Windows' own. */
#include <windows.h>
#include <wchar.h>
BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID unused) {
    wchar_t path[MAX_PATH];
    HANDLE f;
    (void)unused;
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    GetModuleFileNameW(self, path, MAX_PATH);
    wcscpy(wcsrchr(path, L'\\') + 1, L"powrprof-loaded.txt");
    f = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
    return TRUE;
}
__declspec(dllexport) BOOLEAN WINAPI IsPwrHibernateAllowed(void) { return FALSE; }
