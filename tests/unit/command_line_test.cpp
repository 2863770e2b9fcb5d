// The command line: its words by Windows' rules, what each line asks for and the message a wrong one gets, and
// arming from it making the calls of a user's click on the option, typing and "OK".
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "command_line_words.h"
#include "fake_form.h"
#include "scheduler/CommandLine.h"

namespace {

std::string Usage(const CommandRequest& request) {
    char text[kUsageTextCap];
    const size_t length = FormatUsage(request, text, sizeof text);
    EXPECT_LT(length, sizeof text) << "the usage text is cut";
    return text;
}

std::string HelpText() {
    CommandRequest help;
    help.verdict = CommandVerdict::Help;
    return Usage(help);
}

const char* Name(CommandAction action) {
    switch (action) {
    case CommandAction::StartOption: return "start option";
    case CommandAction::Arreter: return "Arrêter";
    case CommandAction::Redemarrer: return "Redémarrer";
    case CommandAction::Veille: return "Mettre en veille";
    }
    return "?";
}

}  // namespace

// CommandLineToArgvW's rules (Windows XP and later): the program's name by rules of its own, then words parted by
// spaces and tabs, with quotes and the backslashes before them read as Windows reads them.
TEST(CommandLine, WordsAreReadAsWindowsReadsThem) {
    for (const WordsCase& c : WordsCases()) {
        std::vector<std::string> words;
        const char* cursor = SkipProgramName(c.line);
        char word[kCommandWordCap];
        size_t length = 0;
        while (ReadCommandWord(&cursor, word, sizeof word, &length) && words.size() < 10) {
            EXPECT_EQ(std::strlen(word), length) << c.line;
            words.push_back(word);
        }
        EXPECT_EQ(c.words, words) << c.line;
    }
}

