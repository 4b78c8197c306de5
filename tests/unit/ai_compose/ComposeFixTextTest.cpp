// Trimming by Unicode white space and counting by user-perceived characters.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/ai/ComposeFixText.h"

namespace veska::Translator {
namespace {

TEST(ComposeFixText, TrimAndEdgesFollowUnicodeWhiteSpace) {
    struct Row {
        std::string text;
        std::string trimmed;
        std::string leading;
        std::string trailing;
    };
    const std::vector<Row> rows{
        {"", "", "", ""},
        {"abc", "abc", "", ""},
        {"  Xin chào \n", "Xin chào", "  ", " \n"},
        {"\t\r\n a b \r\n", "a b", "\t\r\n ", " \r\n"},
        {" \n \t ", "", " \n \t ", " \n \t "},
        // no-break space, ideographic space, line separator and next line are white space too
        {"\u00A0\u3000hi\u2028\u0085", "hi", "\u00A0\u3000", "\u2028\u0085"},
        // zero-width space and the byte-order mark are not
        {"\u200Bhi\uFEFF", "\u200Bhi\uFEFF", "", ""},
        {"a \n b", "a \n b", "", ""},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(trimmedText(row.text), row.trimmed) << row.text;
        EXPECT_EQ(leadingWhiteSpace(row.text), row.leading) << row.text;
        EXPECT_EQ(trailingWhiteSpace(row.text), row.trailing) << row.text;
    }
}

TEST(ComposeFixText, CountsGraphemeClustersNotBytesOrCodePoints) {
    struct Row {
        const char* label;
        std::string text;
        std::size_t count;
    };
    const std::vector<Row> rows{
        {"empty", "", 0},
        {"ascii", "hello", 5},
        {"precomposed Vietnamese", "Việt", 4},
        {"combining marks", "Vie\u0302\u0323t", 4},
        {"flag", "\U0001F1FB\U0001F1F3", 1},
        {"family emoji", "\U0001F468\u200D\U0001F469\u200D\U0001F467", 1},
        {"CR LF is one", "a\r\nb", 3},
        {"CJK", "中文字", 3},
    };
    for (const Row& row : rows) EXPECT_EQ(characterCount(row.text, 100), row.count) << row.label;
}

TEST(ComposeFixText, CountingStopsJustPastTheLimit) {
    const std::string text(50, 'x');
    EXPECT_EQ(characterCount(text, 10), 11u);
    EXPECT_EQ(characterCount(text, 49), 50u);
    EXPECT_EQ(characterCount(text, 50), 50u);
    EXPECT_EQ(characterCount(text, 0), 1u);
}

TEST(ComposeFixText, FirstCharactersNeverSplitsACluster) {
    struct Row {
        std::string text;
        std::size_t count;
        std::string expected;
    };
    const std::vector<Row> rows{
        {"abcdef", 3, "abc"},
        {"abc", 10, "abc"},
        {"abc", 0, ""},
        {"", 5, ""},
        {"Vie\u0302\u0323t Nam", 3, "Vie\u0302\u0323"},
        {"\U0001F1FB\U0001F1F3\U0001F1FA\U0001F1F8", 1, "\U0001F1FB\U0001F1F3"},
        {"a\r\nb", 2, "a\r\n"},
    };
    for (const Row& row : rows) EXPECT_EQ(firstCharacters(row.text, row.count), row.expected) << row.text;
}

}  // namespace
}  // namespace veska::Translator
