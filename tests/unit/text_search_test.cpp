#include "toolkit/portable/text_search.h"

#include <gtest/gtest.h>

namespace {

TEST(TextSearch, FindsWithOneBasedPositions) {
    const struct {
        const char* text;
        const char* sought;
        int start;
        bool caseInsensitive;
        int expected;
    } cases[] = {
        {"game=mezo&sid=1", "game=mezo", 1, false, 1},
        {"http://x.com/play?game=mezo", "game=mezo", 1, false, 19},
        {"http://x.com/play?Game=mezo", "game=mezo", 1, false, -1},
        {"http://x.com/play?GAME=MEZO", "game=mezo", 1, false, -1},
        {"http://x.com/play?Game=mezo", "game=mezo", 1, true, 19},
        {"http://x.com/play?GAME=MEZO", "game=mezo", 1, true, 19},
        {"abcabc", "abc", 0, false, 1},  // a start below 1 counts as 1
        {"abcabc", "abc", -7, false, 1},
        {"abcabc", "abc", 2, false, 4},
        {"abcabc", "abc", 4, false, 4},  // a match right at the start position counts
        {"abcabc", "abc", 5, false, -1},
        {"abcabc", "abc", 7, false, -1},  // past the end
        {"abcabc", "abc", 1000, false, -1},
        {"abc", "", 1, false, -1},  // an empty sought text is never found
        {"", "a", 1, false, -1},
        {"ab", "abc", 1, false, -1},
        {"\xC3\x89T\xC3\xA9", "\xC3\xA9", 1, true, 4},  // only ASCII folds: É does not match é
        {"\xC3\x89T\xC3\xA9", "t", 1, true, 3},
        // The tail of a character's encoding is not a place a match may begin, whatever the bytes say.
        {"\xE2\x82\xAC\xE2\x82\xAC", "\x82\xAC", 1, false, -1},
        {"\xC3\xA9xy", "\xA9xy", 1, true, -1},
        {"\xE2\x82\xAC\xE2\x82\xAC", "\xE2\x82\xAC", 2, false, 4},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(tk::FindText(c.text, c.sought, c.start, c.caseInsensitive), c.expected)
            << '"' << c.text << "\" / \"" << c.sought << "\" from " << c.start
            << (c.caseInsensitive ? " (i)" : "");
    }
}

TEST(TextSearch, DefaultsAreFromTheStartAndCaseSensitive) {
    EXPECT_EQ(tk::FindText("xx game=mezo", "game=mezo"), 4);
    EXPECT_EQ(tk::FindText("xx GAME=mezo", "game=mezo"), -1);
}

}  // namespace
