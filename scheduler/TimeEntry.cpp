// Time entry and arming: clearing the entry box, checking its text, "OK" / the minimise glyph, and arming from
// the command line as they would.
#include "scheduler/Form1.h"

#include "scheduler/TimeText.h"

void Form1::TxTChoix_Click() {
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
        Tray.SendToTray();
        return;
    }
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
