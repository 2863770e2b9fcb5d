// The window's dialog keys and keyboard focus on Win32.
#include "win32/Win32Keyboard.h"

namespace {

// One control of the tab order: exactly one of the three members is set.
struct TabEntry {
    Win32TextBox WindowedControls::*text;
    Win32OptionButton WindowedControls::*option;
    Win32CommandButton WindowedControls::*button;
};

// By tab index: ChkReboot 0, ChkArreter 1, TxtHeure 2, TxTChoix 3, Activer 4, ChkVeille 5, cmdCancel 9 (the
// labels, the lines and the disabled caption strip never take the focus).
constexpr TabEntry kTabOrder[Win32Keyboard::kCount] = {
    {nullptr, &WindowedControls::ChkReboot, nullptr},
    {nullptr, &WindowedControls::ChkArreter, nullptr},
    {&WindowedControls::TxtHeure, nullptr, nullptr},
    {&WindowedControls::TxTChoix, nullptr, nullptr},
    {nullptr, nullptr, &WindowedControls::Activer},
    {nullptr, &WindowedControls::ChkVeille, nullptr},
    {nullptr, nullptr, &WindowedControls::cmdCancel},
};

// Visible by its own style, so that the answer holds while the window itself is hidden.
bool CanFocus(HWND hwnd) {
    return hwnd != nullptr && (GetWindowLongW(hwnd, GWL_STYLE) & WS_VISIBLE) != 0 && IsWindowEnabled(hwnd);
}

bool KeyFor(WPARAM virtualKey, DialogKey* key) {
    switch (virtualKey) {
    case VK_TAB:
        *key = GetKeyState(VK_SHIFT) < 0 ? DialogKey::ShiftTab : DialogKey::Tab;
        return true;
    case VK_DOWN:
    case VK_RIGHT:
        *key = DialogKey::Next;
        return true;
    case VK_UP:
    case VK_LEFT:
        *key = DialogKey::Previous;
        return true;
    case VK_RETURN:
        *key = DialogKey::Enter;
        return true;
    case VK_ESCAPE:
        *key = DialogKey::Escape;
        return true;
    default:
        return false;
    }
}

}  // namespace

HWND Win32Keyboard::At(int index) const {
    if (index < 0 || index >= kCount) return nullptr;
    const TabEntry& e = kTabOrder[index];
    if (e.text != nullptr) return (c_.*e.text).hwnd;
    if (e.option != nullptr) return (c_.*e.option).hwnd;
    return (c_.*e.button).hwnd;
}

int Win32Keyboard::Snapshot(KeyboardControl out[kCount], HWND focus) const {
    int focused = -1;
    for (int i = 0; i < kCount; ++i) {
        const TabEntry& e = kTabOrder[i];
        const HWND hwnd = At(i);
        out[i].kind = e.text != nullptr ? ControlKind::Edit : e.option != nullptr ? ControlKind::Option : ControlKind::Button;
        out[i].canFocus = CanFocus(hwnd);
        out[i].selected = e.option != nullptr && (c_.*e.option).Value();
        out[i].cancel = e.button == &WindowedControls::cmdCancel;
        if (hwnd == focus) focused = i;
    }
    return focused;
}

void Win32Keyboard::Apply(const KeyAction& action) {
    // Selected before it takes the focus: focus on an unselected option would be a click on Windows. Selected as a
    // click selects it, as the dialog manager's arrows do on Windows, so that the window hears of the new option.
    if (action.select >= 0 && kTabOrder[action.select].option != nullptr) Click(At(action.select));
    if (action.focus >= 0) {
        const HWND target = At(action.focus);
        SetFocus(target);
        // A text box entered from the keyboard has its text selected, as in a dialog box.
        if (kTabOrder[action.focus].text != nullptr) SendMessageW(target, EM_SETSEL, 0, -1);
    }
    if (action.click >= 0) Click(At(action.click));
}

void Win32Keyboard::Click(HWND button) {
    SendMessageW(GetParent(button), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
}

bool Win32Keyboard::PreTranslate(const MSG& msg, HWND window) {
    if (msg.message != WM_KEYDOWN || (msg.hwnd != window && !IsChild(window, msg.hwnd))) return false;
    // Ctrl with a key is the control's own (a word at a time in a text box).
    if (GetKeyState(VK_CONTROL) < 0) return false;
    DialogKey key;
    if (!KeyFor(msg.wParam, &key)) return false;
    KeyboardControl controls[kCount];
    const int focus = Snapshot(controls, GetFocus());
    const KeyAction action = ApplyDialogKey(controls, kCount, focus, key);
    if (!action.handled) return false;
    Apply(action);
    return true;
}

bool Win32Keyboard::RestoreFocus() {
    KeyboardControl controls[kCount];
    const int last = Snapshot(controls, lastFocus_);
    const int target = IsTabStop(controls, kCount, last) ? last : FirstTabStop(controls, kCount);
    if (target < 0) return false;
    SetFocus(At(target));
    return true;
}

void Win32Keyboard::SaveFocus(HWND window) {
    const HWND focus = GetFocus();
    if (focus != nullptr && IsChild(window, focus)) lastFocus_ = focus;
}

void Win32Keyboard::HidingFocused(HWND control) {
    KeyboardControl controls[kCount];
    const int from = Snapshot(controls, control);
    if (from >= 0) controls[from].canFocus = false;
    const KeyAction next = ApplyDialogKey(controls, kCount, from, DialogKey::Tab);
    if (next.focus >= 0) {
        Apply(next);
    } else {
        SetFocus(GetParent(control));
    }
}
