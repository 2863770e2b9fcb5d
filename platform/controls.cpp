// Shared helpers of the control interfaces.
#include "platform/controls.h"

std::string TextBox::Text() const {
    char small[64];
    size_t length = GetText(small, sizeof small);
    if (length < sizeof small) return std::string(small, length);
    std::string text(length + 1, '\0');
    size_t copied = GetText(&text[0], text.size());
    text.resize(copied < length ? copied : length);
    return text;
}
