// The notification-area icon: sending the window there, bringing it back, and the icon's callbacks.
#include "shell/TrayIcon.h"

#include "resources/version.h"

void TrayIcon::SendToTray() {
    FillTrayRecordForAdd(IconeTray, host_.WindowHandle(), host_.IconHandle());
    if (!system_.Shell_NotifyIconA(kNimAdd, &IconeTray)) {
        host_.ShowMessage(
            "L'icône n'a pas pu être placée dans la zone de notification : la fenêtre reste affichée.\n"
            "L'heure programmée reste valable.",
            TARVEIL_TITLE, kMbOk | kMbIconWarning);
        return;
    }
    inTray_ = true;
    host_.Hide();
    host_.SetTaskVisible(false);
}

void TrayIcon::RemoveTrayIcon() {
    FillTrayRecordForDelete(IconeTray, host_.WindowHandle());
    // Removing an icon that is not there fails quietly, which is fine: the goal is that none is left.
    (void)system_.Shell_NotifyIconA(kNimDelete, &IconeTray);
    inTray_ = false;
}

void TrayIcon::RestoreFromTray() {
    RemoveTrayIcon();
    host_.Show();
}

void TrayIcon::DecodeCallback(float X) {
    TrayMessage = DecodeTrayMessage(X, host_.TwipsPerPixelX());
    if (TrayBusy) return;
    TrayBusy = kTrue;
    if (TrayMessage == kWmLButtonDown) RestoreFromTray();
    TrayBusy = kFalse;
}

void TrayIcon::ShellRestarted() {
    if (!inTray_) return;
    FillTrayRecordForAdd(IconeTray, host_.WindowHandle(), host_.IconHandle());
    if (!system_.Shell_NotifyIconA(kNimAdd, &IconeTray)) {
        // The new shell would not take the icon: show the window rather than leave it unreachable.
        inTray_ = false;
        host_.Show();
    }
}
