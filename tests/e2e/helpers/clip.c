/* clip.exe FILE: puts the file's UTF-8 text on the Windows clipboard as Unicode text, as another program copying it
   would; Ctrl+V in the entry box then pastes it through the edit control's own paste. */
#include <windows.h>
#include <stdio.h>
int main(int argc, char** argv) {
    static char bytes[200000];
    FILE* f;
    size_t n;
    int wide;
    HGLOBAL mem;
    if (argc < 2 || !(f = fopen(argv[1], "rb"))) return 2;
    n = fread(bytes, 1, sizeof bytes - 1, f);
    fclose(f);
    wide = MultiByteToWideChar(CP_UTF8, 0, bytes, (int)n, NULL, 0);
    mem = GlobalAlloc(GMEM_MOVEABLE, (wide + 1) * sizeof(WCHAR));
    WCHAR* w = (WCHAR*)GlobalLock(mem);
    MultiByteToWideChar(CP_UTF8, 0, bytes, (int)n, w, wide);
    w[wide] = 0;
    GlobalUnlock(mem);
    if (!OpenClipboard(NULL)) return 3;
    EmptyClipboard();
    if (!SetClipboardData(CF_UNICODETEXT, mem)) return 4;
    CloseClipboard();
    return 0;
}