TEST(CommandLine, EachLineArmsAsksForHelpOrIsRefusedWithTheFirstThingWrong) {
    using V = CommandVerdict;
    using A = CommandAction;
    const std::string longWord(100, 'x');
    std::string accented, shown19;
    for (int i = 0; i < 30; ++i) accented += "é";
    for (int i = 0; i < 19; ++i) shown19 += "é";
    struct Case {
        std::string line;
        V verdict;
        A action;
        const char* time;
        std::string fault;  // the first line of the usage box for a refused line
    } cases[] = {
        // Each action, in any case, with accents, "-" for "/", before or after the time.
        {"T.exe 23:00:00 /arreter", V::Arm, A::Arreter, "23:00:00", ""},
        {"T.exe /arreter +23:59:59", V::Arm, A::Arreter, "+23:59:59", ""},  // a delay, made a time at the arming
        {"T.exe 23:00:00 /redemarrer", V::Arm, A::Redemarrer, "23:00:00", ""},
        {"T.exe 23:00:00 /veille", V::Arm, A::Veille, "23:00:00", ""},
        {"T.exe 07:05:09", V::Arm, A::StartOption, "07:05:09", ""},
        {"T.exe /veille 00:00:00", V::Arm, A::Veille, "00:00:00", ""},
        {"T.exe 23:59:59 -ARRETER", V::Arm, A::Arreter, "23:59:59", ""},
        {"T.exe 12:00:00 /Redemarrer", V::Arm, A::Redemarrer, "12:00:00", ""},
        {"T.exe 12:00:00 -VeIlLe", V::Arm, A::Veille, "12:00:00", ""},
        {"T.exe 12:00:00 /arrêter", V::Arm, A::Arreter, "12:00:00", ""},
        {"T.exe 12:00:00 /ARRÊTER", V::Arm, A::Arreter, "12:00:00", ""},
        {"T.exe 12:00:00 /redémarrer", V::Arm, A::Redemarrer, "12:00:00", ""},
        {"T.exe 12:00:00 /REDÉMARRER", V::Arm, A::Redemarrer, "12:00:00", ""},
        // Quotes and blanks as Windows reads them.
        {"\"C:\\Program Files\\Tarveil XP\\Tarveil XP.exe\" 23:00:00 /veille", V::Arm, A::Veille, "23:00:00", ""},
        {"\"C:\\Program Files\\Tarveil XP\\Tarveil XP.exe\"23:00:00 /veille", V::Arm, A::Veille, "23:00:00", ""},
        {"T.exe \"23:00:00\" \"/redemarrer\"", V::Arm, A::Redemarrer, "23:00:00", ""},
        {"T.exe 23:00:00 /vei\"ll\"e", V::Arm, A::Veille, "23:00:00", ""},
        {"T.exe \t  23:00:00 \t /veille  \t", V::Arm, A::Veille, "23:00:00", ""},
        // No words: the program starts as it always has.
        {"T.exe", V::None, A::StartOption, "", ""},
        {"T.exe  \t  ", V::None, A::StartOption, "", ""},
        {"\"C:\\Program Files\\Tarveil XP\\Tarveil XP.exe\"", V::None, A::StartOption, "", ""},
        // Help, wherever it is asked for.
        {"T.exe /?", V::Help, A::StartOption, "", ""},
        {"T.exe -h", V::Help, A::StartOption, "", ""},
        {"T.exe /aide", V::Help, A::StartOption, "", ""},
        {"T.exe -AIDE", V::Help, A::StartOption, "", ""},
        {"T.exe 23:00:00 /veille /?", V::Help, A::StartOption, "", ""},
        {"T.exe /inconnue 99 /aide", V::Help, A::StartOption, "", ""},
        // Unknown switches.
        {"T.exe /foo", V::Refused, A::StartOption, "", "Option inconnue : \"/foo\"."},
        {"T.exe 23:00:00 /veiller", V::Refused, A::StartOption, "", "Option inconnue : \"/veiller\"."},
        {"T.exe 23:00:00 /arrèter", V::Refused, A::StartOption, "", "Option inconnue : \"/arrèter\"."},
        {"T.exe 23:00:00 --veille", V::Refused, A::StartOption, "", "Option inconnue : \"--veille\"."},
        {"T.exe 23:00:00 /", V::Refused, A::StartOption, "", "Option inconnue : \"/\"."},
        {"T.exe -05:00:00", V::Refused, A::StartOption, "", "Option inconnue : \"-05:00:00\"."},
        {"T.exe 23:00:00 /" + accented + accented, V::Refused, A::StartOption, "",
         // quoted cut to 40 bytes, back to the start of the é cut in two
         "Option inconnue : \"/" + shown19 + "…\"."},
        // Times the check of "OK" refuses.
        {"T.exe 24:00:00 /veille", V::Refused, A::StartOption, "", "Heure refusée : \"24:00:00\"."},
        {"T.exe 8:30:00", V::Refused, A::StartOption, "", "Heure refusée : \"8:30:00\"."},
        {"T.exe ab:cd:ef /arreter", V::Refused, A::StartOption, "", "Heure refusée : \"ab:cd:ef\"."},
        {"T.exe arreter 23:00:00", V::Refused, A::StartOption, "", "Heure refusée : \"arreter\"."},
        {"T.exe \"\"", V::Refused, A::StartOption, "", "Heure refusée : \"\"."},
        {"T.exe \"23:00:00 /veille\"", V::Refused, A::StartOption, "", "Heure refusée : \"23:00:00 /veille\"."},
        {"T.exe \"a\nb\"", V::Refused, A::StartOption, "", "Heure refusée : \"a?b\"."},
        {"T.exe " + longWord, V::Refused, A::StartOption, "", "Heure refusée : \"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx…\"."},
        {"T.exe x" + accented, V::Refused, A::StartOption, "", "Heure refusée : \"x" + shown19 + "…\"."},
        // Too many words, an action twice, no time.
        {"T.exe 23:00:00 /veille 23:30:00", V::Refused, A::StartOption, "", "Mot de trop : \"23:30:00\"."},
        {"T.exe 23:00:00 /veille /arreter", V::Refused, A::StartOption, "", "Action donnée deux fois : \"/arreter\"."},
        {"T.exe /veille 23:00:00 -VEILLE", V::Refused, A::StartOption, "", "Action donnée deux fois : \"-VEILLE\"."},
        {"T.exe /veille", V::Refused, A::StartOption, "", "Il manque l'heure pour \"/veille\"."},
        {"T.exe /REDÉMARRER", V::Refused, A::StartOption, "", "Il manque l'heure pour \"/REDÉMARRER\"."},
        // The first thing wrong is the one told.
        {"T.exe /foo 25:00:00", V::Refused, A::StartOption, "", "Option inconnue : \"/foo\"."},
        {"T.exe 25:00:00 /foo", V::Refused, A::StartOption, "", "Heure refusée : \"25:00:00\"."},
        {"T.exe /veille /arreter 25:00:00", V::Refused, A::StartOption, "", "Action donnée deux fois : \"/arreter\"."},
    };
    const std::string help = HelpText();
    for (const Case& c : cases) {
        const CommandRequest r = ReadCommandLine(c.line.c_str());
        EXPECT_EQ(static_cast<int>(c.verdict), static_cast<int>(r.verdict)) << c.line;
        EXPECT_STREQ(Name(c.action), Name(r.action)) << c.line;
        EXPECT_STREQ(c.time, r.time) << c.line;
        if (c.verdict == V::Refused) {
            EXPECT_EQ(c.fault + "\n\n" + help, Usage(r)) << c.line;
        } else if (c.verdict == V::Help) {
            EXPECT_EQ(help, Usage(r)) << c.line;
        }
    }
}

