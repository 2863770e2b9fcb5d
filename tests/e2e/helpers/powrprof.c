/* A powrprof.dll whose IsPwrHibernateAllowed says no, whose active plan forbids wake timers (Disable, answered only for
   the sleep subgroup's "Allow wake timers") on a machine without battery or modern standby, and which leaves
   powrprof-loaded.txt next to itself when loaded. Exported undecorated (--kill-at), as Windows' own. */
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
static const GUID kSleep = {0x238c9fa8, 0x0aad, 0x41ed, {0x83, 0xf4, 0x97, 0xbe, 0x24, 0x2c, 0x8f, 0x20}};
static const GUID kWake = {0xbd3b718a, 0x0680, 0x4d9d, {0x8a, 0xb2, 0xe1, 0xd2, 0xb4, 0xac, 0x80, 0x6d}};
#define API __declspec(dllexport) WINAPI
#define READ(s, w, v) (*(v) = 0, IsEqualGUID(s, &kSleep) && IsEqualGUID(w, &kWake) ? 0 : ERROR_FILE_NOT_FOUND)
DWORD API PowerGetActiveScheme(HKEY k, GUID** g) { return (*g = LocalAlloc(LPTR, sizeof(GUID))) ? 0 : 8; }
DWORD API PowerReadACValueIndex(HKEY k, const GUID* p, const GUID* s, const GUID* w, DWORD* v) { return READ(s, w, v); }
DWORD API PowerReadDCValueIndex(HKEY k, const GUID* p, const GUID* s, const GUID* w, DWORD* v) { return READ(s, w, v); }
LONG API CallNtPowerInformation(int level, void* in, ULONG n, void* out, ULONG size) {  /* else INFO_LENGTH_MISMATCH */
    return level == 4 && size == 76 ? (ZeroMemory(out, size), 0) : 0xC0000004;
}
