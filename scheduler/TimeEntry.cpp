// Time entry and arming: clearing the entry box, checking its text, "OK" / the minimise glyph, and arming from
// the command line as they would.
#include "scheduler/Form1.h"

#include "power/ArmingChecks.h"
#include "resources/version.h"
#include "scheduler/TimeText.h"

void Form1::TxTChoix_Click() {
    // The schedule is gone with the text: nothing is left to stay awake for.
    KeepSystemAwake(false);
    c_.TxTChoix->SetText("");
}

void Form1::CheckTimeFormat() {
    HeureValide = kFalse;
    char text[kTimeTextLength + 2];
    size_t length = c_.TxTChoix->GetText(text, sizeof text);
    if (ParseTimeText(text, length, nullptr)) HeureValide = kTrue;
}

void Form1::Activer_Click() {
    CheckTimeFormat();
    if (HeureValide) {
        // Checked now, while the user is there to choose otherwise, rather than found at the target second.
        ArmingRefusal refusal = ArmingRefusal::None;
        if (c_.ChkReboot->Value()) {
            refusal = CheckBeforeArming(PowerAction::Restart, system_);
        } else if (c_.ChkVeille->Value()) {
            refusal = CheckBeforeArming(PowerAction::Hibernate, system_);
        } else if (c_.ChkArreter->Value()) {
            refusal = CheckBeforeArming(PowerAction::PowerOff, system_);
        }
        if (const char* message = ArmingRefusalMessage(refusal)) {
            KeepSystemAwake(false);
            host_.ShowMessage(message, TARVEIL_TITLE, kMbOk | kMbIconWarning);
            return;
        }
        // Before the icon: a window the shell would not hide is armed all the same.
        KeepSystemAwake(true);
        Tray.SendToTray();
        return;
    }
    KeepSystemAwake(false);
    host_.ShowMessage("Veuillez redéfinir une heure (hh:mm:ss)", "Format de l'heure incorrect !",
                     kMbOk | kMbIconInformation);
    c_.TxTChoix->SetText("Exemple :                   20:30:00");
}

void Form1::SysReduc_Click() {
    Activer_Click();
}

void Form1::ArmFromCommandLine(const CommandRequest& request) {
    if (request.verdict != CommandVerdict::Arm) return;
    OptionButton* option = nullptr;
    switch (request.action) {
    case CommandAction::Arreter: option = c_.ChkArreter; break;
    case CommandAction::Redemarrer: option = c_.ChkReboot; break;
    case CommandAction::Veille: option = c_.ChkVeille; break;
    case CommandAction::StartOption: break;
    }
    // A click on an option selects it and clears the others of the group.
    if (option != nullptr) option->SetValue(true);
    c_.TxTChoix->SetText(request.time);
    Activer_Click();
}

// Armed, as far as the machine's sleep goes, is the time from an "OK" that accepted the time until whatever ends
// that promise:
// - the action (RunSelectedAction): the countdown has run out and nothing is waited for after it, whether the
//   action goes through or is reported as refused;
// - "ANNULER !" (cmdCancel_Click): the user stopped it;
// - the window's end (Form_QueryUnload, which every close and the end of the session go through; if the process
//   ends any other way, the state goes with its thread);
// - a click in the entry box, which empties the schedule;
// - an "OK" that does not arm: a bad text is replaced by the example, which never matches, and a refused check
//   leaves the user at the window, who arms again with "OK".
// A time typed without "OK" still fires, as it always has; only an accepted "OK" promises the machine awake for it.
// Each change is one call: a second "OK" while armed asks nothing new, and a bad text with nothing armed, no call.
void Form1::KeepSystemAwake(bool on) {
    if (on == keepingAwake_) return;
    keepingAwake_ = on;
    // Not ES_DISPLAY_REQUIRED: the screen may still go dark, and a sleep the user asks for stays possible. A refusal
    // leaves the machine to its idle timer as before and must not stop the arming, and the previous state is of
    // no use here, so the result is not acted on.
    (void)system_.SetThreadExecutionState(on ? kEsContinuous | kEsSystemRequired : kEsContinuous);
}
