// Joining, normalising and de-duplicating the voice stream's transcript text.
#include <gtest/gtest.h>

#include "core/voice/ClaudeVoiceText.h"

namespace veska {
namespace {

TEST(ClaudeVoiceText, JoinPutsOneSpaceBetweenWordsOnly) {
    struct Row {
        std::string a, b, joined;
    };
    const std::vector<Row> rows = {
        {"Hello", "world", "Hello world"},
        {"Hello ", "world", "Hello world"},
        {"Hello", " world", "Hello world"},
        {"Hello\n", "world", "Hello\nworld"},
        {"", "world", "world"},
        {"Hello", "", "Hello"},
        {"", "", ""},
        {"Xin chào", "các bạn", "Xin chào các bạn"},
        {"end\u00a0", "next", "end\u00a0next"},    // a no-break space is white space
        {"一", "二", "一 二"},
        {"tab\t", "x", "tab\tx"},
        {"ideographic\u3000", "x", "ideographic\u3000x"},
    };
    for (const auto& row : rows) EXPECT_EQ(ClaudeVoiceText::join(row.a, row.b), row.joined) << row.a << "|" << row.b;
}

TEST(ClaudeVoiceText, NormalizeCollapsesSpacesNewlinesAndTabs) {
    struct Row {
        std::string in, out;
    };
    const std::vector<Row> rows = {
        {"a  b", "a b"},
        {"  lead and trail  ", "lead and trail"},
        {"line\nbreak\ttab", "line break tab"},
        {"\n\t \n", ""},
        {"", ""},
        {"keep\u00a0nbsp", "keep\u00a0nbsp"},
        {"một  hai\n\nba", "một hai ba"},
    };
    for (const auto& row : rows) EXPECT_EQ(ClaudeVoiceText::normalize(row.in), row.out) << row.in;
}

TEST(ClaudeVoiceText, ATranscriptRepeatingTheCommittedWordsKeepsOnlyItsTail) {
    struct Row {
        std::string data, committed, rest;
    };
    const std::vector<Row> rows = {
        {"Hello world again", "Hello world", " again"},
        {"Hello world", "Hello world", ""},
        {"again", "Hello world", "again"},
        {"Hello", "", "Hello"},
        {"Hell", "Hello", "Hell"},
        // "e" followed by a combining accent is "é": "e" is not a whole-character prefix.
        {"e\u0301t\u00e9", "e", "e\u0301t\u00e9"},
        {"Việt Nam", "Việt", " Nam"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ClaudeVoiceText::withoutCommitted(row.data, row.committed), row.rest) << row.data;
    }
}

}  // namespace
}  // namespace veska
