// The dialog keyboard rules: tab stops, the option group, Enter and Escape.
#include "win32/DialogKeys.h"

namespace {

constexpr KeyAction kIgnored{false, -1, -1, -1};
constexpr KeyAction kSwallowed{true, -1, -1, -1};

bool GroupHasSelectable(const KeyboardControl* controls, int count) {
    for (int i = 0; i < count; ++i) {
        if (controls[i].kind == ControlKind::Option && controls[i].canFocus && controls[i].selected) return true;
    }
    return false;
}

// The next index after `from` (or before it) round the list that passes `accept`; -1 when none does.
template <typename Accept>
int Step(int count, int from, int direction, Accept accept) {
    for (int n = 1; n <= count; ++n) {
        int i;
        if (from < 0) {
            i = direction > 0 ? n - 1 : count - n;
        } else {
            i = ((from + direction * n) % count + count) % count;
        }
        if (accept(i)) return i;
    }
    return -1;
}

}  // namespace

bool IsTabStop(const KeyboardControl* controls, int count, int index) {
    if (index < 0 || index >= count || !controls[index].canFocus) return false;
    if (controls[index].kind != ControlKind::Option) return true;
    if (controls[index].selected) return true;
    // A group with no selectable selected button stops at its first button that can take the focus.
    if (GroupHasSelectable(controls, count)) return false;
    for (int i = 0; i < count; ++i) {
        if (controls[i].kind == ControlKind::Option && controls[i].canFocus) return i == index;
    }
    return false;
}

int FirstTabStop(const KeyboardControl* controls, int count) {
    return Step(count, -1, 1, [&](int i) { return IsTabStop(controls, count, i); });
}

KeyAction ApplyDialogKey(const KeyboardControl* controls, int count, int focus, DialogKey key) {
    const bool onOption = focus >= 0 && focus < count && controls[focus].kind == ControlKind::Option;
    switch (key) {
    case DialogKey::Tab:
    case DialogKey::ShiftTab: {
        const int direction = key == DialogKey::Tab ? 1 : -1;
        const int to = Step(count, focus, direction, [&](int i) { return IsTabStop(controls, count, i); });
        return {true, to, -1, -1};
    }
    case DialogKey::Next:
    case DialogKey::Previous: {
        if (!onOption) return kIgnored;
        const int direction = key == DialogKey::Next ? 1 : -1;
        const int to = Step(count, focus, direction, [&](int i) {
            return controls[i].kind == ControlKind::Option && controls[i].canFocus;
        });
        if (to < 0) return kSwallowed;
        return {true, to, to, -1};
    }
    case DialogKey::Enter:
        if (focus >= 0 && focus < count && controls[focus].kind == ControlKind::Button && controls[focus].canFocus) {
            return {true, -1, -1, focus};
        }
        return kSwallowed;
    case DialogKey::Escape:
        for (int i = 0; i < count; ++i) {
            if (controls[i].kind == ControlKind::Button && controls[i].cancel && controls[i].canFocus) {
                return {true, -1, -1, i};
            }
        }
        return kSwallowed;
    }
    return kIgnored;
}
