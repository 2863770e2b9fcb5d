// The window's background: a copy of the screen area that lies under it.
#include <cmath>

#include "scheduler/Form1.h"

namespace {

constexpr Colour kDefaultTint = 0xC80000;
constexpr uint32_t kSrcCopy = 0x00CC0020;
constexpr int kMaskPen = 9;  // R2_MASKPEN: pen AND screen, so white leaves the copy untouched

// Rounds half to even into a 16-bit value. A value that does not fit leaves *out as it was: like every
// other failing step of the copy, that one is skipped and the rest goes on.
void Round16(double value, int16_t* out) {
    const double rounded = std::nearbyint(value);
    if (rounded >= -32768.0 && rounded <= 32767.0) *out = static_cast<int16_t>(rounded);
}

int32_t Round32(double value) {
    const double rounded = std::nearbyint(value);
    if (rounded >= -2147483648.0 && rounded <= 2147483647.0) return static_cast<int32_t>(rounded);
    return 0;
}

}  // namespace

void Form1::MakeTranslucent(const Colour* tColor) {
    const Colour tint = (tColor == nullptr || *tColor == 0) ? kDefaultTint : *tColor;
    host_.SetAutoRedraw(true);
    host_.Hide();
    // Let what lay under the window repaint itself before the copy.
    host_.DoEvents();

    const uint32_t desktop = system_.GetDesktopWindow();
    const uint32_t desktopDC = system_.GetDC(desktop);
    const float tppX = host_.TwipsPerPixelX();
    const float tppY = host_.TwipsPerPixelY();
    int16_t x = 0, y = 0, w = 0, h = 0;
    Round16(host_.Left() / tppX, &x);
    Round16(host_.Top() / tppY, &y);
    Round16(host_.ScaleWidth(), &w);
    Round16(host_.ScaleHeight(), &h);
    if (desktopDC != 0) {
        // A failed copy leaves the previous background; nothing else can be done about it.
        (void)system_.BitBlt(host_.ImageDC(), 0, 0, Round32(w / tppX), Round32(h / tppY), desktopDC, x, y,
                             kSrcCopy);
    }
    host_.ImageToPicture();
    host_.Show();
    if (desktopDC != 0) (void)system_.ReleaseDC(desktop, desktopDC);
    host_.SetDrawMode(kMaskPen);
    host_.SetForeColor(tint);
    host_.DrawBox(0, 0, w, h);
}

void Form1::Form_GotFocus() {
    const Colour white = kWhite;
    MakeTranslucent(&white);
}
