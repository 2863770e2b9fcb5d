// The notification-area icon: sending the window there, bringing it back, and the icon's callbacks.
#include "scheduler/Form1.h"

void Form1::SendToTray() {
    FillTrayRecordForAdd(IconeTray, host_.WindowHandle(), host_.IconHandle());
    if (!system_.Shell_NotifyIconA(kNimAdd, IconeTray.bytes)) {
        // Hidden without an icon, the window could not be brought back before the target time.
        host_.ShowMessage(
            "L'icône n'a pas pu être placée dans la zone de notification : la fenêtre reste affichée.\n"
            "L'heure programmée reste valable.",
            "Tarveil XP", kMbOk | kMbIconWarning);
        return;
    }
    inTray_ = true;
    host_.Hide();
    host_.SetTaskVisible(false);
}

void Form1::RemoveTrayIcon() {
    FillTrayRecordForDelete(IconeTray, host_.WindowHandle());
    // Removing an icon that is not there fails quietly, which is fine: the goal is that none is left.
    (void)system_.Shell_NotifyIconA(kNimDelete, IconeTray.bytes);
    inTray_ = false;
}

void Form1::RestoreFromTray() {
    RemoveTrayIcon();
    host_.Show();
}

void Form1::Shell_TaskbarCreated() {
    if (!inTray_) return;
    FillTrayRecordForAdd(IconeTray, host_.WindowHandle(), host_.IconHandle());
    if (!system_.Shell_NotifyIconA(kNimAdd, IconeTray.bytes)) {
        // The new shell would not take the icon: show the window rather than leave it unreachable.
        inTray_ = false;
        host_.Show();
    }
}

bool Form1::Form_QueryUnload(int /*UnloadMode*/) {
    RemoveTrayIcon();
    return false;
}
