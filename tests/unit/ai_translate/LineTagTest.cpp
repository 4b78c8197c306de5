// Tag shapes, the free-tag choice and reading tagged answers.
#include <gtest/gtest.h>

#include <vector>

#include "core/ai/LineTag.h"

namespace veska::Translator {
namespace {

TEST(LineTag, CandidatesInOrderOfPreference) {
    std::vector<std::pair<std::string, std::string>> shapes;
    for (const Tag& tag : Tag::candidates()) shapes.emplace_back(tag.open, tag.close);
    EXPECT_EQ(shapes, (std::vector<std::pair<std::string, std::string>>{
                          {"[#", "]"}, {"⟦", "⟧"}, {"⟪", "⟫"}, {"〔#", "〕"}, {"{{#", "}}"}}));
}

TEST(LineTag, FreeTagAvoidsOpenStringsOfTheText) {
    struct Row {
        std::string text;
        std::string open;
        std::string close;
    };
    const std::vector<Row> rows{
        {"plain text", "[#", "]"},
        {"see [#1] here", "⟦", "⟧"},
        {"[# and ⟦", "⟪", "⟫"},
        {"[# ⟦ ⟪", "〔#", "〕"},
        {"[# ⟦ ⟪ 〔#", "{{#", "}}"},
        {"[# ⟦ ⟪ 〔# {{#", "⟦#", "⟧"},
        {"[# ⟦ ⟪ 〔# {{# ⟦#", "⟦##", "⟧"},
        {"[# ⟦ ⟪ 〔# {{# ⟦### ", "⟦####", "⟧"},
        {"a ] alone", "[#", "]"},
    };
    for (const Row& row : rows) {
        Tag tag = Tag::free(row.text);
        EXPECT_EQ(tag.open, row.open) << row.text;
        EXPECT_EQ(tag.close, row.close) << row.text;
    }
}

TEST(LineTag, StripRemovesTagsAndOneFollowingBlank) {
    Tag tag("[#", "]");
    EXPECT_EQ(tag.stripped("[#0] a\n[#12]\tb [#3]  c [#] d [#x] e"), "a\nb  c [#] d [#x] e");
    Tag curly("{{#", "}}");
    EXPECT_EQ(curly.stripped("{{#4}} x {{#}} y.*"), "x {{#}} y.*");
}

TEST(LineTag, RunawayDigitRunsAreReadInLinearTime) {
    const Tag square("[#", "]");
    std::string digits(200'000, '7');
    std::string answer = "[#0] a\n[#" + digits + "] b\n[#1] c\n[#" + digits;
    EXPECT_EQ(parse(answer, std::vector<std::size_t>{0, 1}, square),
              (Results{{0, "a\n[#" + digits + "] b"}, {1, "c\n[#" + digits}}));
    EXPECT_EQ(square.stripped(answer), "a\nb\nc\n[#" + digits);
}

TEST(LineTag, MatchesAreLeftmostAndDoNotOverlap) {
    const Tag square("[#", "]");
    std::vector<std::string> found;
    for (const TagMatch& m : square.regex("[#[#12]] [#] [#3]4] ]#5]")) found.emplace_back(m.digits);
    EXPECT_EQ(found, (std::vector<std::string>{"12", "3"}));
}

TEST(LineTag, ParseTable) {
    struct Row {
        std::string name;
        std::string answer;
        std::vector<std::size_t> expected;
        Results results;
    };
    const std::vector<Row> rows{
        {"in order", "[#0] Xin chào\n[#1] Tạm biệt", {0, 1}, {{0, "Xin chào"}, {1, "Tạm biệt"}}},
        {"reversed loses the lower tag", "[#1] B\n[#0] A", {0, 1}, {{1, "B\n[#0] A"}}},
        {"preamble goes to the first expected", "Sure:\n[#4] x\n[#5] y", {4, 5}, {{4, "x"}, {5, "y"}}},
        {"preamble stays when the own tag is empty", "Hello [#4]\n[#5] y", {4, 5}, {{4, "Hello"}, {5, "y"}}},
        {"no tag at all", "  just text \n", {7, 8}, {{7, "just text"}}},
        {"unexpected numbers are text", "[#0] a [#9] b\n[#1] c", {0, 1}, {{0, "a [#9] b"}, {1, "c"}}},
        {"repeated tag is ignored", "[#0] a\n[#0] b\n[#1] c", {0, 1}, {{0, "a\n[#0] b"}, {1, "c"}}},
        {"empty text after tag", "[#0]\n[#1] c", {0, 1}, {{0, ""}, {1, "c"}}},
        {"empty answer", "", {0}, {}},
        {"nothing expected", "text [#0] a", {}, {}},
        {"leading zeros", "[#007] z", {7}, {{7, "z"}}},
        {"huge number", "[#99999999999999999999] z", {0}, {{0, "[#99999999999999999999] z"}}},
        {"other shape is text", "⟦2⟧ two ⟦3⟧ three", {2, 3}, {{2, "⟦2⟧ two ⟦3⟧ three"}}},
        {"gap allowed", "[#0] a\n[#2] c", {0, 1, 2}, {{0, "a"}, {2, "c"}}},
    };
    const Tag square("[#", "]");
    for (const Row& row : rows) EXPECT_EQ(parse(row.answer, row.expected, square), row.results) << row.name;
    const Tag white("⟦", "⟧");
    EXPECT_EQ(parse("⟦2⟧ two ⟦3⟧ three", std::vector<std::size_t>{2, 3}, white),
              (Results{{2, "two"}, {3, "three"}}));
}

}  // namespace
}  // namespace veska::Translator
