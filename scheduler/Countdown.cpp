// The trigger and the notice of a target it skipped, the countdown that follows a firing, the selected power action
// run at its end, and its cancellation.
#include <cstdlib>

#include "platform/TextWriter.h"
#include "power/Arret.h"
#include "power/Reboot.h"
#include "power/Veille.h"
#include "resources/version.h"
#include "scheduler/Form1.h"
#include "scheduler/TimeText.h"

namespace {

// Room for the message about a target passed over: its sentences take 252 bytes with the two times.
constexpr size_t kMissedTimeTextCap = 320;

// Writes a whole number as plain decimal text, without the C library's formatted output.
void FormatWholeNumber(long value, char (&out)[kCaptionCap]) {
    char digits[kCaptionCap];
    int n = 0;
    unsigned long magnitude = value < 0 ? 0UL - static_cast<unsigned long>(value) : static_cast<unsigned long>(value);
    do {
        digits[n++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    TextWriter text(out, sizeof out);
    if (value < 0) text.Put('-');
    while (n > 0) text.Put(digits[--n]);
    text.Finish();
}

// Each control flips between white and red by its own colour.
template <typename Control>
void Flash(Control* control) {
    control->SetBackColor(control->BackColor() == kWhite ? kRed : kWhite);
}

}  // namespace

void Form1::TxtHeure_Change() {
    char target[kTimeTextCap];
    const size_t length = c_.TxTChoix->GetText(target, sizeof target);
    // A late tick, or a local clock that jumped ahead as daylight saving started, still fires a target it passed over.
    const TriggerCheck check = trigger_.Check(target, length, clock_.Now());
    if (Declenche && check.longGap) {
        // A countdown that a sleep or a stopped process cut apart: the user could neither see its end coming nor
        // cancel it, so it does not act. The tick stops it and says so, outside this write.
        countdownCut_ = true;
        return;
    }
    if (check.verdict == TriggerVerdict::Fire) {
        if (!Declenche) countdownSecond_ = check.targetSecond;
        Declenche = kTrue;
        missedPending_ = false;
    } else if (check.verdict == TriggerVerdict::Skipped && !Declenche) {
        // Not acted on, as a target passed over in a longer gap never is, but said by the tick, outside this write.
        missedPending_ = true;
        missedSecond_ = check.targetSecond;
    }
}

void Form1::Timer1_Timer() {
    RefreshClock();
    if (countdownCut_) {
        countdownCut_ = false;
        // Stopped as "ANNULER !" stops it; the entry keeps its time for the next passage, as after a cancel.
        cmdCancel_Click();
        missedSecond_ = countdownSecond_;
        TellMissedTime();
        return;
    }
    if (!Declenche) {
        if (missedPending_) TellMissedTime();
        return;
    }

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

    char current[kCaptionCap];
    c_.LblDecompte->GetCaption(current, sizeof current);
    const long count = std::strtol(current, nullptr, 10) - 1;
    char caption[kCaptionCap];
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
    // Read once: an option clicked while a failure's message box is up (its loop lets clicks through) runs nothing.
    switch (SelectedAction()) {
    case PowerAction::Restart:
        ReportPowerResult(RedemarrerOrdinateur(system_, restartWatch_));
        // shutdown.exe may yet refuse, or its restart never come: it is looked at once a second from now on.
        if (restartWatch_.Watching()) {
            c_.TimerRedemarrage->SetEnabled(true);
            if (!c_.TimerRedemarrage->Enabled()) {
                restartWatch_.Stop();
                host_.ShowMessage("Windows a refusé le minuteur qui surveille le redémarrage : si l'ordinateur n'a pas "
                                  "redémarré d'ici une minute, redémarrez-le vous-même.",
                                  TARVEIL_TITLE, kMbOk | kMbIconError);
            }
        }
        break;
    case PowerAction::Hibernate: ReportPowerResult(MettreEnVeille(system_)); break;
    case PowerAction::PowerOff: ReportPowerResult(EteindreOrdinateur(system_)); break;
    }
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
    // Told not to act: a restart's shutdown.exe still watched gets no second try from the program.
    restartWatch_.Stop();
    c_.TimerRedemarrage->SetEnabled(false);
    // After an action that did not end the program, the clock and the schedule start again.
    if (!c_.Timer1->Enabled()) {
        c_.Timer1->SetEnabled(true);
        if (!c_.Timer1->Enabled()) Timer1_Refused();
    }
}

void Form1::Timer1_Refused() {
    // Without its timer the program no longer watches the clock: the scheduled action would silently not happen.
    if (timerRefusalShown_) return;
    timerRefusalShown_ = true;
    host_.ShowMessage("Windows a refusé le minuteur de " TARVEIL_TITLE " : l'heure n'est plus surveillée et l'action "
                      "programmée n'aura pas lieu.",
                      TARVEIL_TITLE, kMbOk | kMbIconError);
}

void Form1::TimerRedemarrage_Timer() {
    PowerResult result{PowerAction::Restart, PowerStep::None};
    if (!restartWatch_.Look(&result)) {
        // Nothing left to watch (a cancel came between): this timer has no more to do.
        if (!restartWatch_.Watching()) c_.TimerRedemarrage->SetEnabled(false);
        return;
    }
    // Stopped before any message: the box's own loop lets ticks run, and none may look again.
    c_.TimerRedemarrage->SetEnabled(false);
    ReportPowerResult(result);
}

void Form1::TellMissedTime() {
    missedPending_ = false;
    char time[kTimeTextCap];
    FormatTimeText(missedSecond_, time);
    char message[kMissedTimeTextCap];
    TextWriter text(message, sizeof message);
    text.Put("L'heure programmée, ");
    text.Put(time);
    text.Put(", est passée pendant que l'ordinateur était en veille ou que le programme était arrêté : l'action "
             "prévue n'a pas eu lieu.\nElle aura lieu quand l'horloge affichera de nouveau ");
    text.Put(time);
    text.Put(", sauf si vous fermez le programme.");
    text.Finish();

    // Brought back as the countdown brings it, above the others without the keyboard: the user comes back to a
    // machine that did not do what was asked, and must see why. The icon goes, as for a countdown; the entry box
    // keeps the time, which stays armed.
    host_.SetInFront(true);
    Tray.RestoreFromTray();
    // A message box rather than a text in the window, which has no room for one. Its modal loop goes on
    // dispatching the window's messages, so the clock keeps ticking under it and a countdown due meanwhile still
    // starts and acts; owned by the window in front, the box stays above it.
    host_.ShowMessage(message, TARVEIL_TITLE, kMbOk | kMbIconWarning);
    // Read: the window goes back among the others, unless a countdown began under the box and needs it in front.
    if (!Declenche) host_.SetInFront(false);
}
