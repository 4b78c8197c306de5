// Cutting lines into pieces and segments, and packing segments into messages.
#include <gtest/gtest.h>

#include <numeric>

#include "core/ai/TaggedTranslationSegments.h"
#include "text/Characters.h"
#include "text/WhiteSpace.h"

namespace veska::Translator {

namespace {

// A sentence of exactly `length` characters: "X", words of "x", then ". ".
std::string sentence(std::size_t length) {
    std::string out = "X";
    for (std::size_t i = 1; i + 2 < length; ++i) out += (i % 10 == 9) ? ' ' : 'x';
    return out + ". ";
}

TEST(TaggedTranslationSegments, ShortLinesAreOnePieceWithoutGlue) {
    EXPECT_EQ(pieces("Hello world", 1200), (std::vector<Piece>{{"Hello world", std::nullopt}}));
    std::string exact(1200, 'a');
    EXPECT_EQ(pieces(exact, 1200), (std::vector<Piece>{{exact, std::nullopt}}));
    // 1200 two-byte characters are still one piece: the limit counts characters, not bytes.
    std::string wide;
    for (int i = 0; i < 1200; ++i) wide += "ệ";
    EXPECT_EQ(pieces(wide, 1200).size(), 1U);
}

TEST(TaggedTranslationSegments, LongParagraphIsCutNearSentenceEnds) {
    std::string line = sentence(1000) + sentence(1000) + sentence(1000);
    line.pop_back();
    ASSERT_EQ(text::characterCount(line), 2999U);
    std::vector<Piece> cut = pieces(line, 1200);
    ASSERT_EQ(cut.size(), 3U);
    for (const Piece& piece : cut) {
        EXPECT_FALSE(piece.glue.has_value());
        EXPECT_TRUE(piece.text.ends_with("."));
        EXPECT_LE(text::characterCount(piece.text), 1200U);
    }
    EXPECT_EQ(cut[0].text + " " + cut[1].text + " " + cut[2].text, line);
}

TEST(TaggedTranslationSegments, SentencesShareAPieceUpToTheLimit) {
    std::string line = sentence(500) + sentence(500) + sentence(500);
    std::vector<Piece> cut = pieces(line, 1200);
    ASSERT_EQ(cut.size(), 2U);
    EXPECT_EQ(text::characterCount(cut[0].text), 999U);  // two sentences, trailing space trimmed
    EXPECT_EQ(text::characterCount(cut[1].text), 499U);
}

TEST(TaggedTranslationSegments, OverlongSentenceIsCutAtItsLastSpaceWithGlue) {
    std::string words;
    while (text::characterCount(words) < 2500) words += "word  ";
    words = words.substr(0, 2500);
    std::vector<Piece> cut = pieces(words, 1200);
    ASSERT_GE(cut.size(), 3U);
    EXPECT_FALSE(cut[0].glue.has_value());
    std::string rebuilt = cut[0].text;
    for (std::size_t i = 1; i < cut.size(); ++i) {
        ASSERT_TRUE(cut[i].glue.has_value()) << i;
        EXPECT_EQ(*cut[i].glue, "  ");
        rebuilt += *cut[i].glue + cut[i].text;
    }
    for (const Piece& piece : cut) EXPECT_LE(text::characterCount(piece.text), 1200U);
    EXPECT_EQ(rebuilt, std::string(text::trimmedBlanks(words)));
}

TEST(TaggedTranslationSegments, SentenceWithoutSpacesIsCutAtTheLimitExactly) {
    std::string line;
    for (int i = 0; i < 2500; ++i) line += "中";
    std::vector<Piece> cut = pieces(line, 1200);
    ASSERT_EQ(cut.size(), 3U);
    EXPECT_EQ(text::characterCount(cut[0].text), 1200U);
    EXPECT_EQ(text::characterCount(cut[1].text), 1200U);
    EXPECT_EQ(text::characterCount(cut[2].text), 100U);
    EXPECT_EQ(cut[1].glue, std::optional<std::string>(""));
    // A space only at the very start does not count as a cut point.
    std::string leading = " " + std::string(1300, 'y');
    std::vector<Piece> atLimit = pieces(leading, 1200);
    ASSERT_EQ(atLimit.size(), 2U);
    EXPECT_EQ(atLimit[0].text, std::string(1199, 'y'));
    EXPECT_EQ(atLimit[1].text, std::string(101, 'y'));
}

TEST(TaggedTranslationSegments, SegmentsSkipBlankLinesAndTrimBlanks) {
    const std::vector<std::string> lines{"First line", "", "  \t ", "    Indented\t", "Last"};
    EXPECT_EQ(segments(lines, 1200), (std::vector<Segment>{{0, "First line", std::nullopt},
                                                           {3, "Indented", std::nullopt},
                                                           {4, "Last", std::nullopt}}));
    std::string longLine = sentence(1000) + sentence(1000);
    std::vector<Segment> cut = segments(std::vector<std::string>{"a", longLine}, 1200);
    ASSERT_EQ(cut.size(), 3U);
    EXPECT_EQ(cut[1].line, 1U);
    EXPECT_EQ(cut[2].line, 1U);
}

TEST(TaggedTranslationSegments, ChunkBoundaries) {
    auto of = [](std::vector<std::size_t> lengths) {
        std::vector<Segment> out;
        for (std::size_t n : lengths) out.push_back({0, std::string(n, 'a'), std::nullopt});
        return out;
    };
    using Chunks = std::vector<std::vector<std::size_t>>;
    struct Row {
        std::vector<std::size_t> lengths;
        Chunks expected;
    };
    const std::vector<Row> rows{
        {{}, {}},
        {{5}, {{0}}},
        {{2000}, {{0}}},                 // oversized alone
        {{1000, 792}, {{0, 1}}},         // 1008 + 792 = 1800 fits
        {{1000, 793}, {{0}, {1}}},       // 1008 + 793 = 1801 does not
        {{2000, 1}, {{0}, {1}}},         // anything after an oversized one moves on
        {{892, 892, 1}, {{0, 1}, {2}}},  // 900 + 892 fits; 1800 + 1 does not
        {{100, 100, 100}, {{0, 1, 2}}},
    };
    for (const Row& row : rows) EXPECT_EQ(chunks(of(row.lengths), 1800), row.expected);
}

}  // namespace
}  // namespace veska::Translator
