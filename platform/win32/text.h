// UTF-8 <-> UTF-16 conversion into caller-provided buffers, so the hot paths never allocate.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

// Converts NUL-terminated UTF-8 into out (NUL-terminated, cut to cap - 1 units); returns units written.
int Utf8ToWide(const char* utf8, wchar_t* out, int cap);
std::wstring Utf8ToWide(const char* utf8);
// Converts wide text into out as UTF-8 (NUL-terminated, cut on a character boundary); returns the byte
// length the whole text has in UTF-8.
size_t WideToUtf8(const wchar_t* wide, int wideLength, char* out, size_t cap);
