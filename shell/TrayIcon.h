// The notification-area icon: sending the window there, bringing it back, and the icon's mouse callbacks.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/Controls.h"
#include "platform/FormHost.h"
#include "platform/SystemCalls.h"
#include "shell/TrayRecord.h"

// Room for what the program waits to do, its NUL included: the longest, "Mise en veille prolongée de l'ordinateur à
// hh:mm:ss.", takes 54 bytes.
constexpr size_t kWaitingTextCap = 64;
// Room for the balloon's text: the shell's own field, 255 bytes and a NUL, which XP's shell shows at most.
constexpr size_t kBalloonTextCap = sizeof NotifyIconRecord::szInfo;

class TrayIcon {
public:
    TrayIcon(FormHost& host, SystemCalls& system) : host_(host), system_(system) {}
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    // Adds the icon, hides the window and takes it out of the task list. When the shell refuses the icon
    // the window stays on screen and says so: hidden without an icon it could not be brought back.
    void SendToTray();
    void RemoveTrayIcon();
    // Removes the icon and shows the window; harmless when the icon is gone and the window shown.
    void RestoreFromTray();
    // The icon's callbacks arrive as mouse moves of the window whose x carries the mouse message; a press of
    // the left button on the icon brings the window back, and a release of the right one opens its menu. Every
    // move is decoded, and acts only while the icon is in the notification area and the window hidden behind it:
    // a real move's x is a place on the screen.
    void DecodeCallback(float X);
    // What the program waits to do ("Arrêt de l'ordinateur à 22:30:00."), UTF-8: the icon's menu opens with it.
    void SetWaitingText(const char* textUtf8);
    // A balloon on the icon, under the program's title: once at each arming, to say what will happen and how to get
    // the window back. A shell that shows none (notifications off) changes nothing else.
    void ShowBalloon(const char* textUtf8);
    // "TaskbarCreated": the shell started again, and every icon vanished with the old one; or the shell kept them
    // all (a change of display scale, of monitors, a remote-desktop connection). The icon is put back either way;
    // one the shell will not take brings the window back, and says so.
    void ShellRestarted();

    // True while the icon the program added is in the notification area.
    bool InTray() const { return inTray_; }

    NotifyIconRecord IconeTray;
    // The mouse message decoded from the last mouse move, and the guard against acting on a second one
    // while the first is still being acted on.
    int32_t TrayMessage = 0;
    int16_t TrayBusy = kFalse;

private:
    // Adds the icon, or sets it anew where the shell still has it; false when it is in neither way.
    bool PlaceIcon();
    void SayIconRefused();
    void OpenMenu();

    FormHost& host_;
    SystemCalls& system_;
    bool inTray_ = false;
    char waitingText_[kWaitingTextCap] = {};
};
