/* A stand-in for shutdown.exe that leaves, next to itself, shutdown-ran.txt saying how it was started. */
#include <windows.h>
#include <stdio.h>
#include <wchar.h>
int main(void) {
    wchar_t path[MAX_PATH];
    char line[2048];
    STARTUPINFOW si;
    FILE* f;
    GetModuleFileNameW(NULL, path, MAX_PATH);
    wcscpy(wcsrchr(path, L'\\') + 1, L"shutdown-ran.txt");
    GetStartupInfoW(&si);
    WideCharToMultiByte(CP_UTF8, 0, GetCommandLineW(), -1, line, sizeof line, NULL, NULL);
    f = _wfopen(path, L"wb");
    if (!f) return 1;
    fprintf(f, "flags=%lu\nshow=%u\ncmdline=%s\n", (unsigned long)si.dwFlags, (unsigned)si.wShowWindow, line);
    fclose(f);
    return 0;
}
