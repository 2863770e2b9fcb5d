// UTF-8 <-> UTF-16 conversion into caller-provided buffers, so the hot paths never allocate, and a
// heap-held wide text for the rare long one.
#pragma once

#include <windows.h>

#include <cstddef>

// Converts NUL-terminated UTF-8 into out (NUL-terminated, cut to cap - 1 units); returns units written.
int Utf8ToWide(const char* utf8, wchar_t* out, int cap);
// Converts wide text into out as UTF-8 (NUL-terminated, cut on a character boundary); returns the byte
// length the whole text has in UTF-8.
size_t WideToUtf8(const wchar_t* wide, int wideLength, char* out, size_t cap);

// A UTF-8 text converted to UTF-16 on the heap; c_str() is "" when the conversion failed.
class WideText {
public:
    explicit WideText(const char* utf8);
    // An empty buffer of `units` wide characters, to read a long text into; data() is null if it could not be had.
    explicit WideText(size_t units);
    ~WideText();
    WideText(const WideText&) = delete;
    WideText& operator=(const WideText&) = delete;
    const wchar_t* c_str() const { return text_ != nullptr ? text_ : L""; }
    wchar_t* data() { return text_; }
    int length() const { return length_; }
    bool ok() const { return ok_; }

private:
    wchar_t* text_ = nullptr;
    int length_ = 0;
    bool ok_ = false;
};
