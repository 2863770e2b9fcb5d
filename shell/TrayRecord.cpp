// Filling the notification-area icon record, and the callback decoding.
#include "shell/TrayRecord.h"

#include <cstring>

#include "shell/Rounding.h"
#include "resources/version.h"

void FillTrayRecordForAdd(NotifyIconRecord& record, uint32_t window, uint32_t icon) {
    FillTrayRecordForDelete(record, window);  // the fields that name the icon, then those that add it
    record.uFlags = kTrayFlags;
    record.uCallbackMessage = kTrayCallbackMessage;
    record.hIcon = icon;
    // The shell reads up to the NUL; the rest of the fixed 64-character field is blanks, not zeros.
    std::memset(record.szTip, ' ', sizeof record.szTip);
    size_t length = std::strlen(TARVEIL_TITLE);
    if (length > sizeof record.szTip - 1) length = sizeof record.szTip - 1;
    std::memcpy(record.szTip, TARVEIL_TITLE, length);
    record.szTip[length] = '\0';
}

void FillTrayRecordForDelete(NotifyIconRecord& record, uint32_t window) {
    record.cbSize = kNotifyIconDataV1Size;
    record.hWnd = window;
    record.uID = kTrayIconId;
}

void CopyUtf8(const char* text, char* field, size_t cap) {
    size_t length = std::strlen(text);
    if (length > cap - 1) {
        length = cap - 1;
        // Not inside a character: back to the first byte of the one cut.
        while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) --length;
    }
    std::memcpy(field, text, length);
    std::memset(field + length, 0, cap - length);
}

int32_t DecodeTrayMessage(float xTwips, float twipsPerPixelX) {
    return RoundHalfEven32(static_cast<double>(xTwips) / static_cast<double>(twipsPerPixelX));
}
