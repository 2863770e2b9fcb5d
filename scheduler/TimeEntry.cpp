// Time entry and arming: clearing the entry box, checking its text, "OK" / the minimise glyph, and arming from
// the command line as they would.
#include "scheduler/Form1.h"

#include <string>

#include "platform/TextWriter.h"
#include "power/ArmingChecks.h"
#include "resources/version.h"
#include "scheduler/TimeText.h"

namespace {

// What the program will do and when, as the icon's balloon and menu say it: "Arrêt de l'ordinateur à 22:30:00."
void FormatWaitingText(PowerAction action, const char* time, char (&out)[kWaitingTextCap]) {
    TextWriter text(out, sizeof out);
    switch (action) {
    case PowerAction::PowerOff: text.Put("Arrêt"); break;
    case PowerAction::Restart: text.Put("Redémarrage"); break;
    case PowerAction::Hibernate: text.Put("Mise en veille prolongée"); break;
    }
    text.Put(" de l'ordinateur à ");
    text.Put(time);
    text.Put(".");
    text.Finish();
}

constexpr char kBalloonEnd[] = "\nCliquez sur l'icône pour afficher la fenêtre.";

// Every balloon fits the shell's field whole, the longest action with each sentence: cut, it would lose its end, the
// way back to the window. Counted in UTF-8, which takes no fewer bytes than the ANSI code page the shell reads.
constexpr bool BalloonFits(WakeRefusal refusal) {
    using Text = std::char_traits<char>;
    return Text::length("Mise en veille prolongée de l'ordinateur à 00:00:00.\n") +
               Text::length(WakeRefusalSentence(refusal)) + Text::length(kBalloonEnd) <
           kBalloonTextCap;
}
static_assert(BalloonFits(WakeRefusal::ModernStandby) && BalloonFits(WakeRefusal::PowerOptions) &&
                  BalloonFits(WakeRefusal::PowerOptionsOnBattery) && BalloonFits(WakeRefusal::TimerRefused),
              "a balloon's text is longer than the shell's field");

// The balloon at arming: what and when, why the computer will not wake for it if it will not, and how to get the
// window back.
void FormatBalloonText(const char* waiting, WakeRefusal wake, char (&out)[kBalloonTextCap]) {
    TextWriter text(out, sizeof out);
    text.Put(waiting);
    if (const char* sentence = WakeRefusalSentence(wake)) {
        text.Put("\n");
        text.Put(sentence);
    }
    text.Put(kBalloonEnd);
    text.Finish();
}

}  // namespace

void Form1::TxTChoix_Click() {
    // The schedule is gone with the text: nothing is left to stay awake for.
    KeepSystemAwake(false);
    c_.TxTChoix->SetText("");
}

void Form1::CheckTimeFormat() {
    HeureValide = kFalse;
    char text[kTimeTextCap];
    size_t length = c_.TxTChoix->GetText(text, sizeof text);
    if (ParseTimeText(text, length, nullptr)) HeureValide = kTrue;
}

void Form1::Activer_Click() {
    DelayToClockTime();
    CheckTimeFormat();
    if (!HeureValide) {
        RefuseTimeText();
        return;
    }
    const PowerAction action = SelectedAction();
    if (RefusedBeforeArming(action)) return;
    // Before the icon: a window the shell would not hide is armed all the same.
    KeepSystemAwake(true);
    armedAction_ = action;
    WaitInTray(action, WakeRefusalFor(action, SetWakeFor(action)));
}

PowerAction Form1::SelectedAction() const {
    if (c_.ChkReboot->Value()) return PowerAction::Restart;
    if (c_.ChkVeille->Value()) return PowerAction::Hibernate;
    // "Arrêter", or none of the three, which the option group never allows: the option the window starts with.
    return PowerAction::PowerOff;
}

void Form1::RefuseTimeText() {
    KeepSystemAwake(false);
    host_.ShowMessage("Veuillez redéfinir une heure (hh:mm:ss)", "Format de l'heure incorrect !",
                     kMbOk | kMbIconInformation);
    c_.TxTChoix->SetText("Exemple :                   20:30:00");
}

bool Form1::RefusedBeforeArming(PowerAction action) {
    // Checked now, while the user is there to choose otherwise, rather than found at the target second.
    const char* message = ArmingRefusalMessage(CheckBeforeArming(action, system_));
    if (message == nullptr) return false;
    KeepSystemAwake(false);
    host_.ShowMessage(message, TARVEIL_TITLE, kMbOk | kMbIconWarning);
    return true;
}

bool Form1::SetWakeFor(PowerAction action) {
    // Woken for the action only where it leaves the computer off: woken to restart, it would stay on.
    if (action != PowerAction::Restart) return SetWake();
    wake_.Release();
    return false;
}

