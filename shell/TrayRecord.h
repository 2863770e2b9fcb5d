// The 88-byte NOTIFYICONDATAA record of the notification-area icon, built as little-endian bytes, and the
// decoding of the icon's mouse callbacks.
#pragma once

#include <cstdint>

constexpr uint32_t kNimAdd = 0;
constexpr uint32_t kNimDelete = 2;
constexpr uint32_t kTrayIconId = 1;
constexpr uint32_t kTrayFlags = 7;  // NIF_MESSAGE | NIF_ICON | NIF_TIP
constexpr uint32_t kTrayCallbackMessage = 0x200;  // WM_MOUSEMOVE: arrives as a mouse move of the window
constexpr int32_t kWmLButtonDown = 0x201;

struct TrayRecord {
    static constexpr int kSize = 88;
    static constexpr int kOffsetSize = 0;
    static constexpr int kOffsetWnd = 4;
    static constexpr int kOffsetId = 8;
    static constexpr int kOffsetFlags = 12;
    static constexpr int kOffsetCallback = 16;
    static constexpr int kOffsetIcon = 20;
    static constexpr int kOffsetTip = 24;
    static constexpr int kTipSize = 64;

    uint8_t bytes[kSize] = {};

    void SetU32(int offset, uint32_t value);
    uint32_t GetU32(int offset) const;
    // Stores text left-aligned in the 64-byte tooltip field, then one NUL, then blanks to the end.
    void SetTip(const char* text);
};

// Fills the fields that adding the icon needs.
void FillTrayRecordForAdd(TrayRecord& record, uint32_t window, uint32_t icon);
// Sets the fields that identify the icon for a removal; the others keep what they hold.
void FillTrayRecordForDelete(TrayRecord& record, uint32_t window);

// The mouse message carried by a callback: the event's x in twips back to pixels, rounded half to even.
int32_t DecodeTrayMessage(float xTwips, float twipsPerPixelX);
