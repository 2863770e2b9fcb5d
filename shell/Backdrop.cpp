// The window's background: a copy of the screen area that lies under it.
#include "shell/Backdrop.h"

#include "shell/Rounding.h"

namespace {

constexpr Colour kDefaultTint = 0xC80000;

}  // namespace

void MakeTranslucent(FormHost& Who, SystemCalls& system, const Colour* tColor) {
    const Colour tint = (tColor == nullptr || *tColor == 0) ? kDefaultTint : *tColor;
    Who.SetAutoRedraw(true);
    if (Who.Visible()) {
        Who.Hide();
        // Let what lay under the window repaint itself before the copy. This runs the window's pending
        // messages, timer ticks included, inside whatever handler called here. A window never shown yet (at
        // load) has nothing under it to wait for.
        Who.DoEvents();
        // That pass is not enough: the hidden window's pixels stay on the screen until other programs, the
        // compositor or an X window manager take them off, each in its own time, and a copy made before then
        // is the window's own old background.
        Who.WaitUntilOffScreen();
    }

    const uint32_t desktop = system.GetDesktopWindow();
    const uint32_t desktopDC = system.GetDC(desktop).value;
    const float tppX = Who.TwipsPerPixelX();
    const float tppY = Who.TwipsPerPixelY();
    // A value that does not fit leaves 0: like every other failing step of the copy, it is passed over.
    int16_t x = 0, y = 0, w = 0, h = 0;
    (void)RoundHalfEven16(Who.Left() / tppX, &x);
    (void)RoundHalfEven16(Who.Top() / tppY, &y);
    (void)RoundHalfEven16(Who.ScaleWidth(), &w);
    (void)RoundHalfEven16(Who.ScaleHeight(), &h);
    if (desktopDC != 0) {
        // A failed copy leaves the previous background; nothing else can be done about it.
        (void)system.BitBlt(Who.ImageDC(), 0, 0, RoundHalfEven32(w / tppX), RoundHalfEven32(h / tppY), desktopDC,
                            x, y, kSrcCopy);
    }
    Who.ImageToPicture();
    Who.Show();
    if (desktopDC != 0) (void)system.ReleaseDC(desktop, desktopDC);
    Who.SetDrawMode(kR2MaskPen);
    Who.SetForeColor(tint);
    Who.DrawBox(0, 0, w, h);
}
