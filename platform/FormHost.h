// What the window logic needs from the window it runs in: visibility, handles, geometry in twips,
// the persistent image used for the backdrop, and the few user-facing services (message box, beep).
#pragma once

#include <cstdint>

#include "platform/Controls.h"

// Mouse buttons as the window's mouse events report them (a move reports the sum of those held).
constexpr int16_t kLeftButton = 1;
constexpr int16_t kRightButton = 2;
constexpr int16_t kMiddleButton = 4;

// Message box style bits the program uses (MB_*).
constexpr uint32_t kMbOk = 0x00000000;
constexpr uint32_t kMbIconError = 0x00000010;
constexpr uint32_t kMbIconWarning = 0x00000030;
constexpr uint32_t kMbIconInformation = 0x00000040;
// The draw mode (binary raster operation) that draws pen AND screen: a white pen leaves the image as it is.
constexpr int kR2MaskPen = 9;

class FormHost {
public:
    virtual ~FormHost() = default;

    virtual void Hide() = 0;
    // Shows the window modeless, without owner, and never leaves it minimised: a window the user or another
    // program minimised comes back restored.
    virtual void Show() = 0;
    // While on, every show also puts the window above all others and none takes the keyboard focus from the
    // program the user is working in: a countdown that cannot be seen cannot be cancelled, and one that steals
    // the focus could take keys meant for another program.
    virtual void SetInFront(bool on) = 0;
    virtual bool Visible() const = 0;
    // The program's entry in the system task list (the taskbar button).
    virtual void SetTaskVisible(bool visible) = 0;
    // Closes the window the way a close from the system would; the program ends with it.
    virtual void Unload() = 0;
    // Lets the pending window messages run once.
    virtual void DoEvents() = 0;
    // After a hide: returns once the screen shows what lay under the window rather than the window itself, or
    // after a few hundred milliseconds whatever the screen shows, so that the window always comes back.
    virtual void WaitUntilOffScreen() = 0;

    virtual int ShowMessage(const char* promptUtf8, const char* titleUtf8, uint32_t style) = 0;
    virtual void Beep() = 0;
    // The notification-area icon's menu, at the pointer: a greyed first line, HEADER, then "Afficher la fenêtre" and
    // "Quitter sans rien faire". Returns what was chosen once the menu has closed.
    enum class TrayMenuChoice { None, ShowWindow, Quit };
    virtual TrayMenuChoice ShowTrayMenu(const char* headerUtf8) = 0;

    // Handles as the system knows them (32-bit on the target).
    virtual uint32_t WindowHandle() const = 0;
    virtual uint32_t IconHandle() const = 0;

    // Twips per screen pixel: 15 at 96 DPI, 12 at 120, 10 at 144.
    virtual float TwipsPerPixelX() const = 0;
    virtual float TwipsPerPixelY() const = 0;

    // Outer top-left corner of the window on the screen, in twips; for this window it is also the
    // corner of the client area.
    virtual float Left() const = 0;
    virtual float Top() const = 0;
    virtual void SetLeft(float twips) = 0;
    virtual void SetTop(float twips) = 0;
    // Client area size in twips.
    virtual float ScaleWidth() const = 0;
    virtual float ScaleHeight() const = 0;

    // The persistent off-screen image of the client area, from which the window repaints itself.
    virtual void SetAutoRedraw(bool on) = 0;
    virtual uint32_t ImageDC() = 0;
    // Makes the window's background picture a snapshot of the persistent image.
    virtual void ImageToPicture() = 0;
    virtual void SetDrawMode(int mode) = 0;
    virtual void SetForeColor(Colour colour) = 0;
    // Draws the rectangle (x1, y1)-(x2, y2), in twips, on the persistent image with the fore colour
    // and draw mode, outline only.
    virtual void DrawBox(float x1, float y1, float x2, float y2) = 0;
};
