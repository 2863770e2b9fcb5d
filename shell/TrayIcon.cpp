// The notification-area icon: sending the window there, bringing it back, and the icon's callbacks.
#include "shell/TrayIcon.h"

#include "platform/TextWriter.h"
#include "resources/version.h"

bool TrayIcon::PlaceIcon() {
    FillTrayRecordForAdd(IconeTray, host_.WindowHandle(), host_.IconHandle());
    // The shell refuses to add an icon it already has (one it kept through a "TaskbarCreated", or one whose removal
    // it refused): that one is given the record again instead.
    return system_.Shell_NotifyIconA(kNimAdd, &IconeTray) || system_.Shell_NotifyIconA(kNimModify, &IconeTray);
}

void TrayIcon::SayIconRefused() {
    host_.ShowMessage(
        "L'icône n'a pas pu être placée dans la zone de notification : la fenêtre reste affichée.\n"
        "L'heure programmée reste valable.",
        TARVEIL_TITLE, kMbOk | kMbIconWarning);
}

void TrayIcon::SendToTray() {
    if (!PlaceIcon()) {
        SayIconRefused();
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
    if (TrayBusy || !inTray_ || host_.Visible()) return;
    TrayBusy = kTrue;
    if (TrayMessage == kWmLButtonDown) RestoreFromTray();
    // The release, as every notification-area program opens its menu; the menu's own loop notes what comes meanwhile.
    if (TrayMessage == kWmRButtonUp) OpenMenu();
    TrayBusy = kFalse;
}

void TrayIcon::OpenMenu() {
    switch (host_.ShowTrayMenu(waitingText_)) {
    case FormHost::TrayMenuChoice::ShowWindow: RestoreFromTray(); break;
    // The window's own close: the icon goes, nothing is done, nothing is kept awake or set to wake.
    case FormHost::TrayMenuChoice::Quit: host_.Unload(); break;
    case FormHost::TrayMenuChoice::None: break;
    }
}

void TrayIcon::SetWaitingText(const char* textUtf8) {
    CopyText(textUtf8, waitingText_, sizeof waitingText_);
}

void TrayIcon::ShowBalloon(const char* textUtf8) {
    NotifyIconRecord balloon;
    FillTrayRecordForDelete(balloon, host_.WindowHandle());  // the fields that name the icon
    balloon.cbSize = kNotifyIconDataV2Size;
    balloon.uFlags = kNifInfo;
    CopyText(textUtf8, balloon.szInfo, sizeof balloon.szInfo);
    CopyText(TARVEIL_TITLE, balloon.szInfoTitle, sizeof balloon.szInfoTitle);
    balloon.uTimeout = kBalloonTimeoutMs;
    balloon.dwInfoFlags = kNiifInfo;
    // Not shown (notifications off, an old shell): the icon is there all the same, and the window's menu and click.
    (void)system_.Shell_NotifyIconA(kNimModify, &balloon);
}

void TrayIcon::ShellRestarted() {
    if (!inTray_ || PlaceIcon()) return;
    // The new shell would not take the icon: show the window rather than leave it unreachable.
    inTray_ = false;
    host_.Show();
    SayIconRefused();
}
