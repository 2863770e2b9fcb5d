// Start-up, the clock, the window's mouse events and its close.
#include "scheduler/Form1.h"

#include "scheduler/TimeText.h"
#include "shell/Backdrop.h"

Form1::Form1(const Form1Controls& controls, FormHost& host, const Clock& clock, SystemCalls& system)
    : Tray(host, system), Drag(host), c_(controls), host_(host), clock_(clock), system_(system), wake_(system),
      restartWatch_(system) {
    c_.TxtHeure->SetChangeListener(this);
}

void Form1::Form_Load() {
    const Colour white = kWhite;
    MakeTranslucent(host_, system_, &white);
    RefreshClock();
}

void Form1::RefreshClock() {
    char text[kTimeTextCap];
    FormatTimeText(SecondOfDay(clock_.Now().local), text);
    c_.TxtHeure->SetText(text);
}

void Form1::Form_GotFocus() {
    const Colour white = kWhite;
    MakeTranslucent(host_, system_, &white);
}

void Form1::Form_MouseDown(int16_t /*Button*/, int16_t /*Shift*/, float X, float Y) {
    Drag.MouseDown(X, Y);
}

void Form1::Form_MouseMove(int16_t Button, int16_t /*Shift*/, float X, float Y) {
    Drag.MouseMove(Button, X, Y);
    Tray.DecodeCallback(X);
}

void Form1::Form_MouseUp(int16_t /*Button*/, int16_t /*Shift*/, float /*X*/, float /*Y*/) {
    Drag.MouseUp();
    const Colour white = kWhite;
    MakeTranslucent(host_, system_, &white);
}

void Form1::Form_LostCapture() {
    // The drag alone ends, without the new backdrop a release takes: that would show again a window that is hiding.
    Drag.MouseUp();
}

void Form1::SysCroix_Click() {
    host_.Unload();
}

bool Form1::Form_QueryUnload(UnloadMode /*mode*/) {
    Tray.RemoveTrayIcon();
    KeepSystemAwake(false);
    // A restart's shutdown.exe still watched is let go with its handle: nothing is asked of Windows any more.
    restartWatch_.Stop();
    c_.TimerRedemarrage->SetEnabled(false);
    return false;
}

void Form1::Shell_TaskbarCreated() {
    Tray.ShellRestarted();
}
