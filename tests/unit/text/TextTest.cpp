// The shared text helpers on the texts the application meets: empty, ASCII, Vietnamese with
// precomposed and combining marks, emoji outside the BMP, invalid UTF-8.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/Ascii.h"
#include "text/Characters.h"
#include "text/Utf.h"
#include "text/WhiteSpace.h"

namespace veska::text {
namespace {

const std::string kCombining = "Vie\u0302\u0323t";  // "Việt" with two combining marks
const std::string kFamily = "\U0001F468\u200D\U0001F469\u200D\U0001F467";

TEST(Ascii, FoldsOnlyAsciiLettersWhateverTheLocale) {
    struct Row {
        std::string text;
        std::string lowered;
    };
    const std::vector<Row> rows{
        {"", ""},
        {"Content-Type", "content-type"},
        {"HTTPS://Example.COM/Path?Q=1", "https://example.com/path?q=1"},
        {"VIỆT Nam", "viỆt nam"},
        // bytes of other characters stay, though a Latin-1 locale's tolower would change them
        {"\xC3\x80\xC3\x9C", "\xC3\x80\xC3\x9C"},
        {"\xFF\xFE@[`{", "\xFF\xFE@[`{"},
    };
    for (const Row& row : rows) EXPECT_EQ(asciiLowered(row.text), row.lowered) << row.text;
    EXPECT_EQ(asciiUpper('q'), 'Q');
    EXPECT_EQ(asciiUpper('\xE1'), '\xE1');

    EXPECT_TRUE(equalsIgnoringAsciiCase("Set-Cookie", "set-COOKIE"));
    EXPECT_TRUE(equalsIgnoringAsciiCase("", ""));
    EXPECT_FALSE(equalsIgnoringAsciiCase("ü", "Ü"));
    EXPECT_FALSE(equalsIgnoringAsciiCase("abc", "abcd"));
    EXPECT_FALSE(equalsIgnoringAsciiCase("@", "`"));  // differ by the case bit, but are not letters
}

TEST(Utf, ConvertsAndCountsUtf16UnitsReplacingInvalidSequences) {
    struct Row {
        const char* label;
        std::string text;
        std::int64_t units;
        std::string valid;
    };
    const std::vector<Row> rows{
        {"empty", "", 0, ""},
        {"ascii", "hello", 5, "hello"},
        {"precomposed", "Việt", 4, "Việt"},
        {"combining", kCombining, 6, kCombining},
        {"emoji", "a😀", 3, "a😀"},
        {"lone byte", "a\xFF" "b", 3, "a\uFFFD" "b"},
        {"cut sequence", "\xE1\xBA", 1, "\uFFFD"},
        {"overlong", "\xC0\xAF", 2, "\uFFFD\uFFFD"},
        {"encoded surrogate", "\xED\xA0\x80", 3, "\uFFFD\uFFFD\uFFFD"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(utf16Length(row.text), row.units) << row.label;
        EXPECT_EQ(static_cast<std::int64_t>(toUtf16(row.text).size()), row.units) << row.label;
        EXPECT_EQ(toUtf8(toUtf16(row.text)), row.valid) << row.label;
        EXPECT_EQ(validUtf8(row.text), row.valid) << row.label;
        EXPECT_EQ(isValidUtf8(row.text), row.valid == row.text) << row.label;
    }
    EXPECT_EQ(toUtf16("😀"), u"\xD83D\xDE00");
    EXPECT_EQ(toUtf8(u"a\xD800" "b"), "a\uFFFD" "b") << "a lone surrogate";
}

TEST(WhiteSpace, TrimsUnicodeWhiteSpaceAndStopsAtInvalidBytes) {
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
        {" " + kCombining + " ", kCombining, " ", " "},
        {"\u3000😀\u00A0", "😀", "\u3000", "\u00A0"},
        // no-break space, ideographic space, line separator and next line are white space too
        {"\u00A0\u3000hi\u2028\u0085", "hi", "\u00A0\u3000", "\u2028\u0085"},
        // zero-width space and the byte-order mark are not
        {"\u200Bhi\uFEFF", "\u200Bhi\uFEFF", "", ""},
        {"a \n b", "a \n b", "", ""},
        // an invalid sequence is not white space, even next to white space
        {" \xFF ", "\xFF", " ", " "},
        {"\xC2 x \xE3\x80", "\xC2 x \xE3\x80", "", ""},
        {"\xC2\xA0\x80", "\x80", "\xC2\xA0", ""},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(trimmed(row.text), row.trimmed) << row.text;
        EXPECT_EQ(leadingWhiteSpace(row.text), row.leading) << row.text;
        EXPECT_EQ(trailingWhiteSpace(row.text), row.trailing) << row.text;
        EXPECT_EQ(isBlank(row.text), row.trimmed.empty()) << row.text;
    }
    const std::string spaced = " \t a \n";
    EXPECT_EQ(trimmed(spaced).data(), spaced.data() + 3) << "a view into the argument";
    const std::string blank = "  ";
    EXPECT_EQ(trimmed(blank).data(), blank.data() + 2) << "an empty view at the end, not a null one";

    EXPECT_TRUE(isWhiteSpace(U'\u2003'));
    EXPECT_FALSE(isWhiteSpace(U'\u200B'));
    EXPECT_FALSE(isWhiteSpace(static_cast<char32_t>(0x110020)));
}

TEST(WhiteSpace, BlanksTrimmingAndSplitting) {
    struct Row {
        std::string text;
        std::string leading;
        std::string trailing;
        std::string trimmed;
    };
    const std::vector<Row> rows{
        {"", "", "", ""},
        {" \t a b\t ", " \t ", "\t ", "a b"},
        {"\n a \n", "", "", "\n a \n"},
        {"\u00A0a", "", "", "\u00A0a"},
        {" \t", " \t", " \t", ""},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(leadingBlanks(row.text), row.leading) << row.text;
        EXPECT_EQ(trailingBlanks(row.text), row.trailing) << row.text;
        EXPECT_EQ(trimmedBlanks(row.text), row.trimmed) << row.text;
    }
    EXPECT_EQ(trimmedOf("//a/b//", "/"), "a/b");
    EXPECT_EQ(trimmedOf("\"'x'\"", "\"'"), "x");
    EXPECT_EQ(trimmedOf("///", "/"), "");

    using Parts = std::vector<std::string_view>;
    EXPECT_EQ(splitAt("", "\n"), Parts{""});
    EXPECT_EQ(splitAt("a", "\n"), Parts{"a"});
    EXPECT_EQ(splitAt("\na\n\nb\n", "\n"), (Parts{"", "a", "", "b", ""}));
    EXPECT_EQ(splitAt("Câu một. Câu hai. ", ". "), (Parts{"Câu một", "Câu hai", ""}));
    EXPECT_EQ(splitAt("aaa", "aa"), (Parts{"", "a"}));
}

TEST(Characters, CountsGraphemeClustersNotBytesOrCodePoints) {
    struct Row {
        const char* label;
        std::string text;
        std::size_t count;
    };
    const std::vector<Row> rows{
        {"empty", "", 0},
        {"ascii", "hello", 5},
        {"precomposed Vietnamese", "Việt", 4},
        {"combining marks", kCombining, 4},
        {"flag", "\U0001F1FB\U0001F1F3", 1},
        {"family emoji", kFamily, 1},
        {"CR LF is one", "a\r\nb", 3},
        {"CJK", "中文字", 3},
        {"each invalid byte is one", "a\xFF\xFE" "b", 4},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(characterCount(row.text), row.count) << row.label;
        EXPECT_EQ(characterCount(row.text, 100), row.count) << row.label;
        EXPECT_EQ(characterBounds(row.text).size(), row.count + 1) << row.label;
        EXPECT_EQ(longerThan(row.text, row.count), false) << row.label;
        if (row.count > 0) EXPECT_EQ(longerThan(row.text, row.count - 1), true) << row.label;
    }
    EXPECT_EQ(characterBounds(kCombining), (std::vector<std::size_t>{0, 1, 2, 7, 8}));
}

TEST(Characters, CountingStopsJustPastTheLimit) {
    const std::string text(50, 'x');
    EXPECT_EQ(characterCount(text, 10), 11u);
    EXPECT_EQ(characterCount(text, 49), 50u);
    EXPECT_EQ(characterCount(text, 50), 50u);
    EXPECT_EQ(characterCount(text, 0), 1u);
    const std::string limitText(15'000, 'a');
    EXPECT_FALSE(longerThan(limitText, 15'000));
    EXPECT_TRUE(longerThan(limitText + "\u0301" "b", 15'000)) << "15,001 characters";
    EXPECT_FALSE(longerThan(limitText + "\u0301", 15'000)) << "a combining mark adds no character";
}

TEST(Characters, FirstAndLastCharactersNeverSplitACluster) {
    struct Row {
        std::string text;
        std::size_t count;
        std::string first;
        std::string last;
    };
    const std::vector<Row> rows{
        {"abcdef", 3, "abc", "def"},
        {"abc", 10, "abc", "abc"},
        {"abc", 0, "", ""},
        {"", 5, "", ""},
        {kCombining + " Nam", 3, "Vie\u0302\u0323", "Nam"},
        {"Nam " + kCombining, 3, "Nam", "ie\u0302\u0323t"},
        {"\U0001F1FB\U0001F1F3\U0001F1FA\U0001F1F8", 1, "\U0001F1FB\U0001F1F3", "\U0001F1FA\U0001F1F8"},
        {"a\r\nb", 2, "a\r\n", "\r\nb"},
        {"\xFF" + kFamily + "\xFE", 2, "\xFF" + kFamily, kFamily + "\xFE"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(firstCharacters(row.text, row.count), row.first) << row.text;
        EXPECT_EQ(lastCharacters(row.text, row.count), row.last) << row.text;
    }
}

TEST(Characters, BoundariesAndSentences) {
    // "Việt" with combining marks: boundaries at bytes 0, 1, 2, 7, 8
    for (std::size_t at = 0; at <= kCombining.size() + 1; ++at) {
        const bool expected = at == 0 || at == 1 || at == 2 || at >= 7;
        EXPECT_EQ(isCharacterBoundary(kCombining, at), expected) << at;
    }
    EXPECT_FALSE(isCharacterBoundary("😀", 2)) << "inside a code point";

    using Parts = std::vector<std::string_view>;
    EXPECT_EQ(sentences(""), Parts{});
    EXPECT_EQ(sentences("Xin chào. Bạn khỏe không? Tốt!  "), (Parts{"Xin chào. ", "Bạn khỏe không? ", "Tốt!  "}));
    EXPECT_EQ(sentences("One. 😀 Two."), (Parts{"One. ", "😀 Two."}));
}

}  // namespace
}  // namespace veska::text
