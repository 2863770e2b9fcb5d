// Links Tarveil.rc's resources into a tiny Windows program that reads them back the way Windows does:
// the version block through GetFileVersionInfoW/VerQueryValueW (accented strings included), the icon
// group, the bitmap and the manifest. Run by check_resources.sh under wine; prints one line per check
// and "N passed, N failed" at the end. The expected strings are written with \u escapes so that this
// file's own encoding cannot matter.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "../resource.h"

namespace {

int passed = 0, failed = 0;

void Check(bool ok, const char* what) {
    std::printf("%s: %s\n", ok ? "ok  " : "FAIL", what);
    ++(ok ? passed : failed);
}

std::string Utf8(const std::wstring& w) {
    if (w.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), &s[0], n, nullptr, nullptr);
    return s;
}

BOOL CALLBACK CollectName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR param) {
    auto* names = reinterpret_cast<std::vector<ULONG_PTR>*>(param);
    names->push_back(IS_INTRESOURCE(name) ? reinterpret_cast<ULONG_PTR>(name) : 0);
    return TRUE;
}

}  // namespace

int main() {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);

    // Version block.
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(path, &handle);
    std::vector<BYTE> block(size ? size : 1);
    Check(size > 0 && GetFileVersionInfoW(path, 0, size, block.data()), "version block present");

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT len = 0;
    if (VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &len) && fixed) {
        Check(fixed->dwFileVersionMS == 0x00020000 && fixed->dwFileVersionLS == 0x00000005, "FILEVERSION 2,0,0,5");
        Check(fixed->dwProductVersionMS == 0x00020000 && fixed->dwProductVersionLS == 0x00000005,
              "PRODUCTVERSION 2,0,0,5");
        Check(fixed->dwFileOS == VOS__WINDOWS32, "FILEOS VOS__WINDOWS32");
        Check(fixed->dwFileType == VFT_APP, "FILETYPE VFT_APP");
    } else {
        Check(false, "fixed file info");
    }

    WORD* translation = nullptr;
    Check(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &len) &&
              len == 4 && translation[0] == 0x040C && translation[1] == 1200,
          "Translation 0x040C, 1200");

    struct Expected {
        const wchar_t* name;
        const wchar_t* value;
    };
    const Expected strings[] = {
        {L"Comments",
         L"Permet d'\u00e9teindre, de red\u00e9marrer ou de mettre en veille votre ordinateur \u00e0 une heure "
         L"pr\u00e9cise. Version uniquement compatible Windows XP."},
        {L"FileDescription", L"Tarveil XP"},
        {L"FileVersion", L"2.00.0005"},
        {L"InternalName", L"Tarveil XP"},
        {L"OriginalFilename", L"Tarveil XP.exe"},
        {L"ProductName", L"Tarveil XP"},
        {L"ProductVersion", L"2.00.0005"},
    };
    for (const Expected& e : strings) {
        const std::wstring key = std::wstring(L"\\StringFileInfo\\040C04B0\\") + e.name;
        wchar_t* value = nullptr;
        const bool found =
            VerQueryValueW(block.data(), key.c_str(), reinterpret_cast<void**>(&value), &len) && value != nullptr;
        const std::string label = "StringFileInfo 040C04B0 " + Utf8(e.name) + " = \"" + Utf8(e.value) + "\"";
        Check(found && std::wcscmp(value, e.value) == 0, label.c_str());
        if (found && std::wcscmp(value, e.value) != 0) std::printf("      got \"%s\"\n", Utf8(value).c_str());
    }

    // Icon: the first and only icon group, six images.
    std::vector<ULONG_PTR> groups;
    EnumResourceNamesW(nullptr, MAKEINTRESOURCEW(14) /* RT_GROUP_ICON */, CollectName,
                       reinterpret_cast<LONG_PTR>(&groups));
    Check(groups.size() == 1 && groups[0] == IDI_ICONEPROGRAMME, "one icon group, IDI_ICONEPROGRAMME (101)");
    HRSRC group = FindResourceW(nullptr, MAKEINTRESOURCEW(IDI_ICONEPROGRAMME), MAKEINTRESOURCEW(14));
    const BYTE* dir = group ? static_cast<const BYTE*>(LockResource(LoadResource(nullptr, group))) : nullptr;
    Check(dir && dir[4] == 6 && dir[5] == 0, "icon group holds six images");
    for (int s : {16, 32, 48}) {
        HICON icon = static_cast<HICON>(
            LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_ICONEPROGRAMME), IMAGE_ICON, s, s, 0));
        const std::string label = "LoadImage icon " + std::to_string(s) + "x" + std::to_string(s);
        Check(icon != nullptr, label.c_str());
        if (icon) DestroyIcon(icon);
    }

    // Bitmap.
    HBITMAP bmp = static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_BANDEAUTITRE),
                                                  IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    BITMAP info{};
    Check(bmp && GetObjectW(bmp, sizeof info, &info) && info.bmWidth == 240 && info.bmHeight == 16 &&
              info.bmBitsPixel == 24,
          "bitmap IDB_BANDEAUTITRE 240x16x24");
    if (bmp) DeleteObject(bmp);

    // Manifest.
    HRSRC man = FindResourceW(nullptr, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    std::string text;
    if (man) {
        const char* p = static_cast<const char*>(LockResource(LoadResource(nullptr, man)));
        text.assign(p, SizeofResource(nullptr, man));
    }
    Check(text.find("Microsoft.Windows.Common-Controls") != std::string::npos &&
              text.find("asInvoker") != std::string::npos && text.find("<dpiAware") != std::string::npos,
          "manifest 24/1 with common controls 6, asInvoker, dpiAware");

    std::printf("%d passed, %d failed\n", passed, failed);
    return failed ? 1 : 0;
}
