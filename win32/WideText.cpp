// UTF-8 <-> UTF-16 conversion for the window's texts.
#include "win32/WideText.h"

#include <cstdlib>
#include <cstring>

#include "platform/TextWriter.h"

WideText::WideText(const char* utf8) {
    if (utf8 == nullptr) return;
    const int needed = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, nullptr, 0);
    if (needed <= 0) return;
    text_ = static_cast<wchar_t*>(std::malloc(static_cast<size_t>(needed) * sizeof(wchar_t)));
    if (text_ == nullptr) return;
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, text_, needed) != needed) {
        text_[0] = L'\0';
        return;
    }
    length_ = needed - 1;
    ok_ = true;
}

WideText::WideText(size_t units) {
    text_ = static_cast<wchar_t*>(std::calloc(units > 0 ? units : 1, sizeof(wchar_t)));
    ok_ = text_ != nullptr;
}

WideText::~WideText() {
    std::free(text_);
}

int Utf8ToWide(const char* utf8, wchar_t* out, int cap) {
    if (cap <= 0) return 0;
    int written = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, out, cap);
    if (written > 0) return written - 1;
    // Longer than the buffer: keep what fits.
    WideText all(utf8);
    const int count = all.length() < cap - 1 ? all.length() : cap - 1;
    std::memcpy(out, all.c_str(), static_cast<size_t>(count) * sizeof(wchar_t));
    out[count] = L'\0';
    return count;
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
    // Cut: converted a character at a time until one no longer fits whole.
    TextWriter text(out, cap);
    for (int i = 0; i < wideLength && text.Length() < cap; ++i) {
        int units = (wide[i] >= 0xD800 && wide[i] <= 0xDBFF && i + 1 < wideLength) ? 2 : 1;
        char piece[8];
        int bytes = WideCharToMultiByte(CP_UTF8, 0, wide + i, units, piece, sizeof piece, nullptr, nullptr);
        if (bytes <= 0) break;
        text.Put(piece, static_cast<size_t>(bytes));
        i += units - 1;
    }
    text.Finish();
    return static_cast<size_t>(total);
}
