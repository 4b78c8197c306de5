// Cutting texts into read-aloud parts: normalisation, windows, cuts, limits, odd input.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/voice/GrokSessionSplit.h"

namespace veska {
namespace {

using Parts = std::vector<std::string>;

std::string repeat(const std::string& piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += piece;
    return out;
}

TEST(GrokSessionSplit, NormalisesLinesBeforeCutting) {
    struct Row {
        std::string text;
        Parts parts;
    };
    const std::vector<Row> rows = {
        {"", {}},
        {"\n\n \t \r\n  \n", {}},
        {"  Hello  \r\n\r\n\tworld\t", {"Hello\nworld"}},
        {"a\rb", {"ab"}},
        {"one\n\n\ntwo\n", {"one\ntwo"}},
        {"\xC2\xA0", {"\xC2\xA0"}},  // a no-break space is not trimmed from a line
    };
    for (const auto& row : rows) EXPECT_EQ(GrokSession::split(row.text, 240, 1600), row.parts) << row.text;
}

TEST(GrokSessionSplit, CutsEachWindowAtItsLastSentenceEndOrSpace) {
    struct Row {
        const char* what;
        std::string text;
        int first;
        int rest;
        Parts parts;
    };
    const std::vector<Row> rows = {
        {"fits whole", "Short text.", 20, 20, {"Short text."}},
        {"exactly the limit", std::string(10, 'a'), 10, 10, {std::string(10, 'a')}},
        {"hard cut without end or space", std::string(25, 'a'), 10, 10,
         {std::string(10, 'a'), std::string(10, 'a'), std::string(5, 'a')}},
        {"after the last sentence end", "Aaaa. Bbb! Ccc dd", 12, 100, {"Aaaa. Bbb!", "Ccc dd"}},
        {"before the last space", "aaaa bbbb cccc", 12, 100, {"aaaa bbbb", "cccc"}},
        // The sentence end sits at index 1, not beyond 12 ÷ 3: the later space wins.
        {"early sentence end ignored", "a. bbbbbb ccccc", 12, 100, {"a. bbbbbb", "ccccc"}},
        // The space at index 3 is not beyond 12 ÷ 3 = 4 characters: a hard cut.
        {"early space ignored", "aaa bbbbbbbbbbbbb", 12, 100, {"aaa bbbbbbbb", "bbbbb"}},
        // Index 5 is beyond 4: the cut is right after it.
        {"end just past a third", "aaaaa.bbbbbbbbbbb", 12, 100, {"aaaaa.", "bbbbbbbbbbb"}},
        {"end exactly at a third", "aaaa.bbbbbbbbbbbb", 12, 100, {"aaaa.bbbbbbb", "bbbbb"}},
        {"a newline ends a sentence", "aaaaaa\nbbbbbbbbbb", 12, 100, {"aaaaaa", "bbbbbbbbbb"}},
        {"ellipsis and ideographic stop", "aaaaa\u2026bbbbbb\u3002cccccccc", 13, 9,
         {"aaaaa\u2026bbbbbb\u3002", "cccccccc"}},
        {"the second limit for later parts", "aa bb cc dd ee ff gg", 6, 9, {"aa bb", "cc dd ee", "ff gg"}},
        {"white space after the cut is skipped", "aaaaa.     bbb", 8, 8, {"aaaaa.", "bbb"}},
        {"limits below one count as one", "abc", 0, -5, {"a", "b", "c"}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(GrokSession::split(row.text, row.first, row.rest), row.parts) << row.what;
    }
}

TEST(GrokSessionSplit, ReadingLimitsWithTheRealSizes) {
    // No sentence end or space in the first 240 characters: cut hard at 240.
    const Parts hard = GrokSession::split(std::string(300, 'x'), 240, 1600);
    ASSERT_EQ(hard.size(), 2u);
    EXPECT_EQ(hard[0].size(), 240u);
    EXPECT_EQ(hard[1].size(), 60u);

    // A sentence end at character 50 of the window is ignored in favour of a later space.
    const std::string text = std::string(49, 'a') + ". " + std::string(100, 'b') + " " + std::string(200, 'c');
    const Parts parts = GrokSession::split(text, 240, 1600);
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[0], std::string(49, 'a') + ". " + std::string(100, 'b'));
    EXPECT_EQ(parts[1], std::string(200, 'c'));
}

TEST(GrokSessionSplit, CountsUserPerceivedCharacters) {
    // "ế" written as e + two combining marks is one character of five bytes.
    const std::string composed = "e\u0302\u0301";
    const Parts parts = GrokSession::split(repeat(composed, 7), 3, 3);
    EXPECT_EQ(parts, (Parts{repeat(composed, 3), repeat(composed, 3), composed}));
    // A family emoji is one character.
    const std::string family = "\U0001F468\u200D\U0001F469\u200D\U0001F467";
    EXPECT_EQ(GrokSession::split(family + family, 1, 1), (Parts{family, family}));
}

TEST(GrokSessionSplit, ReadsAtMostFifteenThousandCharacters) {
    // "ạ" is one character of three bytes; the character after the 15,000th is never read.
    for (const int count : {14'999, 15'000, 15'001, 40'000}) {
        const Parts parts = GrokSession::split(repeat("\u1EA1", count) + "b", 240, 1600);
        std::string joined;
        for (const auto& part : parts) joined += part;
        const std::size_t read = count < 15'000 ? static_cast<std::size_t>(count) + 1 : 15'000;
        EXPECT_EQ(joined.size(), count < 15'000 ? 3 * (read - 1) + 1 : 3 * read) << count;
        EXPECT_EQ(parts.front().size(), 3u * 240) << count;
    }
}

TEST(GrokSessionSplit, InvalidUtf8BecomesReplacementCharacters) {
    const Parts parts = GrokSession::split("ab\xFF\xFE" "cd", 240, 1600);
    EXPECT_EQ(parts, (Parts{"ab\uFFFD\uFFFD" "cd"}));
}

TEST(GrokSessionSplit, PartsAreTrimmedAndNeverEmpty) {
    // Random-ish texts of words, sentence ends and blank runs: every part is non-empty, trimmed,
    // within its limit, and the parts keep every non-blank character in order.
    std::string text;
    unsigned seed = 7;
    for (int i = 0; i < 3000; ++i) {
        seed = seed * 1103515245U + 12345U;
        const unsigned pick = (seed >> 16) % 10;
        text += pick < 6 ? "w" : pick == 6 ? " " : pick == 7 ? ". " : pick == 8 ? "\n" : "  \t";
    }
    const Parts parts = GrokSession::split(text, 40, 90);
    std::string kept;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        ASSERT_FALSE(parts[i].empty());
        EXPECT_NE(parts[i].front(), ' ');
        EXPECT_NE(parts[i].back(), ' ');
        EXPECT_LE(parts[i].size(), i == 0 ? 40u : 90u);
        for (char c : parts[i]) {
            if (c == 'w' || c == '.') kept += c;
        }
    }
    std::string expected;
    for (char c : text) {
        if (c == 'w' || c == '.') expected += c;
    }
    EXPECT_EQ(kept, expected);
}

}  // namespace
}  // namespace veska