WakeRefusal Form1::WakeRefusalFor(PowerAction action, bool taken) {
    if (action == PowerAction::Restart) return WakeRefusal::None;
    // Where the standby kind or the plan stand against the wake-up, the timer's own answer means nothing: they are
    // what the user can change, or must know of.
    const WakeRefusal windows = WakeRefusalOfWindows(system_);
    if (windows != WakeRefusal::None) return windows;
    return taken ? WakeRefusal::None : WakeRefusal::TimerRefused;
}

void Form1::WaitInTray(PowerAction action, WakeRefusal wake) {
    char time[kTimeTextCap];
    c_.TxTChoix->GetText(time, sizeof time);
    char waiting[kWaitingTextCap];
    FormatWaitingText(action, time, waiting);
    Tray.SetWaitingText(waiting);
    Tray.SendToTray();
    if (!Tray.InTray()) return;
    // Said once, on screen: a new icon from Windows 7 on goes to the hidden overflow, and the window is gone.
    char balloon[kBalloonTextCap];
    FormatBalloonText(waiting, wake, balloon);
    Tray.ShowBalloon(balloon);
}

// Counted from the arming (this "OK", or the command line's), not from when the delay was typed or the line read.
void Form1::DelayToClockTime() {
    char text[kDelayTextLength + 2];
    const size_t length = c_.TxTChoix->GetText(text, sizeof text);
    int delay = 0;
    if (!ParseDelayText(text, length, &delay)) return;
    // Counted on the UTC clock, which daylight saving leaves alone, and shown by the zone's rule for the instant it
    // ends: across midnight or a change of the clock, the time the clock box will show then, never one a change skips.
    const ClockReading now = clock_.Now();
    int64_t end = now.utc + delay;
    // Like any typed time, the text acts at its first showing still ahead. Where the delay ends in the second showing
    // of the hour the end of daylight saving repeats, that first showing comes before the delay is over, and the
    // machine would go off while the work it was left to finish may still run: the time is put off to the end of the
    // repeated hour, the first clock text not shown before, late by less than that hour rather than early.
    const auto actsOnTime = [&](int64_t at) {
        return NextShowing(SecondOfDay(clock_.UtcToLocal(at)), now, clock_) >= at;
    };
    if (!actsOnTime(end)) {
        constexpr int64_t kHour = 3600;  // the most a change of the clock repeats
        int64_t early = end;
        int64_t late = end + kHour;
        while (late - early > 1) {
            const int64_t middle = early + (late - early) / 2;
            (actsOnTime(middle) ? late : early) = middle;
        }
        end = late;
    }
    char clockText[kTimeTextCap];
    FormatTimeText(SecondOfDay(clock_.UtcToLocal(end)), clockText);
    c_.TxTChoix->SetText(clockText);
}

void Form1::SysReduc_Click() {
    Activer_Click();
}

void Form1::ChkArreter_Click() {
    ChoiceChanged();
}

void Form1::ChkReboot_Click() {
    ChoiceChanged();
}

void Form1::ChkVeille_Click() {
    ChoiceChanged();
}

void Form1::ChoiceChanged() {
    // The countdown runs the option selected when it ends, so the arming follows the option, not the last "OK": its
    // check at once, while the user is at the window, and the wake-up the new action needs. Nothing while unarmed,
    // and nothing for a click on the option already armed.
    if (!keepingAwake_) return;
    const PowerAction action = SelectedAction();
    if (action == armedAction_ || RefusedBeforeArming(action)) return;
    armedAction_ = action;
    (void)SetWakeFor(action);
}

void Form1::TxTChoix_Change() {
    // The text fires by itself, "OK" or not: a new time typed while armed takes the wake-up with it, and a text that
    // is no time (yet) lets it go.
    if (keepingAwake_ && armedAction_ != PowerAction::Restart) (void)SetWake();
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
    if (!on) wake_.Release();
    if (on == keepingAwake_) return;
    keepingAwake_ = on;
    // Not ES_DISPLAY_REQUIRED: the screen may still go dark, and a sleep the user asks for stays possible. A refusal
    // leaves the machine to its idle timer as before and must not stop the arming, and the previous state is of
    // no use here, so the result is not acted on.
    (void)system_.SetThreadExecutionState(on ? kEsContinuous | kEsSystemRequired : kEsContinuous);
}

bool Form1::SetWake() {
    char text[kTimeTextCap];
    const size_t length = c_.TxTChoix->GetText(text, sizeof text);
    int target = 0;
    if (!ParseTimeText(text, length, &target)) {
        wake_.Release();
        return false;
    }
    return wake_.Set(WakeMoment(target, clock_.Now(), clock_));
}

void Form1::SystemClockChanged() {
    // Only a wake-up already set is moved: where Windows could not wake the computer at arming, it still cannot.
    if (keepingAwake_ && wake_.Held()) (void)SetWake();
}
