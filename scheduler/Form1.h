// The program's window object: its controls, its state and every event handler and procedure, written
// against the platform interfaces so that it runs the same on Windows and under the unit tests.
#pragma once

#include <cstdint>

#include "platform/clock.h"
#include "platform/controls.h"
#include "platform/host.h"
#include "platform/syscalls.h"
#include "power/PowerResult.h"
#include "scheduler/Trigger.h"
#include "shell/TrayRecord.h"

// Booleans of the window state hold -1 for true and 0 for false.
constexpr int16_t kTrue = -1;
constexpr int16_t kFalse = 0;

// Mouse buttons as the window's mouse events report them.
constexpr int16_t kLeftButton = 1;
constexpr int16_t kRightButton = 2;
constexpr int16_t kMiddleButton = 4;

// The controls the handlers read and change. Lines 1 to 7 never change and stay with the front end.
struct Form1Controls {
    TextBox* TxtHeure;
    TextBox* TxTChoix;
    OptionButton* ChkArrêter;
    OptionButton* ChkReboot;
    OptionButton* ChkVeille;
    CommandButton* Activer;
    CommandButton* cmdCancel;
    Label* LblFond;
    Label* LblDecompte;
    Label* SysReduc;
    Label* SysCroix;
    LineShape* Line8;
    LineShape* Line9;
    LineShape* Line10;
    Timer* Timer1;
};

class Form1 {
public:
    Form1(const Form1Controls& controls, FormHost& host, const Clock& clock, SystemCalls& system);
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

    // Events.
    void Form_Load();
    void Form_GotFocus();
    void Form_MouseDown(int16_t Button, int16_t Shift, float X, float Y);
    void Form_MouseMove(int16_t Button, int16_t Shift, float X, float Y);
    void Form_MouseUp(int16_t Button, int16_t Shift, float X, float Y);
    // Returns the Cancel flag: never set, every close goes ahead.
    bool Form_QueryUnload(int UnloadMode);
    void Timer1_Timer();
    void TxtHeure_Change();
    void TxTChoix_Click();
    void Activer_Click();
    void SysReduc_Click();
    void SysCroix_Click();
    void cmdCancel_Click();
    // The shell broadcast "TaskbarCreated": every notification-area icon has vanished with the old shell.
    void Shell_TaskbarCreated();

    // Procedures.
    void RefreshClock();
    void CheckTimeFormat();
    void RunSelectedAction();
    void SendToTray();
    void RemoveTrayIcon();
    void RestoreFromTray();
    // tColor may be null (no colour given); null or 0 means the default tint 0xC80000.
    void MakeTranslucent(const Colour* tColor);

    // Window state, all zero when the window is created.
    int16_t HeureValide = kFalse;
    int16_t Declenche = kFalse;
    int16_t Deplacement = kFalse;
    int16_t DepartX = 0;
    int16_t DepartY = 0;
    TrayRecord IconeTray;

    // Callback decoding state.
    int32_t TrayMessage = 0;
    int16_t TrayBusy = kFalse;

    // True while the icon the program added is in the notification area.
    bool InTray() const { return inTray_; }

private:
    void ReportPowerResult(const PowerResult& result);
    void Flash(OptionButton* button);
    void Flash(Label* label);

    Form1Controls c_;
    FormHost& host_;
    const Clock& clock_;
    SystemCalls& system_;
    bool inTray_ = false;
    Trigger trigger_;
};
