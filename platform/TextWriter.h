// Writing UTF-8 text into a buffer of fixed size, the one way every layer copies or builds a text: what does not fit
// is counted and left out from the first character that would not fit whole, and nothing is written past the end or
// allocated.
#pragma once

#include <cstddef>

class TextWriter {
public:
    TextWriter(char* out, size_t cap) : out_(out), cap_(cap) {}
    // A byte at a time, as a character's bytes may come; Finish takes back a character that did not fit whole.
    void Put(char c) {
        if (length_ + 1 < cap_) {
            out_[length_] = c;
        } else if (length_ + 1 == cap_) {
            next_ = c;
        }
        ++length_;
    }
    void Put(const char* text) {
        while (*text != '\0') Put(*text++);
    }
    void Put(const char* text, size_t length) {
        for (size_t i = 0; i < length; ++i) Put(text[i]);
    }
    // The whole length of what was put, the part left out included.
    size_t Length() const { return length_; }
    // Ends the text with a NUL after its last whole character that fitted.
    void Finish() {
        if (cap_ == 0) return;
        size_t end = length_;
        if (length_ >= cap_) {
            // The first byte left out continues a character: that character goes too, from its first byte.
            end = cap_ - 1;
            for (char next = next_; end > 0 && (static_cast<unsigned char>(next) & 0xC0) == 0x80;) next = out_[--end];
        }
        out_[end] = '\0';
    }

private:
    char* out_;
    size_t cap_;
    size_t length_ = 0;
    char next_ = '\0';  // the first byte that did not fit
};

// Copies NUL-terminated UTF-8 text into out as TextWriter writes it; returns the text's whole length.
inline size_t CopyText(const char* text, char* out, size_t cap) {
    TextWriter copy(out, cap);
    copy.Put(text);
    copy.Finish();
    return copy.Length();
}
