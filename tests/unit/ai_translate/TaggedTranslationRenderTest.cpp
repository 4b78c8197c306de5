// Rendering results into the source's lines, indentation and reading paragraphs.
#include <gtest/gtest.h>

#include "core/ai/TaggedTranslationRender.h"
#include "text/Characters.h"
#include "text/WhiteSpace.h"

namespace veska::Translator {

namespace {

const Tag kSquare("[#", "]");

TEST(TaggedTranslationRender, RenderTable) {
    const std::vector<std::string> lines{"Hello", "", "    Indented  ", "Long line"};
    const std::vector<Segment> segs{{0, "Hello", std::nullopt},
                                    {2, "Indented", std::nullopt},
                                    {3, "Long", std::nullopt},
                                    {3, "line", std::string("\t")},
                                    {3, "more", std::nullopt}};
    struct Row {
        std::string name;
        Results results;
        std::string join;
        std::optional<std::string> loose;
        std::string expected;
    };
    const std::vector<Row> rows{
        {"all",
         {{0, "Xin chào"}, {1, "Thụt"}, {2, "Dài"}, {3, "dòng"}, {4, "nữa"}},
         " ",
         std::nullopt,
         "Xin chào\n\n    Thụt  \nDài\tdòng nữa"},
        {"no space join",
         {{0, "A"}, {1, "B"}, {2, "C"}, {3, "D"}, {4, "E"}},
         "",
         std::nullopt,
         "A\n\n    B  \nC\tDE"},
        {"stops at the first missing", {{0, "A"}, {2, "C"}}, " ", std::nullopt, "A"},
        {"partial line is shown", {{0, "A"}, {1, "B"}, {2, "C"}}, " ", std::nullopt, "A\n\n    B  \nC"},
        {"empty entries add nothing",
         {{0, ""}, {1, "B"}, {2, ""}, {3, "D"}, {4, "E"}},
         " ",
         std::nullopt,
         "    B  \nD E"},
        {"loose before any tag", {}, " ", "[#0] Xin", "Xin"},
        {"loose is ignored once a line shows", {{0, "A"}}, " ", "[#0] A [#1] B", "A"},
        {"nothing and no loose", {}, " ", std::nullopt, ""},
        {"multi-line entry drops trailing indent",
         {{0, "A"}, {1, "B\nb"}, {2, "C"}, {3, "D"}, {4, "E"}},
         " ",
         std::nullopt,
         "A\n\n    B\nb\nC\tD E"},
    };
    for (const Row& row : rows) {
        std::optional<std::string_view> loose;
        if (row.loose) loose = *row.loose;
        EXPECT_EQ(render(lines, segs, row.results, row.join, loose, kSquare), row.expected) << row.name;
    }
}

TEST(TaggedTranslationRender, BlankLinesAroundTheTextAreTrimmedOnlyOfNewlines) {
    const std::vector<std::string> lines{"", "a", ""};
    const std::vector<Segment> segs{{1, "a", std::nullopt}};
    EXPECT_EQ(render(lines, segs, Results{{0, "b"}}, " ", std::nullopt, kSquare), "b");
}

TEST(TaggedTranslationRender, IndentedTable) {
    struct Row {
        std::string line, text, expected;
    };
    const std::vector<Row> rows{
        {"    code", "mã", "    mã"},
        {"\t- item \t", "- mục", "\t- mục \t"},
        {"  two", "a\nb", "  a\nb"},
        {"plain", "x", "x"},
    };
    for (const Row& row : rows) EXPECT_EQ(indented(row.line, row.text), row.expected) << row.line;
}

// A line of five sentences of 100 characters each (500 characters).
std::string fiveSentences(const std::string& start = "") {
    std::string line = start;
    for (int s = 0; s < 5; ++s) {
        if (!line.empty() && line != start) line += ' ';
        line += "S" + std::string(98, 'x') + ".";
    }
    return line;
}

TEST(TaggedTranslationRender, LongReadingLineBecomesParagraphs) {
    std::string line = fiveSentences();
    ASSERT_EQ(text::characterCount(line), 504U);
    std::string out = paragraphs(line);
    std::vector<std::string_view> parts = text::splitAt(out, "\n\n");
    EXPECT_GE(parts.size(), 2U);
    EXPECT_LE(parts.size(), 3U);
    std::string rejoined;
    for (std::string_view p : parts) {
        EXPECT_LE(text::characterCount(p), 240U + 100U);
        rejoined += (rejoined.empty() ? "" : " ") + std::string(p);
    }
    EXPECT_EQ(rejoined, line);
}

TEST(TaggedTranslationRender, SplitLeavesListsHeadingsNumbersAndShortLines) {
    const std::vector<std::string> unchanged{
        fiveSentences("- "),
        fiveSentences("  - "),
        fiveSentences("# "),
        fiveSentences("12. "),
        fiveSentences("٣ "),
        std::string(320, 'a'),
        "Short. Line. Here.",
        std::string(200, 'a') + ". " + std::string(200, 'b') + ".",  // two sentences only
    };
    for (const std::string& line : unchanged) EXPECT_EQ(split(line, 320, 240), line) << line.substr(0, 8);
}

TEST(TaggedTranslationRender, SplitSentenceRules) {
    // "3.5" does not end a sentence; "。" ends one even without a space.
    std::string a(150, 'a'), b(150, 'b'), c(150, 'c');
    EXPECT_EQ(split(a + " 3.5 x. " + b + "! " + c + "?", 320, 240),
              a + " 3.5 x.\n\n" + b + "!\n\n" + c + "?");
    std::string han;
    for (int i = 0; i < 130; ++i) han += "字";
    EXPECT_TRUE(split(han + "。" + han + "！" + han + "？", 320, 240) ==
                han + "。\n\n" + han + "！\n\n" + han + "？");
    // Sentences are grouped while the paragraph stays within the target.
    std::string s(100, 's');
    std::string line = s + ". " + s + ". " + s + ". " + s + ".";
    EXPECT_EQ(split(line, 320, 240), s + ". " + s + ".\n\n" + s + ". " + s + ".");
}

TEST(TaggedTranslationRender, SplitGroupsSentencesUpToTheTargetExactly) {
    auto sentence = [](std::size_t characters, char letter) {
        return std::string(characters - 1, letter) + ".";
    };
    const std::string s1 = sentence(119, 'a');
    const std::string tail = sentence(101, 'c');
    // 119 + 121 characters fill the target exactly; one more starts a new paragraph.
    EXPECT_EQ(split(s1 + " " + sentence(121, 'b') + " " + tail, 320, 240),
              s1 + " " + sentence(121, 'b') + "\n\n" + tail);
    EXPECT_EQ(split(s1 + " " + sentence(122, 'b') + " " + tail, 320, 240),
              s1 + "\n\n" + sentence(122, 'b') + " " + tail);
    // A sentence opening with a combining mark makes one character with the space before it.
    const std::string marked = "\xCC\x81" + sentence(50, 'b');
    const std::string s3 = sentence(139, 'd');
    const std::string line = sentence(50, 'a') + " " + marked + " " + s3 + " " + tail;
    EXPECT_EQ(split(line, 320, 240), sentence(50, 'a') + " " + marked + " " + s3 + "\n\n" + tail);
}

TEST(TaggedTranslationRender, ParagraphMarkSplitsAnyLine) {
    EXPECT_EQ(paragraphs("One. Two. \t¶  Three.\nShort line\n\n- list ¶ item"),
              "One. Two.\n\nThree.\nShort line\n\n- list\n\nitem");
    EXPECT_EQ(paragraphs(""), "");
}

}  // namespace
}  // namespace veska::Translator
