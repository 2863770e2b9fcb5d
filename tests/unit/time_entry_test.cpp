// Time entry and arming: clearing the entry box, which texts arm the program, and what "OK" and the
// minimise glyph do with a good or a bad text.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_form.h"

namespace {

const char kPrompt[] = "Veuillez redéfinir une heure (hh:mm:ss)";
const char kTitle[] = "Format de l'heure incorrect !";
const char kExample[] = "Exemple :                   20:30:00";
const char kStartPrompt[] = "Entrez une heure ici (hh:mm:ss)";

struct EntryCase {
    std::string text;
    bool accepted;
};

std::vector<EntryCase> EntryCases() {
    return {
        {"20:30:00", true},
        {"00:00:00", true},
        {"23:59:59", true},
        {"09:05:07", true},
        {"24:00:00", false},
        {"59:59:59", false},
        {"60:00:00", false},
        {"99:99:99", false},
        {"20:60:00", false},
        {"20:30:60", false},
        {"8:30:00", false},
        {"08:30:00 ", false},
        {" 8:30:00", false},
        {"08:30", false},
        {"08:30:0", false},
        {"08:30:000", false},
        {"ab:cd:ef", false},
        {"2a:30:00", false},
        {"20:3a:00", false},
        {"20:30:0a", false},
        {"20-30-00", false},
        {"20.30.00", false},
        {"20:30;00", false},
        {"20;30:00", false},
        {"203000", false},
        {"20 30 00", false},
        {"2030:000", false},
        {"-5:00:00", false},
        {"+5:00:00", false},
        {"-05:00:00", false},
        {"\xEF\xBC\x92\xEF\xBC\x90:\xEF\xBC\x93\xEF\xBC\x90:\xEF\xBC\x90\xEF\xBC\x90", false},  // full-width digits
        {"", false},
        {"        ", false},
        {"\t\t\t\t\t\t\t\t", false},
        {"20:30:00" + std::string(500, ' '), false},
        {"20:30:00" + std::string(5000, '0'), false},
        {std::string(4096, 'x'), false},
        {kStartPrompt, false},
        {kExample, false},
        {"20:30:00\n", false},
        {"20:30:00\r\n", false},
    };
}

// The window as the user sees it when typing: loaded and shown, with the logs of the load cleared.
struct Loaded : FormFixture {
    Loaded() {
        form->Form_Load();
        host.log.clear();
        system.calls.clear();
    }
};

enum class Handler { Ok, Minimise };

void Press(Loaded& f, Handler h) {
    if (h == Handler::Ok) {
        f.form->Activer_Click();
    } else {
        f.form->SysReduc_Click();
    }
}

}  // namespace

TEST(TimeEntry, EveryClickInTheEntryBoxEmptiesIt) {
    const char* before[] = {kStartPrompt, kExample, "20:30:00", "", "   ", "abc"};
    Loaded f;
    int sets = f.TxTChoix.setCount;
    for (const char* text : before) {
        f.TxTChoix.text = text;
        f.form->TxTChoix_Click();
        EXPECT_EQ("", f.TxTChoix.text) << text;
        // Even an empty box is written again: the click always sets the text.
        EXPECT_EQ(++sets, f.TxTChoix.setCount) << text;
    }
    EXPECT_TRUE(f.system.calls.empty());
    EXPECT_EQ(0u, f.host.messages.size());
}

TEST(TimeEntry, CheckAcceptsOnlyTwoDigitFieldsWithinTheDay) {
    for (const EntryCase& c : EntryCases()) {
        for (int16_t before : {kTrue, kFalse}) {
            Loaded f;
            f.TxTChoix.text = c.text;
            const int sets = f.TxTChoix.setCount;
            f.form->HeureValide = before;
            f.form->CheckTimeFormat();
            EXPECT_EQ(c.accepted ? kTrue : kFalse, f.form->HeureValide) << "'" << c.text << "' from " << before;
            EXPECT_EQ(c.text, f.TxTChoix.text);
            EXPECT_EQ(sets, f.TxTChoix.setCount) << "the check wrote the entry box for '" << c.text << "'";
            EXPECT_TRUE(f.system.calls.empty());
            EXPECT_TRUE(f.host.log.empty());
        }
    }
}

TEST(TimeEntry, OkAndMinimiseArmOnAGoodTextAndComplainAboutABadOne) {
    for (Handler h : {Handler::Ok, Handler::Minimise}) {
        const char* name = h == Handler::Ok ? "OK" : "minimise";
        for (const EntryCase& c : EntryCases()) {
            Loaded f;
            f.TxTChoix.text = c.text;
            Press(f, h);
            if (c.accepted) {
                EXPECT_EQ((std::vector<std::string>{"Shell_NotifyIconA", "Hide", "TaskVisible(false)"}),
                          f.host.Journal())
                    << name << " '" << c.text << "'";
                EXPECT_EQ("0x0", f.system.calls.at(0).args.at(0));
                EXPECT_EQ(0u, f.host.messages.size());
                EXPECT_EQ(c.text, f.TxTChoix.text);
                EXPECT_FALSE(f.host.visible);
                EXPECT_FALSE(f.host.taskVisible);
                EXPECT_TRUE(f.form->Tray.InTray());
                EXPECT_EQ(kTrue, f.form->HeureValide);
            } else {
                ASSERT_EQ(1u, f.host.messages.size()) << name << " '" << c.text << "'";
                const FakeHost::Message& m = f.host.messages[0];
                EXPECT_EQ(kPrompt, m.prompt);
                EXPECT_EQ(kTitle, m.title);
                EXPECT_EQ(64u, m.style);
                // The box is up while the entry box still holds what was typed.
                EXPECT_EQ(c.text, m.entryTextWhenShown) << name;
                EXPECT_EQ(kExample, f.TxTChoix.text) << name << " '" << c.text << "'";
                EXPECT_EQ((std::vector<std::string>{"ShowMessage"}), f.host.Journal()) << name << " '" << c.text << "'";
                EXPECT_TRUE(f.host.visible);
                EXPECT_TRUE(f.host.taskVisible);
                EXPECT_FALSE(f.form->Tray.InTray());
                EXPECT_EQ(kFalse, f.form->HeureValide);
            }
        }
    }
}

TEST(TimeEntry, TheExampleTextIsRefusedInTurnAndRewritten) {
    Loaded f;
    f.TxTChoix.text = "25:00:00";
    f.form->Activer_Click();
    ASSERT_EQ(kExample, f.TxTChoix.text);
    EXPECT_EQ(36u, f.TxTChoix.text.size());
    f.form->SysReduc_Click();
    ASSERT_EQ(2u, f.host.messages.size());
    EXPECT_EQ(kExample, f.host.messages[1].entryTextWhenShown);
    EXPECT_EQ(kExample, f.TxTChoix.text);
    EXPECT_TRUE(f.system.calls.empty());
}

TEST(TimeEntry, AValidCheckDoesNotOutliveTheNextBadText) {
    Loaded f;
    f.TxTChoix.text = "07:00:00";
    f.form->Activer_Click();
    ASSERT_TRUE(f.form->Tray.InTray());
    f.form->Tray.RestoreFromTray();
    f.TxTChoix.text = "07:00";
    f.form->Activer_Click();
    EXPECT_EQ(kFalse, f.form->HeureValide);
    EXPECT_EQ(1u, f.host.messages.size());
    // The add and the restore's delete, and no second add.
    EXPECT_EQ((std::vector<std::string>{"Shell_NotifyIconA(0x0, &)", "Shell_NotifyIconA(0x2, &)"}), f.system.Texts());
    EXPECT_TRUE(f.host.visible);
}
