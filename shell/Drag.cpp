// Moving the caption-less window with the mouse, and closing it from its close glyph.
#include <cmath>

#include "scheduler/Form1.h"

namespace {

// Rounds half to even; a value that does not fit in 16 bits leaves the grab point as it was.
void RoundToInt16(float value, int16_t* out) {
    const double rounded = std::nearbyint(static_cast<double>(value));
    if (rounded >= -32768.0 && rounded <= 32767.0) *out = static_cast<int16_t>(rounded);
}

}  // namespace

void Form1::Form_MouseDown(int16_t /*Button*/, int16_t /*Shift*/, float X, float Y) {
    Deplacement = kTrue;
    RoundToInt16(X, &DepartX);
    RoundToInt16(Y, &DepartY);
}

void Form1::Form_MouseMove(int16_t Button, int16_t /*Shift*/, float X, float Y) {
    if (Button == kLeftButton && Deplacement) {
        // Each axis moves by the pointer's offset from the grab point, and only when there is one.
        const double dx = static_cast<double>(X) - DepartX;
        if (dx != 0.0) host_.SetLeft(static_cast<float>(host_.Left() + dx));
        const double dy = static_cast<double>(Y) - DepartY;
        if (dy != 0.0) host_.SetTop(static_cast<float>(host_.Top() + dy));
    }

    // The icon's callbacks arrive as mouse moves whose x carries the mouse message.
    TrayMessage = DecodeTrayMessage(X, host_.TwipsPerPixelX());
    if (TrayBusy) return;
    TrayBusy = kTrue;
    if (TrayMessage == kWmLButtonDown) RestoreFromTray();
    TrayBusy = kFalse;
}

void Form1::Form_MouseUp(int16_t /*Button*/, int16_t /*Shift*/, float /*X*/, float /*Y*/) {
    Deplacement = kFalse;
    const Colour white = kWhite;
    MakeTranslucent(&white);
}

void Form1::SysCroix_Click() {
    host_.Unload();
}
