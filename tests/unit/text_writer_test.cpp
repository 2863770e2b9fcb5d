// The one buffer every text is copied or built in: cut where it does not fit, never inside a character.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/TextWriter.h"

TEST(TextWriter, CutsBeforeTheFirstCharacterThatDoesNotFitWholeAndCountsTheWhole) {
    struct Case {
        const char* text;
        size_t cap;
        const char* kept;
    } cases[] = {
        {"Arrêt", 7, "Arrêt"},  // exact fit
        {"Arrêt", 6, "Arrê"},
        {"Arrêt", 5, "Arr"},  // a two-byte character at the limit
        {"x…", 5, "x…"},
        {"x…", 4, "x"},  // three bytes: two of them, then one, fit
        {"x…", 3, "x"},
        {"a😀", 6, "a😀"},
        {"a😀", 5, "a"},  // four bytes: three of them fit
        {"a😀", 2, "a"},
        {"abc", 3, "ab"},
        {"é", 1, ""},
        {"é", 0, nullptr},  // no room at all: nothing written
    };
    for (const Case& c : cases) {
        char out[8];
        std::memset(out, '#', sizeof out);
        EXPECT_EQ(std::strlen(c.text), CopyText(c.text, out, c.cap)) << c.text << " in " << c.cap;
        const size_t kept = c.kept ? std::strlen(c.kept) + 1 : 0;
        EXPECT_EQ(c.kept ? std::string(c.kept) + '\0' : "", std::string(out, kept)) << c.text << " in " << c.cap;
        EXPECT_EQ(std::string(sizeof out - c.cap, '#'), std::string(out + c.cap, sizeof out - c.cap)) << "past the end";
    }
}
