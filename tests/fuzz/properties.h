// Properties the program must hold for any input, shared by the libFuzzer targets and the seeded unit run:
// the strict time check, the icon's callback decoding and the trigger. Each returns "" or what went wrong.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "fake_form.h"
#include "scheduler/TimeText.h"
#include "shell/TrayRecord.h"

namespace props {

// Hands out the fuzzer's bytes as small values; zeros once they run out, so every input is a whole case.
class Bytes {
public:
    Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool Empty() const { return pos_ >= size_; }
    uint8_t U8() { return pos_ < size_ ? data_[pos_++] : 0; }
    uint16_t U16() { return static_cast<uint16_t>(U8() | U8() << 8); }
    uint32_t U32() { return U16() | static_cast<uint32_t>(U16()) << 16; }
    float F32() {
        uint32_t bits = U32();
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return f;
    }
    std::string Text(size_t most) {
        size_t n = U8() % (most + 1);
        std::string s;
        while (n-- > 0 && !Empty()) s.push_back(static_cast<char>(U8()));
        return s;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

// --- Oracles, written apart from the product's code ---------------------------------------------------------------

// Which characters each place of "hh:mm:ss" allows, read as a table: the second hour digit depends on the first.
inline bool OracleTimeText(const std::string& text, int* secondOfDay) {
    static const char kDigits[] = "0123456789";
    static const char kUpToFive[] = "012345";
    static const char* const kAllowed[8] = {"012", kDigits, ":", kUpToFive, kDigits, ":", kUpToFive, kDigits};
    if (text.size() != 8) return false;
    for (int i = 0; i < 8; ++i) {
        const char* set = kAllowed[i];
        if (i == 1 && text[0] == '2') set = "0123";
        if (std::memchr(set, text[i], std::strlen(set)) == nullptr) return false;
    }
    auto digit = [&](int i) { return static_cast<int>(std::strchr(kDigits, text[i]) - kDigits); };
    *secondOfDay = ((digit(0) * 10 + digit(1)) * 60 + digit(3) * 10 + digit(4)) * 60 + digit(6) * 10 + digit(7);
    return true;
}

// The mouse message in a callback: x over twips per pixel, halves to the even neighbour; 0 when it is no number
// or does not fit 32 bits.
inline int64_t OracleTrayMessage(float x, float tpp) {
    const double q = static_cast<double>(x) / static_cast<double>(tpp);
    if (std::isnan(q) || q < -2147483648.5 || q > 2147483647.5) return 0;
    const double low = std::floor(q);
    const double frac = q - low;
    double r = low;
    if (frac > 0.5) r = low + 1;
    if (frac == 0.5) r = std::fmod(low, 2.0) == 0.0 ? low : low + 1;
    if (r < -2147483648.0 || r > 2147483647.0) return 0;
    return static_cast<int64_t>(r);
}

// --- Helpers ----------------------------------------------------------------------------------------------------

inline size_t CountCalls(const FakeSystemCalls& s, size_t from, const std::string& text) {
    size_t n = 0;
    for (size_t i = from; i < s.calls.size(); ++i) n += s.calls[i].Text() == text;
    return n;
}

inline size_t CountSteps(const FakeHost& h, size_t from, const std::string& what) {
    size_t n = 0;
    for (size_t i = from; i < h.log.size(); ++i) n += h.log[i].what == what;
    return n;
}

// --- The time check and "OK" --------------------------------------------------------------------------------------

inline std::string TimeTextProperty(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    int expected = -1;
    const bool valid = OracleTimeText(text, &expected);
    int parsed = -1;
    if (ParseTimeText(text.data(), text.size(), &parsed) != valid) return valid ? "valid text refused" : "bad text accepted";
    if (valid && parsed != expected) return "wrong second of day " + std::to_string(parsed);
    if (ParseTimeText(text.data(), text.size(), nullptr) != valid) return "answer changes without an out pointer";
    if (!text.empty() && text[0] == '+') return "";  // a delay from now: a table of its own (time_entry_test.cpp)

    // Through the window: "OK" (or the minimise glyph, by the first byte) hides it exactly for a valid text.
    FormFixture f;
    f.form->Form_Load();
    f.TxTChoix.text = text;
    const size_t steps = f.host.log.size(), calls = f.system.calls.size();
    if (size > 0 && data[0] & 1) f.form->SysReduc_Click(); else f.form->Activer_Click();
    const size_t hides = CountSteps(f.host, steps, "Hide");
    const size_t adds = CountCalls(f.system, calls, "Shell_NotifyIconA(0x0, &)");
    if (valid) {
        if (f.host.visible || hides != 1 || adds != 1 || !f.form->Tray.InTray()) return "valid text did not send the window to the tray";
        if (!f.host.messages.empty()) return "message box for a valid text";
        if (f.TxTChoix.text != text) return "valid text rewritten";
        if (f.form->HeureValide != kTrue) return "HeureValide not set";
        return "";
    }
    if (!f.host.visible || hides != 0 || adds != 0 || f.form->Tray.InTray()) return "bad text hid the window";
    if (f.host.messages.size() != 1) return "not exactly one message box for a bad text";
    const FakeHost::Message& m = f.host.messages[0];
    if (m.prompt != "Veuillez redéfinir une heure (hh:mm:ss)" || m.title != "Format de l'heure incorrect !" ||
        m.style != (kMbOk | kMbIconInformation))
        return "wrong message box";
    if (f.TxTChoix.text != "Exemple :                   20:30:00") return "example text not written";
    if (f.form->HeureValide != kFalse) return "HeureValide set for a bad text";
    return "";
}

// --- The icon's callbacks -----------------------------------------------------------------------------------------

// Events: arming, mouse presses and moves (the icon's callbacks among them), a new shell, the decoder's busy flag.
// A restore is one icon removal plus one Show, made only by the icon's callback (icon in, hidden) of 513 when not busy.
inline std::string TrayProperty(const uint8_t* data, size_t size) {
    Bytes in(data, size);
    static const float kTpp[] = {15.0f, 12.0f, 10.0f, 7.5f, 9.6f, 1.0f};
    FormFixture f;
    const uint8_t t = in.U8();
    f.host.tppX = t < 0xF0 ? kTpp[t % 6] : in.F32();
    if (!(f.host.tppX > 0.0f) || !std::isfinite(f.host.tppX)) f.host.tppX = 15.0f;
    f.form->Form_Load();
    f.TxTChoix.text = "21:15:00";

    for (int event = 0; event < 64 && !in.Empty(); ++event) {
        const size_t steps = f.host.log.size(), calls = f.system.calls.size();
        const bool wasVisible = f.host.visible, wasInTray = f.form->Tray.InTray();
        const int16_t wasBusy = f.form->Tray.TrayBusy;
        const uint8_t kind = in.U8() % 8;
        size_t restoresExpected = 0;
        bool mayDrag = false;
        if (kind == 0) {
            f.form->Activer_Click();
            // "21:15:00" is valid and the shell takes the icon: into the tray, whatever the state before.
            if (f.host.visible || !f.form->Tray.InTray()) return "arming left the window shown";
            if (CountSteps(f.host, steps, "Hide") != 1 || CountSteps(f.host, steps, "Show") != 0) return "arming: not one Hide";
            continue;
        } else if (kind == 1) {
            // A refusal is scripted only when the icon will be asked for, or it would fall on a later call.
            const bool refused = in.U8() & 1;
            if (refused && wasInTray) f.system.FailNext("Shell_NotifyIconA", 2);
            f.form->Shell_TaskbarCreated();
            const size_t adds = CountCalls(f.system, calls, "Shell_NotifyIconA(0x0, &)");
            if (adds != (wasInTray ? 1u : 0u)) return "a new shell re-added the icon a wrong number of times";
            if (CountSteps(f.host, steps, "Hide") != 0) return "a new shell hid the window";
            if (wasInTray && !f.form->Tray.InTray() && !f.host.visible) return "icon refused by the new shell and window hidden";
            continue;
        } else if (kind == 2) {
            f.form->Tray.TrayBusy = f.form->Tray.TrayBusy ? kFalse : kTrue;
            continue;
        } else if (kind == 3) {
            const int16_t button = static_cast<int16_t>(in.U8() % 5);
            f.form->Form_MouseDown(button, 0, static_cast<float>(in.U16() % 4000), static_cast<float>(in.U16() % 3000));
            mayDrag = true;
        } else {
            // A move: mostly near the left-button message, sometimes any float.
            const uint8_t how = in.U8();
            const int16_t button = static_cast<int16_t>(in.U8() % 5);
            float x;
            if (how < 0x80) {
                const int msg = 509 + how % 8;
                x = static_cast<float>(msg) * f.host.tppX + static_cast<float>(static_cast<int8_t>(in.U8())) / 16.0f;
            } else {
                x = in.F32();
            }
            const float y = (how & 1) ? in.F32() : 0.0f;
            const int64_t message = OracleTrayMessage(x, f.host.tppX);
            restoresExpected = (!wasBusy && wasInTray && !wasVisible && message == kWmLButtonDown) ? 1 : 0;
            mayDrag = button == kLeftButton && f.form->Drag.Deplacement;
            f.form->Form_MouseMove(button, 0, x, y);
            if (f.form->Tray.TrayMessage != message) return "TrayMessage " + std::to_string(f.form->Tray.TrayMessage) +
                                                      " where " + std::to_string(message) + " was due";
            if (f.form->Tray.TrayBusy != wasBusy) return "busy flag left changed";
        }
        const size_t removals = CountCalls(f.system, calls, "Shell_NotifyIconA(0x2, &)");
        const size_t shows = CountSteps(f.host, steps, "Show");
        if (removals != restoresExpected || shows != restoresExpected)
            return "restores: " + std::to_string(removals) + " removals, " + std::to_string(shows) + " shows, " +
                   std::to_string(restoresExpected) + " due";
        if (CountSteps(f.host, steps, "Hide") != 0) return "a mouse event hid the window";
        if (CountCalls(f.system, calls, "Shell_NotifyIconA(0x0, &)") != 0) return "icon added by a mouse event";
        if (!mayDrag && (CountSteps(f.host, steps, "SetLeft") + CountSteps(f.host, steps, "SetTop")) != 0)
            return "window moved without a left-button drag";
        if (restoresExpected && (f.form->Tray.InTray() || !f.host.visible)) return "restore left the window hidden";
        if (!restoresExpected && (f.host.visible != wasVisible || f.form->Tray.InTray() != wasInTray))
            return "window state changed without a restore";
    }
    return "";
}

// --- The trigger ----------------------------------------------------------------------------------------------------

// A check of the clock as the oracle sees it: the UTC and the local time, in seconds.
struct Instant {
    int64_t utc, local;
};

enum class Due { Nothing, Fire, Skipped };

// The rule: a clock check fires when its local time of day is the target; or when, since the check before it, the
// UTC clock moved on by 0 to 60 s, the local clock moved no further ahead than that plus the 26 h between the zones
// furthest apart (UTC-12, UTC+14), and one of the local seconds after the previous check up to this one is the
// target. The same passage over the target with the UTC clock moved on by more than 60 s is a skipped target, said
// and not fired. Counted second by second here.
inline Due OracleVerdict(const std::string& target, const Instant* previous, Instant now) {
    int second = 0;
    if (!OracleTimeText(target, &second)) return Due::Nothing;
    if ((now.local % 86400 + 86400) % 86400 == second) return Due::Fire;
    if (previous == nullptr) return Due::Nothing;
    const int64_t utcMoved = now.utc - previous->utc;
    if (utcMoved < 0) return Due::Nothing;
    const int64_t span = now.local - previous->local;
    if (span > utcMoved + 26 * 3600) return Due::Nothing;
    // Walked a second at a time from the previous check; a day's walk has met every time of day.
    int64_t shown = (previous->local % 86400 + 86400) % 86400;
    for (int64_t k = 0; k < span && k < 86400; ++k) {
        if (++shown == 86400) shown = 0;
        if (shown == second) return utcMoved <= 60 ? Due::Fire : Due::Skipped;
    }
    return Due::Nothing;
}

inline bool OracleFires(const std::string& target, const Instant* previous, Instant now) {
    return OracleVerdict(target, previous, now) == Due::Fire;
}

inline std::string RandomTarget(Bytes& in, int64_t now) {
    const uint8_t how = in.U8() % 4;
    if (how == 3) return in.Text(12);
    // Near the clock, so that the clock really passes it.
    const int64_t at = now + static_cast<int16_t>(in.U16()) % (how == 0 ? 90 : 4000);
    char text[kTimeTextLength + 1];
    FormatTimeText(static_cast<int>((at % 86400 + 86400) % 86400), text);
    std::string s(text);
    if (how == 2 && (in.U8() & 3) == 0) s[in.U8() % 8] = static_cast<char>(in.U8());  // a near miss
    return s;
}

// Random clock sequences: steps of 1..70 s, now and then a jump forward by hours or back by minutes, or the local
// clock moved alone within a tick (daylight saving either way, any change of zone, the widest one's edge, an absurd
// one). After each firing the countdown is either cancelled at once or run out to its action and then cancelled, as
// a user would. A skipped target is said, naming it, exactly when the rule says so, and never fires.
inline std::string TriggerProperty(const uint8_t* data, size_t size) {
    Bytes in(data, size);
    FormFixture f;
    f.clock.SetTimeOfDay(0, 0, 0);
    f.clock.Advance(in.U32() % 86400);
    auto reading = [&f] { return Instant{f.clock.seconds - f.clock.zoneOffset, f.clock.seconds}; };
    f.form->Form_Load();
    Instant previous = reading();  // Form_Load wrote the clock: the first check
    f.TxTChoix.text = RandomTarget(in, f.clock.seconds);
    size_t actions = 0;
    constexpr int64_t kWidest = 26 * 3600;

    for (int step = 0; step < 200 && !in.Empty(); ++step) {
        const uint8_t kind = in.U8();
        int64_t by = 0, zone = 0;
        if (kind < 180) by = 1 + kind % 70;
        else if (kind < 194) by = 3600 * (1 + in.U8() % 12) + in.U8() % 60;  // forward by hours
        else if (kind < 212) by = -60 * (1 + in.U8() % 30) - in.U8() % 60;   // back by minutes
        else if (kind < 221) by = 61 + in.U8();                               // just too late to count
        else if (kind < 245) {
            by = in.U8() % 71;
            switch (in.U8() % 5) {
            case 0: zone = 3600; break;
            case 1: zone = -3600; break;
            case 2: zone = static_cast<int64_t>(in.U32() % (2 * kWidest + 1)) - kWidest; break;
            case 3: zone = kWidest - 2 + in.U8() % 5; break;
            default: zone = kWidest + 1 + in.U16(); break;
            }
        } else {
            f.TxTChoix.text = RandomTarget(in, f.clock.seconds);
            continue;
        }
        f.clock.Advance(by);
        f.clock.ShiftZone(zone);
        const Instant now = reading();
        const Due verdict = OracleVerdict(f.TxTChoix.text, &previous, now);
        const bool due = verdict == Due::Fire;
        const size_t messages = f.host.messages.size();
        f.Tick();
        previous = now;
        if ((f.form->Declenche == kTrue) != due)
            return std::string(due ? "missed" : "fired for") + " target '" + f.TxTChoix.text + "' at " +
                   f.TxtHeure.text + " after a step of " + std::to_string(by) + " s, the zone moved " +
                   std::to_string(zone) + " s";
        const size_t told = f.host.messages.size() - messages;
        if (told != (verdict == Due::Skipped ? 1u : 0u))
            return std::string(told ? "said a missed time for" : "did not say the skipped") + " target '" +
                   f.TxTChoix.text + "' at " + f.TxtHeure.text + " after a step of " + std::to_string(by) +
                   " s, the zone moved " + std::to_string(zone) + " s";
        if (told && (f.host.messages.back().prompt.find(", " + f.TxTChoix.text + ", ") == std::string::npos ||
                     !f.host.visible || f.form->Tray.InTray()))
            return "a skipped target said without its time or without the window";
        if (!due) {
            if (f.LblDecompte.caption != "6" || f.LblDecompte.visible) return "countdown shown without a firing";
            continue;
        }
        if (f.LblDecompte.caption != "5" || !f.host.visible) return "a firing did not start the countdown at 5";
        if (in.U8() & 1) {
            // Run it out, one second a tick: one action, then the timer stops.
            for (int i = 0; i < 5; ++i) {
                f.clock.Advance(1);
                f.Tick();
                previous = reading();
            }
            ++actions;
            if (f.Timer1.enabled) return "timer still running after the action";
        }
        f.form->cmdCancel_Click();
        if (f.form->Declenche != kFalse || !f.Timer1.enabled) return "cancel did not return to waiting";
        if (f.system.Count("ExitWindowsEx") != actions) return "action count " + std::to_string(f.system.Count("ExitWindowsEx")) +
                                                           " where " + std::to_string(actions) + " were due";
    }
    if (f.system.Count("ExitWindowsEx") != actions) return "an action ran outside a countdown";
    return "";
}

}  // namespace props
