// UTF-8 <-> UTF-16 conversion for the window's texts.
#include "platform/win32/text.h"

#include <cstring>

std::wstring Utf8ToWide(const char* utf8) {
    int needed = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    if (needed <= 1) return std::wstring();
    std::wstring wide(static_cast<size_t>(needed), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, &wide[0], needed);
    wide.resize(static_cast<size_t>(needed - 1));
    return wide;
}

int Utf8ToWide(const char* utf8, wchar_t* out, int cap) {
    if (cap <= 0) return 0;
    int written = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, out, cap);
    if (written > 0) return written - 1;
    // Longer than the buffer: keep what fits.
    std::wstring all = Utf8ToWide(utf8);
    size_t count = all.size() < static_cast<size_t>(cap - 1) ? all.size() : static_cast<size_t>(cap - 1);
    std::memcpy(out, all.data(), count * sizeof(wchar_t));
    out[count] = L'\0';
    return static_cast<int>(count);
}

size_t WideToUtf8(const wchar_t* wide, int wideLength, char* out, size_t cap) {
    int total = wideLength > 0 ? WideCharToMultiByte(CP_UTF8, 0, wide, wideLength, nullptr, 0, nullptr, nullptr) : 0;
    if (cap == 0) return static_cast<size_t>(total);
    if (total <= 0) {
        out[0] = '\0';
        return 0;
    }
    if (static_cast<size_t>(total) < cap) {
        WideCharToMultiByte(CP_UTF8, 0, wide, wideLength, out, static_cast<int>(cap), nullptr, nullptr);
        out[total] = '\0';
        return static_cast<size_t>(total);
    }
    // Cut: convert character by character until the buffer is full.
    size_t used = 0;
    for (int i = 0; i < wideLength; ++i) {
        int units = (wide[i] >= 0xD800 && wide[i] <= 0xDBFF && i + 1 < wideLength) ? 2 : 1;
        char piece[8];
        int bytes = WideCharToMultiByte(CP_UTF8, 0, wide + i, units, piece, sizeof piece, nullptr, nullptr);
        if (bytes <= 0 || used + static_cast<size_t>(bytes) >= cap) break;
        std::memcpy(out + used, piece, static_cast<size_t>(bytes));
        used += static_cast<size_t>(bytes);
        i += units - 1;
    }
    out[used] = '\0';
    return static_cast<size_t>(total);
}
