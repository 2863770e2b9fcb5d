// Start-up and the clock refresh of the window object.
#include "scheduler/Form1.h"

#include "scheduler/TimeText.h"

Form1::Form1(const Form1Controls& controls, FormHost& host, const Clock& clock, SystemCalls& system)
    : c_(controls), host_(host), clock_(clock), system_(system) {}

void Form1::Form_Load() {
    const Colour white = kWhite;
    MakeTranslucent(&white);
    RefreshClock();
}

void Form1::RefreshClock() {
    char text[kTimeTextLength + 1];
    FormatTimeText(SecondOfDay(clock_.Now().local), text);
    c_.TxtHeure->SetText(text);
}
