// Command lines and the words Windows' CommandLineToArgvW reads in them after the program's name: the host test
// checks the program's own reading against them, the Win32 layer test the system's.
#pragma once

#include <string>
#include <vector>

struct WordsCase {
    const char* line;  // UTF-8, program name first
    std::vector<std::string> words;
};

inline std::vector<WordsCase> WordsCases() {
    return {
        {"T.exe", {}},
        {"T.exe    \t ", {}},
        {"T.exe 23:00:00 /veille", {"23:00:00", "/veille"}},
        {"T.exe \t 23:00:00  \t  /veille \t ", {"23:00:00", "/veille"}},
        // The program's name: to the next quote when it opens with one, backslashes and all; a word may follow it
        // without a blank. Unquoted, to the first blank, quotes and all.
        {"\"C:\\Program Files\\Tarveil XP\\Tarveil XP.exe\" 23:00:00", {"23:00:00"}},
        {"\"C:\\Program Files\\Tarveil XP\\Tarveil XP.exe\"", {}},
        {"\"C:\\dir\\\"23:00:00 /veille", {"23:00:00", "/veille"}},
        {"\"C:\\x y\\T.exe\"\"a b\" c", {"a b", "c"}},
        {"C:\\a\"b c\" d", {"c d"}},
        {"\"C:\\never closed 23:00:00", {}},
        // Quoted parts, inside a word too.
        {"T.exe \"23:00:00\" \"/veille\"", {"23:00:00", "/veille"}},
        {"T.exe \"23:00:00 /veille\"", {"23:00:00 /veille"}},
        {"T.exe a\"b c\"d e", {"ab cd", "e"}},
        {"T.exe \"a b", {"a b"}},
        {"T.exe \"\"", {""}},
        {"T.exe \"\" \"\"", {"", ""}},
        // Backslashes: halved before a quote, the odd one making the quote literal; themselves elsewhere.
        {"T.exe a\\\\b c\\", {"a\\\\b", "c\\"}},
        {"T.exe a\\\"b", {"a\"b"}},
        {"T.exe a\\\\\"b c\"", {"a\\b c"}},
        {"T.exe a\\\\\\\"b", {"a\\\"b"}},
        {"T.exe \\\\\\\\\"a b\"", {"\\\\a b"}},
        {"T.exe \"a\\\" b\"", {"a\" b"}},
        // Runs of quotes: every third one is literal; "" inside quotes gives a quote and closes the part.
        {"T.exe \"a\"\"b\"", {"a\"b"}},
        {"T.exe \"a\"\"b c\"", {"a\"b", "c"}},
        {"T.exe \"a\"\"\"b c\"", {"a\"b c"}},
        {"T.exe \"\"\"a b\"\"\"", {"\"a", "b\""}},
        {"T.exe a\"\"\"b c", {"a\"b", "c"}},
        {"T.exe \"\"\"\" x", {"\" x"}},
        // Only spaces and tabs part words; accented letters are plain characters.
        {"T.exe a\nb /arrêter", {"a\nb", "/arrêter"}},
        {"T.exe \"/REDÉMARRER\"\t-Veille", {"/REDÉMARRER", "-Veille"}},
    };
}
