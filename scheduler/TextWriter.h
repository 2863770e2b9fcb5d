// Writing UTF-8 text into a buffer of fixed size: what does not fit is cut and counted, never written past the end.
#pragma once

#include <cstddef>

class TextWriter {
public:
    TextWriter(char* out, size_t cap) : out_(out), cap_(cap) {}
    void Put(char c) {
        if (length_ + 1 < cap_) out_[length_] = c;
        ++length_;
    }
    void Put(const char* text) {
        while (*text != '\0') Put(*text++);
    }
    // The whole length of what was put, the part cut off included.
    size_t Length() const { return length_; }
    // Ends the text with a NUL, after its last byte that fitted.
    void Finish() {
        if (cap_ > 0) out_[length_ < cap_ ? length_ : cap_ - 1] = '\0';
    }

private:
    char* out_;
    size_t cap_;
    size_t length_ = 0;
};
