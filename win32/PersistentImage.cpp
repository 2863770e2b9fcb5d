// The window's persistent image and its paint buffer.
#include "win32/PersistentImage.h"

bool PersistentImage::Surface::Create(HDC compatibleWith, int width, int height) {
    bitmap.Reset(CreateCompatibleBitmap(compatibleWith, width, height));
    dc.Reset(CreateCompatibleDC(compatibleWith));
    return bitmap && dc && selection.Select(dc.Get(), bitmap.Get());
}

bool PersistentImage::Create(HWND window, int width, int height) {
    ScopedWindowDC windowDC(window);
    if (!windowDC) return false;
    if (!image_.Create(windowDC.Get(), width, height) || !buffer_.Create(windowDC.Get(), width, height)) return false;
    width_ = width;
    height_ = height;
    // The window's background colour shows until the first backdrop covers it.
    RECT all = {0, 0, width, height};
    FillRect(image_.dc.Get(), &all, GetSysColorBrush(COLOR_WINDOW));
    return true;
}

void PersistentImage::DrawBox(const RECT& box, Colour colour, int rop) {
    ScopedPen pen(CreatePen(PS_SOLID, 1, colour));
    if (!pen) return;
    HDC dc = image_.dc.Get();
    ScopedSelection penSelected(dc, pen.Get());
    ScopedSelection brushSelected(dc, GetStockObject(NULL_BRUSH));
    const int oldRop = SetROP2(dc, rop);
    // Rectangle leaves out the right and bottom edges; the box runs to its far corner.
    Rectangle(dc, box.left, box.top, box.right + 1, box.bottom + 1);
    SetROP2(dc, oldRop);
}

HDC PersistentImage::BeginCompose() {
    BitBlt(buffer_.dc.Get(), 0, 0, width_, height_, image_.dc.Get(), 0, 0, SRCCOPY);
    return buffer_.dc.Get();
}

void PersistentImage::EndCompose(HDC screen, const RECT& dirty) {
    BitBlt(screen, dirty.left, dirty.top, dirty.right - dirty.left, dirty.bottom - dirty.top, buffer_.dc.Get(),
           dirty.left, dirty.top, SRCCOPY);
}
