// Moving the caption-less window with the mouse: the point grabbed at a press stays under the pointer.
#pragma once

#include <cstdint>

#include "platform/Controls.h"
#include "platform/FormHost.h"

class WindowDrag {
public:
    explicit WindowDrag(FormHost& host) : host_(host) {}
    WindowDrag(const WindowDrag&) = delete;
    WindowDrag& operator=(const WindowDrag&) = delete;

    // X and Y in twips from the client area's top-left corner, as the window's mouse events give them.
    void MouseDown(float X, float Y);
    // Only the left button alone drags.
    void MouseMove(int16_t Button, float X, float Y);
    void MouseUp();

    // A button went down on the surface and has not come up; where the pointer was then.
    int16_t Deplacement = kFalse;
    int16_t DepartX = 0;
    int16_t DepartY = 0;

private:
    FormHost& host_;
};
