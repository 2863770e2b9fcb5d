// Moving the caption-less window with the mouse, and closing it from its close glyph.
#include <cmath>

#include "scheduler/Form1.h"

namespace {

int16_t RoundToInt16(float value) {
    double rounded = std::nearbyint(static_cast<double>(value));
    if (rounded > 32767.0) return 32767;
    if (rounded < -32768.0) return -32768;
    return static_cast<int16_t>(rounded);
}

// Moves one coordinate of the window by the pointer's offset from the grab point; an equal value leaves it.
float Follow(float position, float pointer, int16_t start) {
    const double delta = static_cast<double>(pointer) - static_cast<double>(start);
    if (delta == 0.0) return position;
    return static_cast<float>(static_cast<double>(position) + delta);
}

}  // namespace

void Form1::Form_MouseDown(int16_t /*Button*/, int16_t /*Shift*/, float X, float Y) {
    Deplacement = kTrue;
    DepartX = RoundToInt16(X);
    DepartY = RoundToInt16(Y);
}

void Form1::Form_MouseMove(int16_t Button, int16_t /*Shift*/, float X, float Y) {
    if (Button == kLeftButton && Deplacement) {
        const float left = host_.Left();
        const float top = host_.Top();
        const float newLeft = Follow(left, X, DepartX);
        const float newTop = Follow(top, Y, DepartY);
        if (newLeft != left) host_.SetLeft(newLeft);
        if (newTop != top) host_.SetTop(newTop);
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
