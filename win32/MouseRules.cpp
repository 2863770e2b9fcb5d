// The window's mouse rule: the icon's callbacks, the labels' presses, the surface's presses and their ends.
#include "win32/MouseRules.h"

#include "platform/FormHost.h"

namespace {

constexpr MouseRoute kNowhere{MouseTarget::None, false, false, nullptr};

MouseRoute To(MouseTarget target, bool setCapture = false, bool releaseCapture = false, const void* label = nullptr) {
    return {target, setCapture, releaseCapture, label};
}

}  // namespace

MouseRoute RouteMouse(const MouseMessage& m, MouseState& s) {
    switch (m.input) {
    case MouseInput::Press:
        if (s.pressedLabel != nullptr) return kNowhere;
        if (!s.surfacePressed && m.label != nullptr) {
            if (m.button != kLeftButton) return kNowhere;
            s.pressedLabel = m.label;
            return To(MouseTarget::None, true);
        }
        s.surfacePressed = true;
        return To(MouseTarget::FormDown, true);
    case MouseInput::Move:
        if (m.iconInTray && !m.windowShown) return To(MouseTarget::IconCallback);
        if (s.pressedLabel != nullptr || (!s.surfacePressed && m.label != nullptr)) return kNowhere;
        return To(MouseTarget::FormMove);
    case MouseInput::Release: {
        if (const void* label = s.pressedLabel) {
            if (m.button != kLeftButton) return kNowhere;
            s.pressedLabel = nullptr;
            return To(label == m.label ? MouseTarget::LabelClick : MouseTarget::None, false, true, label);
        }
        if (!s.surfacePressed) return kNowhere;
        const bool last = m.held == 0;
        if (last) s.surfacePressed = false;
        return To(MouseTarget::FormUp, false, last);
    }
    case MouseInput::CaptureLost:
        if (m.captureToSelf) return kNowhere;
        s.pressedLabel = nullptr;
        if (!s.surfacePressed) return kNowhere;
        s.surfacePressed = false;
        return To(MouseTarget::PressEnded);
    case MouseInput::Hiding: {
        const bool labelHeld = s.pressedLabel != nullptr;
        s.pressedLabel = nullptr;
        if (!m.iconInTray || !s.surfacePressed) return To(MouseTarget::None, false, labelHeld);
        s.surfacePressed = false;
        return To(MouseTarget::PressEnded, false, true);
    }
    }
    return kNowhere;
}
