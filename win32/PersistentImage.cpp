// The window's persistent image and its paint buffer.
#include "win32/PersistentImage.h"

#include <cstring>

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

bool PersistentImage::OnScreen(const RECT& part, POINT at) const {
    const int w = part.right - part.left, h = part.bottom - part.top;
    if (w <= 0 || h <= 0) return false;
    // One 32-bit DIB, the screen's pixels above and the paint's below, so that both are read in the same form
    // whatever the screen's depth, and compared as memory.
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -2 * h;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    ScopedBitmap both(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    ScopedMemoryDC dc(CreateCompatibleDC(nullptr));
    ScopedWindowDC screen(nullptr);
    if (!both || bits == nullptr || !dc || !screen) return false;
    ScopedSelection selected(dc.Get(), both.Get());
    if (!BitBlt(dc.Get(), 0, 0, w, h, screen.Get(), at.x, at.y, SRCCOPY) ||
        !BitBlt(dc.Get(), 0, h, w, h, buffer_.dc.Get(), part.left, part.top, SRCCOPY)) {
        return false;
    }
    GdiFlush();  // the DIB's memory is read next, past GDI's batch
    const size_t half = static_cast<size_t>(w) * static_cast<size_t>(h) * 4;
    const unsigned char* p = static_cast<const unsigned char*>(bits);
    return std::memcmp(p, p + half, half) == 0;
}