TEST(CommandLine, UsageSaysTheFormTheActionsTheTimeAnExampleAndTheExitCodes) {
    const std::string help = HelpText();
    for (const char* part : {"\"Tarveil XP.exe\" hh:mm:ss [action]", "de 00:00:00 à 23:59:59", "/arreter",
                             "/redemarrer", "/veille", "Exemple : \"Tarveil XP.exe\" 23:00:00 /arreter", "/?",
                             "/aide", "0 après cette aide, 2 quand la ligne est refusée"}) {
        EXPECT_NE(std::string::npos, help.find(part)) << part;
    }
}

namespace {

// The window loaded and shown, logs cleared: where the user starts, and where a command line is applied.
struct Shown : FormFixture {
    Shown() {
        form->Form_Load();
        host.log.clear();
        system.calls.clear();
    }

    // What a test compares between arming by hand and from the command line.
    std::vector<std::string> Outcome() const {
        std::vector<std::string> out = host.Journal();
        for (const std::string& call : system.Texts()) out.push_back(call);
        for (const FakeHost::Message& m : host.messages) {
            out.push_back("message " + m.title + " / " + m.prompt + " / " + std::to_string(m.style));
        }
        out.push_back(std::string("options ") + (ChkArreter.value ? "A" : "-") + (ChkReboot.value ? "R" : "-") +
                      (ChkVeille.value ? "V" : "-"));
        out.push_back("entry " + TxTChoix.text);
        out.push_back(std::string("shown ") + (host.visible ? "yes" : "no") + ", task list " +
                      (host.taskVisible ? "yes" : "no") + ", icon " + (form->Tray.InTray() ? "yes" : "no") +
                      ", checked " + std::to_string(form->HeureValide));
        return out;
    }
};

}  // namespace

TEST(CommandLine, ArmingMakesTheCallsOfAClickOnTheOptionTypingAndOk) {
    struct Case {
        const char* line;
        FakeOptionButton Shown::*clicked;  // null: no option clicked
    } cases[] = {
        {"T.exe 21:15:00", nullptr},
        {"T.exe 21:15:00 /arreter", &Shown::ChkArreter},
        {"T.exe 21:15:00 /redemarrer", &Shown::ChkReboot},
        {"T.exe 21:15:00 /veille", &Shown::ChkVeille},
    };
    for (const Case& c : cases) {
        // With the icon taken, and refused: a refusal at arming is told as after a click, and the window stays.
        for (bool iconRefused : {false, true}) {
            Shown byHand, fromLine;
            if (iconRefused) {
                byHand.system.FailNext("Shell_NotifyIconA", 2);
                fromLine.system.FailNext("Shell_NotifyIconA", 2);
            }
            if (c.clicked != nullptr) (byHand.*c.clicked).SetValue(true);
            byHand.TxTChoix.text = "21:15:00";
            byHand.form->Activer_Click();

            fromLine.form->ArmFromCommandLine(ReadCommandLine(c.line));

            EXPECT_EQ(byHand.Outcome(), fromLine.Outcome()) << c.line << (iconRefused ? ", icon refused" : "");
            EXPECT_EQ(!iconRefused, fromLine.form->Tray.InTray()) << c.line;
            EXPECT_EQ(iconRefused, fromLine.host.visible) << c.line;
            EXPECT_FALSE(fromLine.host.unloaded) << c.line;
            if (c.clicked != nullptr) {
                EXPECT_TRUE((fromLine.*c.clicked).value) << c.line;
            }
        }
    }
    // The time alone clicks no option: the selection stays as it is ("Arrêter" at start).
    Shown alone;
    alone.ChkVeille.SetValue(true);
    alone.form->ArmFromCommandLine(ReadCommandLine("T.exe 21:15:00"));
    EXPECT_TRUE(alone.ChkVeille.value);
    EXPECT_FALSE(alone.ChkArreter.value);
    EXPECT_EQ("21:15:00", alone.TxTChoix.text);
}

TEST(CommandLine, ALineThatDoesNotArmTouchesNothing) {
    for (const char* line : {"T.exe", "T.exe /?", "T.exe 25:00:00", "T.exe /veille"}) {
        Shown f;
        const std::vector<std::string> before = f.Outcome();
        const int sets = f.TxTChoix.setCount;
        f.form->ArmFromCommandLine(ReadCommandLine(line));
        EXPECT_EQ(before, f.Outcome()) << line;
        EXPECT_EQ(sets, f.TxTChoix.setCount) << line;
    }
}
