// The command lines of the host test's table, split by the system's own CommandLineToArgvW: the words the table
// gives, which the program's reading is held to, are the ones Windows programs get.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/unit/command_line_words.h"
#include "win32/WideText.h"

TEST(CommandLine, TheTablesWordsAreTheOnesCommandLineToArgvWGives) {
    for (const WordsCase& c : WordsCases()) {
        WideText line(c.line);
        ASSERT_TRUE(line.ok()) << c.line;
        int count = 0;
        LPWSTR* argv = CommandLineToArgvW(line.c_str(), &count);
        ASSERT_NE(nullptr, argv) << c.line;
        std::vector<std::string> words;
        for (int i = 1; i < count; ++i) {
            char word[256];
            WideToUtf8(argv[i], lstrlenW(argv[i]), word, sizeof word);
            words.push_back(word);
        }
        LocalFree(argv);  // the array and its words are one block
        EXPECT_EQ(c.words, words) << c.line;
    }
}
