// The labels, lines and caption strip picture the window draws itself.
#include "win32/WindowlessControls.h"

#include <cstdlib>
#include <cstring>

#include "platform/TextWriter.h"
#include "win32/WideText.h"

namespace {

// One layer of the window's windowless stack: a label or a line.
struct Layer {
    DrawnLabel WindowlessControls::*label;
    DrawnLine WindowlessControls::*line;
};

// Back to front. The countdown digit and the panel's edges lie over the panel, so that they stay visible
// while it flashes; the labels that catch the glyphs' clicks lie under the strip picture.
constexpr Layer kBackToFront[] = {
    {nullptr, &WindowlessControls::Line3},  {nullptr, &WindowlessControls::Line4},
    {nullptr, &WindowlessControls::Line1},  {nullptr, &WindowlessControls::Line2},
    {&WindowlessControls::LblFond, nullptr}, {nullptr, &WindowlessControls::Line5},
    {nullptr, &WindowlessControls::Line6},  {nullptr, &WindowlessControls::Line7},
    {&WindowlessControls::LblDecompte, nullptr}, {nullptr, &WindowlessControls::Line8},
    {&WindowlessControls::SysCroix, nullptr}, {&WindowlessControls::SysReduc, nullptr},
    {nullptr, &WindowlessControls::Line9},  {nullptr, &WindowlessControls::Line10},
};

// Front to back, the labels only: lines take no mouse input.
constexpr DrawnLabel WindowlessControls::*kLabelsFrontToBack[] = {
    &WindowlessControls::SysReduc, &WindowlessControls::SysCroix, &WindowlessControls::LblDecompte,
    &WindowlessControls::LblFond};

// Picture1 and the strip image in it, drawn for 96 DPI: 240 x 16 pixels, 3600 x 240 twips.
constexpr TwipsRect kPicture1{0, 0, 3635, 270};
constexpr int kStripWidthTwips = 3600;
constexpr int kStripHeightTwips = 240;

}  // namespace

void DrawSurface::Invalidate(const TwipsRect& twips) const {
    if (window == nullptr) return;
    RECT px = scale.PxRect(twips);
    InvalidateRect(window, &px, FALSE);
}

DrawnLabel::DrawnLabel(const DrawSurface& surface, TwipsRect rect, bool opaque, bool visible, const char* caption)
    : surface_(surface), rect_(rect), opaque_(opaque), visible_(visible) {
    CopyText(caption, caption_, sizeof caption_);
}

size_t DrawnLabel::GetCaption(char* buf, size_t cap) const {
    return CopyText(caption_, buf, cap);
}

void DrawnLabel::SetVisible(bool visible) {
    if (visible == visible_) return;
    visible_ = visible;
    surface_.Invalidate(rect_);
}

void DrawnLabel::SetCaption(const char* utf8) {
    // Captions are short (the countdown digit); a longer one is cut.
    CopyText(utf8, caption_, sizeof caption_);
    if (visible_) surface_.Invalidate(rect_);
}

void DrawnLabel::SetBackColor(Colour colour) {
    if (colour == back_) return;
    back_ = colour;
    if (visible_ && opaque_) surface_.Invalidate(rect_);
}

