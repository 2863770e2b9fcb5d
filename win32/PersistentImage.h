// The window's persistent image: the off-screen picture of the client area that the backdrop is copied into
// and the window repaints from, and the buffer each paint is composed in, so that nothing flickers.
#pragma once

#include <windows.h>

#include "platform/Controls.h"
#include "win32/ScopedWin.h"

class PersistentImage {
public:
    PersistentImage() = default;
    PersistentImage(const PersistentImage&) = delete;
    PersistentImage& operator=(const PersistentImage&) = delete;

    // Makes the image and the paint buffer for a client area of width x height pixels, the image filled with
    // the window background colour. False when a bitmap or a device context could not be made.
    bool Create(HWND window, int width, int height);

    // Where the backdrop is copied to.
    HDC ImageDC() const { return image_.dc.Get(); }
    // Outlines the rectangle, both corners included, with a one-pixel pen in `colour` and the mix mode `rop`.
    void DrawBox(const RECT& box, Colour colour, int rop);

    // A paint: the image copied into the buffer, whose DC is returned for the drawn controls to paint over;
    // then EndCompose copies the `dirty` part of the buffer to the screen.
    HDC BeginCompose();
    void EndCompose(HDC screen, const RECT& dirty);
    // Whether the screen at `at` (screen pixels) holds, pixel for pixel, the part `part` of the last paint: the
    // window's own pixels still there. False too when the screen cannot be read.
    bool OnScreen(const RECT& part, POINT at) const;

private:
    // A bitmap held selected in its own memory DC. Declared in this order, the selection is undone before the
    // DC is deleted and the bitmap freed last.
    struct Surface {
        ScopedBitmap bitmap;
        ScopedMemoryDC dc;
        ScopedSelection selection;
        bool Create(HDC compatibleWith, int width, int height);
    };

    int width_ = 0;
    int height_ = 0;
    Surface image_;
    Surface buffer_;
};
