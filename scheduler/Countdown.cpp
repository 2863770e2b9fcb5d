// The trigger, the countdown that follows it, the choice of the power action, and its cancellation.
#include <cstdlib>

#include "power/Arret.h"
#include "power/Reboot.h"
#include "power/Veille.h"
#include "resources/version.h"
#include "scheduler/Form1.h"
#include "scheduler/TimeText.h"

namespace {

// Writes a whole number as plain decimal text, without the C library's formatted output.
void FormatWholeNumber(long value, char out[24]) {
    char digits[24];
    int n = 0;
    unsigned long magnitude = value < 0 ? 0UL - static_cast<unsigned long>(value) : static_cast<unsigned long>(value);
    do {
        digits[n++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    int pos = 0;
    if (value < 0) out[pos++] = '-';
    while (n > 0) out[pos++] = digits[--n];
    out[pos] = '\0';
}

// Each control flips between white and red by its own colour.
template <typename Control>
void Flash(Control* control) {
    control->SetBackColor(control->BackColor() == kWhite ? kRed : kWhite);
}

}  // namespace

void Form1::TxtHeure_Change() {
    char target[kTimeTextLength + 2];
    const size_t length = c_.TxTChoix->GetText(target, sizeof target);
    // A late tick, or a local clock that jumped ahead as daylight saving started, still fires a target it passed over.
    if (trigger_.Fires(target, length, clock_.Now())) Declenche = kTrue;
}

void Form1::Timer1_Timer() {
    RefreshClock();
    if (!Declenche) return;

    // From the first step until a cancel, the window stays above the others without taking the focus.
    host_.SetInFront(true);
    Tray.RestoreFromTray();
    c_.LblDecompte->SetVisible(true);
    c_.Line8->SetVisible(true);
    c_.Line9->SetVisible(true);
    c_.Line10->SetVisible(true);
    c_.cmdCancel->SetVisible(true);

    Flash(c_.LblFond);
    Flash(c_.ChkReboot);
    Flash(c_.ChkArreter);
    Flash(c_.ChkVeille);

    char current[24];
    c_.LblDecompte->GetCaption(current, sizeof current);
    const long count = std::strtol(current, nullptr, 10) - 1;
    char caption[24];
    FormatWholeNumber(count, caption);
    c_.LblDecompte->SetCaption(caption);

    c_.LblDecompte->GetCaption(current, sizeof current);
    if (std::strtol(current, nullptr, 10) != 0) {
        host_.Beep();
        return;
    }
    c_.Timer1->SetEnabled(false);
    RunSelectedAction();
}

void Form1::ReportPowerResult(const PowerResult& result) {
    // The action could not be carried out: say so rather than let the countdown end in silence.
    if (const char* message = PowerFailureMessage(result)) host_.ShowMessage(message, TARVEIL_TITLE, kMbOk | kMbIconError);
}

void Form1::RunSelectedAction() {
    // The end of the armed time (see KeepSystemAwake), whatever the action then does.
    KeepSystemAwake(false);
    if (c_.ChkReboot->Value()) ReportPowerResult(RedemarrerOrdinateur(system_));
    if (c_.ChkVeille->Value()) ReportPowerResult(MettreEnVeille(system_));
    if (c_.ChkArreter->Value()) ReportPowerResult(EteindreOrdinateur(system_));
}

void Form1::cmdCancel_Click() {
    Declenche = kFalse;
    KeepSystemAwake(false);
    c_.LblDecompte->SetVisible(false);
    c_.LblDecompte->SetCaption("6");
    c_.Line8->SetVisible(false);
    c_.Line9->SetVisible(false);
    c_.Line10->SetVisible(false);
    c_.cmdCancel->SetVisible(false);
    c_.LblFond->SetBackColor(kWhite);
    c_.ChkReboot->SetBackColor(kWhite);
    c_.ChkArreter->SetBackColor(kWhite);
    c_.ChkVeille->SetBackColor(kWhite);
    host_.SetInFront(false);
    // After an action that did not end the program, the clock and the schedule start again.
    if (!c_.Timer1->Enabled()) c_.Timer1->SetEnabled(true);
}
