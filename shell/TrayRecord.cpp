// Filling the notification-area icon record, and the callback decoding.
#include "shell/TrayRecord.h"

#include <cstring>

#include "platform/TextWriter.h"
#include "resources/version.h"
#include "shell/Rounding.h"

void FillTrayRecordForAdd(NotifyIconRecord& record, uint32_t window, uint32_t icon) {
    FillTrayRecordForDelete(record, window);  // the fields that name the icon, then those that add it
    record.uFlags = kTrayFlags;
    record.uCallbackMessage = kTrayCallbackMessage;
    record.hIcon = icon;
    // The shell reads up to the NUL; the rest of the fixed 64-character field is blanks, not zeros.
    std::memset(record.szTip, ' ', sizeof record.szTip);
    CopyText(TARVEIL_TITLE, record.szTip, sizeof record.szTip);
}

void FillTrayRecordForDelete(NotifyIconRecord& record, uint32_t window) {
    record.cbSize = kNotifyIconDataV1Size;
    record.hWnd = window;
    record.uID = kTrayIconId;
}

int32_t DecodeTrayMessage(float xTwips, float twipsPerPixelX) {
    return RoundHalfEven32(static_cast<double>(xTwips) / static_cast<double>(twipsPerPixelX));
}
