// The program's window object: its controls, its state and every event handler, written against the platform
// interfaces so that it runs the same on Windows and under the unit tests. The notification-area icon and the
// drag keep their own state in parts of their own (shell/); the backdrop is a procedure of its own.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/Clock.h"
#include "platform/Controls.h"
#include "platform/FormHost.h"
#include "platform/SystemCalls.h"
#include "power/PowerResult.h"
#include "power/Reboot.h"
#include "power/WakeTimer.h"
#include "scheduler/CommandLine.h"
#include "scheduler/Trigger.h"
#include "shell/WindowDrag.h"
#include "shell/TrayIcon.h"

// How a close came about, as the query-unload event is told.
enum UnloadMode : int {
    kFromControlMenu = 0,  // the window's close from the system (Alt+F4, the taskbar)
    kFromCode = 1,         // the program unloading its own window (the close glyph)
    kFromWindowsSession = 2,  // the Windows session ending
    kFromTaskManager = 3,
};

// The controls the handlers read and change. The others (lines 1 to 7, the labels under the caption strip,
// "OK") carry only looks and clicks, and stay with the front end.
struct Form1Controls {
    TextBox* TxtHeure;
    TextBox* TxTChoix;
    OptionButton* ChkArreter;
    OptionButton* ChkReboot;
    OptionButton* ChkVeille;
    CommandButton* cmdCancel;
    Label* LblFond;
    Label* LblDecompte;
    LineShape* Line8;
    LineShape* Line9;
    LineShape* Line10;
    Timer* Timer1;
    // Wakes the window once a second while the shutdown.exe of a restart is watched; Timer1 is stopped by then.
    Timer* TimerRedemarrage;
};

class Form1 : private TextChangeListener {
public:
    // Listens to the clock box's changes from here on.
    Form1(const Form1Controls& controls, FormHost& host, const Clock& clock, SystemCalls& system);
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

    // Events.
    void Form_Load();
    void Form_GotFocus();
    void Form_MouseDown(int16_t Button, int16_t Shift, float X, float Y);
    void Form_MouseMove(int16_t Button, int16_t Shift, float X, float Y);
    void Form_MouseUp(int16_t Button, int16_t Shift, float X, float Y);
    // A press on the surface that no release will end: another window took the capture, or the window hid into
    // the notification area.
    void Form_LostCapture();
    // Returns the Cancel flag: never set, every close goes ahead.
    bool Form_QueryUnload(UnloadMode mode);
    void Timer1_Timer();
    void TxtHeure_Change();
    void TxTChoix_Click();
    // The entry box's text changed: typed, pasted or written by the program, as the edit control tells it.
    void TxTChoix_Change();
    // A click on an option, or an arrow key that selected it, once it is selected.
    void ChkArreter_Click();
    void ChkReboot_Click();
    void ChkVeille_Click();
    void Activer_Click();
    void SysReduc_Click();
    void SysCroix_Click();
    void cmdCancel_Click();
    // The shell broadcast "TaskbarCreated".
    void Shell_TaskbarCreated();
    // Tick of TimerRedemarrage: one look at the shutdown.exe a restart started.
    void TimerRedemarrage_Timer();
    // Windows refused Timer1 (or its next period): said once, since the clock is no longer watched.
    void Timer1_Refused();
    // The clock was set or the zone changed (WM_TIMECHANGE), or the computer resumed: the wake-up set for the target
    // is worked out again.
    void SystemClockChanged();

    // Procedures.
    void RefreshClock();
    void CheckTimeFormat();
    void RunSelectedAction();
    // A command line that arms, on the loaded window: the calls a user's click on the option (none for the time
    // alone), typing the time into the entry box and a click on "OK" make, so arming checks and tells the same.
    void ArmFromCommandLine(const CommandRequest& request);

    // Window state, all zero when the window is created.
    int16_t HeureValide = kFalse;
    int16_t Declenche = kFalse;
    TrayIcon Tray;     // IconeTray and the icon's callbacks
    WindowDrag Drag;   // Deplacement, DepartX, DepartY

private:
    void TextChanged() override { TxtHeure_Change(); }
    // The action the options select, the one place that says it: what "OK" arms and what the countdown runs.
    PowerAction SelectedAction() const;
    // The steps of "OK". A text that is no time: said, and the example written in the box.
    void RefuseTimeText();
    // The check of the action that would run; a refusal is said, and ends the arming. True when refused.
    bool RefusedBeforeArming(PowerAction action);
    // The wake-up the action needs, set, moved or taken back; true when the timer will wake the computer for it.
    bool SetWakeFor(PowerAction action);
    // The window to the notification area, with the menu's text and the balloon that say what will happen, and why
    // the computer will not wake for it if it will not.
    void WaitInTray(PowerAction action, WakeRefusal wake);
    void ReportPowerResult(const PowerResult& result);
    // Why the computer will not be woken for the action, given whether the timer took the wake-up; None for a restart,
    // which needs none.
    WakeRefusal WakeRefusalFor(PowerAction action, bool taken);
    // An option chosen while armed: the check and the wake-up follow it.
    void ChoiceChanged();
    // A delay from now in the entry box ("+1:30") replaced by the clock time at which it ends; any other text is left.
    void DelayToClockTime();
    // Keeps the system out of idle sleep while armed, or lets it sleep again; asks Windows only on a change. Letting
    // it sleep also takes back the wake-up set for the target.
    void KeepSystemAwake(bool on);
    // Sets the wake-up a lead before the next showing of the entry box's time (WakeMoment); false when the timer
    // cannot wake the computer for it, or the box holds no time (the wake-up then let go).
    bool SetWake();
    // Says which target a long gap between two clock checks passed over, with the window brought back in front.
    void TellMissedTime();

    Form1Controls c_;
    FormHost& host_;
    const Clock& clock_;
    SystemCalls& system_;
    Trigger trigger_;
    bool keepingAwake_ = false;
    // The action the arming was checked and woken for, while keepingAwake_.
    PowerAction armedAction_ = PowerAction::PowerOff;
    WakeTimer wake_;
    RestartWatch restartWatch_;
    // A target skipped since the last tick, to be said by the tick (its second of the day).
    bool missedPending_ = false;
    int missedSecond_ = 0;
    // The running countdown's target second, and a gap found between two of its ticks, to be acted on by the tick.
    int countdownSecond_ = 0;
    bool countdownCut_ = false;
    bool timerRefusalShown_ = false;
};