void DrawnLabel::Paint(HDC dc, HFONT font) const {
    if (!visible_) return;
    RECT r = surface_.scale.PxRect(rect_);
    if (opaque_) {
        ScopedBrush brush(CreateSolidBrush(back_));
        if (brush) FillRect(dc, &r, brush.Get());
    }
    if (caption_[0] == '\0') return;
    wchar_t text[kCaptionCap];  // no more UTF-16 units than the caption has bytes
    const int length = Utf8ToWide(caption_, text, kCaptionCap);
    ScopedSelection fontSelected(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    DrawTextW(dc, text, length, &r, DT_CENTER | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
}

bool DrawnLabel::Contains(int xPixels, int yPixels) const {
    if (!visible_) return false;
    RECT r = surface_.scale.PxRect(rect_);
    return xPixels >= r.left && xPixels < r.right && yPixels >= r.top && yPixels < r.bottom;
}

DrawnLine::DrawnLine(const DrawSurface& surface, int x1, int y1, int x2, int y2, bool visible)
    : surface_(surface), x1_(x1), y1_(y1), x2_(x2), y2_(y2), visible_(visible) {}

void DrawnLine::SetVisible(bool visible) {
    if (visible == visible_) return;
    visible_ = visible;
    const int left = x1_ < x2_ ? x1_ : x2_;
    const int top = y1_ < y2_ ? y1_ : y2_;
    // Padded by two pixels' worth, so that the end points are repainted too.
    surface_.Invalidate({left - 30, top - 30, std::abs(x2_ - x1_) + 60, std::abs(y2_ - y1_) + 60});
}

void DrawnLine::Paint(HDC dc) const {
    if (!visible_) return;
    const COLORREF colour = GetSysColor(COLOR_WINDOWTEXT);
    ScopedPen pen(CreatePen(PS_SOLID, 1, colour));
    if (!pen) return;
    ScopedSelection penSelected(dc, pen.Get());
    const TwipsScale& s = surface_.scale;
    const int x1 = s.PxX(x1_), y1 = s.PxY(y1_), x2 = s.PxX(x2_), y2 = s.PxY(y2_);
    MoveToEx(dc, x1, y1, nullptr);
    LineTo(dc, x2, y2);
    // LineTo leaves out the last point; the line runs to its end.
    SetPixel(dc, x2, y2, colour);
}

WindowlessControls::WindowlessControls(const DrawSurface& surface)
    : LblFond(surface, {360, 1080, 2895, 975}, true, true, ""),
      LblDecompte(surface, {360, 1830, 255, 255}, false, false, "6"),
      SysReduc(surface, {3180, 0, 255, 255}, false, true, ""),
      SysCroix(surface, {3420, 0, 195, 255}, false, true, ""),
      Line1(surface, 3360, 840, 2640, 600, true),
      Line2(surface, 240, 840, 960, 600, true),
      Line3(surface, 1920, 240, 1920, 360, true),
      Line4(surface, 1680, 240, 1680, 360, true),
      Line5(surface, 360, 1080, 360, 2040, true),
      Line6(surface, 3240, 1200, 3240, 2040, true),
      Line7(surface, 3240, 2040, 360, 2040, true),
      Line8(surface, 1800, 2040, 1800, 2280, false),
      Line9(surface, 360, 1800, 600, 1800, false),
      Line10(surface, 600, 2040, 600, 1800, false),
      surface_(surface) {}

void WindowlessControls::Paint(HDC dc, HFONT labelFont) const {
    for (const Layer& layer : kBackToFront) {
        if (layer.label != nullptr) (this->*layer.label).Paint(dc, labelFont);
        if (layer.line != nullptr) (this->*layer.line).Paint(dc);
    }
    PaintPicture1(dc);
}

DrawnLabel* WindowlessControls::LabelAt(int xPixels, int yPixels) {
    for (DrawnLabel WindowlessControls::*label : kLabelsFrontToBack) {
        if ((this->*label).Contains(xPixels, yPixels)) return &(this->*label);
    }
    return nullptr;
}

RECT WindowlessControls::Picture1Pixels() const {
    return surface_.scale.PxRect(kPicture1);
}

void WindowlessControls::PaintPicture1(HDC dc) const {
    const TwipsScale& s = surface_.scale;
    RECT box = Picture1Pixels();
    FillRect(dc, &box, GetSysColorBrush(COLOR_WINDOW));
    if (!strip_) return;
    ScopedMemoryDC source(CreateCompatibleDC(dc));
    ScopedSelection stripSelected;
    BITMAP info;
    if (!source || !stripSelected.Select(source.Get(), strip_.Get()) || !GetObjectW(strip_.Get(), sizeof info, &info)) {
        return;
    }
    const int width = s.PxX(kStripWidthTwips);
    const int height = s.PxY(kStripHeightTwips);
    if (width == info.bmWidth && height == info.bmHeight) {
        BitBlt(dc, box.left, box.top, width, height, source.Get(), 0, 0, SRCCOPY);
    } else {
        SetStretchBltMode(dc, COLORONCOLOR);
        StretchBlt(dc, box.left, box.top, width, height, source.Get(), 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
    }
}
