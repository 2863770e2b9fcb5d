// What the window draws itself instead of creating child windows for: the four labels, the ten lines and the
// caption strip picture, with their stacking order for painting and for the mouse.
#pragma once

#include <windows.h>

#include "platform/Controls.h"
#include "win32/ScopedWin.h"
#include "win32/TwipsScale.h"

// The window a drawn control lies on: where to ask for a repaint, and its scale.
struct DrawSurface {
    HWND window = nullptr;
    TwipsScale scale;

    void Invalidate(const TwipsRect& twips) const;
};

class DrawnLabel : public Label {
public:
    DrawnLabel(const DrawSurface& surface, TwipsRect rect, bool opaque, bool visible, const char* caption);
    DrawnLabel(const DrawnLabel&) = delete;
    DrawnLabel& operator=(const DrawnLabel&) = delete;

    bool Visible() const override { return visible_; }
    void SetVisible(bool visible) override;
    size_t GetCaption(char* buf, size_t cap) const override;
    void SetCaption(const char* utf8) override;
    Colour BackColor() const override { return back_; }
    void SetBackColor(Colour colour) override;

    void Paint(HDC dc, HFONT font) const;
    // Whether the point, in client pixels, falls on the label; a hidden label takes no mouse input.
    bool Contains(int xPixels, int yPixels) const;

private:
    const DrawSurface& surface_;
    TwipsRect rect_;
    bool opaque_;
    bool visible_;
    Colour back_ = kWhite;
    char caption_[kCaptionCap] = {};
};

class DrawnLine : public LineShape {
public:
    DrawnLine(const DrawSurface& surface, int x1, int y1, int x2, int y2, bool visible);
    DrawnLine(const DrawnLine&) = delete;
    DrawnLine& operator=(const DrawnLine&) = delete;

    bool Visible() const override { return visible_; }
    void SetVisible(bool visible) override;
    void Paint(HDC dc) const;

private:
    const DrawSurface& surface_;
    int x1_, y1_, x2_, y2_;
    bool visible_;
};

class WindowlessControls {
public:
    explicit WindowlessControls(const DrawSurface& surface);
    WindowlessControls(const WindowlessControls&) = delete;
    WindowlessControls& operator=(const WindowlessControls&) = delete;

    // The caption strip image for Picture1; without it the strip shows the window background colour.
    void SetStrip(HBITMAP strip) { strip_.Reset(strip); }

    // Everything back to front, then Picture1, which as a windowed control lies above them all.
    void Paint(HDC dc, HFONT labelFont) const;
    // The front-most label under the point (client pixels), or null.
    DrawnLabel* LabelAt(int xPixels, int yPixels);
    // Where Picture1 lies, in client pixels: the one part of the window that no child window ever covers.
    RECT Picture1Pixels() const;

    DrawnLabel LblFond;
    DrawnLabel LblDecompte;
    DrawnLabel SysReduc;
    DrawnLabel SysCroix;
    DrawnLine Line1;
    DrawnLine Line2;
    DrawnLine Line3;
    DrawnLine Line4;
    DrawnLine Line5;
    DrawnLine Line6;
    DrawnLine Line7;
    DrawnLine Line8;
    DrawnLine Line9;
    DrawnLine Line10;

private:
    void PaintPicture1(HDC dc) const;

    const DrawSurface& surface_;
    ScopedBitmap strip_;
};
