// Moving the caption-less window with the mouse.
#include "shell/WindowDrag.h"

#include "shell/Rounding.h"

void WindowDrag::MouseDown(float X, float Y) {
    Deplacement = kTrue;
    // A grab point that does not fit in 16 bits leaves the previous one.
    (void)RoundHalfEven16(X, &DepartX);
    (void)RoundHalfEven16(Y, &DepartY);
}

void WindowDrag::MouseMove(int16_t Button, float X, float Y) {
    if (Button != kLeftButton || !Deplacement) return;
    // The window has moved with the pointer, so X and Y, measured from the window, stay near the grab point:
    // each axis moves by the pointer's offset from it, and only when there is one.
    const double dx = static_cast<double>(X) - DepartX;
    if (dx != 0.0) host_.SetLeft(static_cast<float>(host_.Left() + dx));
    const double dy = static_cast<double>(Y) - DepartY;
    if (dy != 0.0) host_.SetTop(static_cast<float>(host_.Top() + dy));
}

void WindowDrag::MouseUp() {
    Deplacement = kFalse;
}
