// Byte-level building of the notification-area icon record and the callback decoding.
#include "shell/TrayRecord.h"

#include <cstring>

#include "shell/Rounding.h"
#include "resources/version.h"

void TrayRecord::SetU32(int offset, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t TrayRecord::GetU32(int offset) const {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= static_cast<uint32_t>(bytes[offset + i]) << (8 * i);
    return value;
}

void TrayRecord::SetTip(const char* text) {
    uint8_t* tip = bytes + kOffsetTip;
    std::memset(tip, ' ', kTipSize);
    size_t length = std::strlen(text);
    if (length > kTipSize - 1) length = kTipSize - 1;
    std::memcpy(tip, text, length);
    tip[length] = '\0';
}

void FillTrayRecordForAdd(TrayRecord& record, uint32_t window, uint32_t icon) {
    record.SetU32(TrayRecord::kOffsetSize, TrayRecord::kSize);
    record.SetU32(TrayRecord::kOffsetWnd, window);
    record.SetU32(TrayRecord::kOffsetId, kTrayIconId);
    record.SetU32(TrayRecord::kOffsetFlags, kTrayFlags);
    record.SetU32(TrayRecord::kOffsetCallback, kTrayCallbackMessage);
    record.SetU32(TrayRecord::kOffsetIcon, icon);
    record.SetTip(TARVEIL_TITLE);
}

void FillTrayRecordForDelete(TrayRecord& record, uint32_t window) {
    record.SetU32(TrayRecord::kOffsetSize, TrayRecord::kSize);
    record.SetU32(TrayRecord::kOffsetWnd, window);
    record.SetU32(TrayRecord::kOffsetId, kTrayIconId);
}

int32_t DecodeTrayMessage(float xTwips, float twipsPerPixelX) {
    return RoundHalfEven32(static_cast<double>(xTwips) / static_cast<double>(twipsPerPixelX));
}
