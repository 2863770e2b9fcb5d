// Time entry and arming: clearing the entry box, checking its text, and "OK" / the minimise glyph.
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
