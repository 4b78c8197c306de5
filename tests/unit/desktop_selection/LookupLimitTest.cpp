// The selection limit (user-perceived characters for texts, UTF-16 units for ranges) and odd
// values that accessibility may report.
#include <gtest/gtest.h>

#include "SelectionRig.h"

namespace veska::testing {
namespace {

using ports::AXAttribute;
using ports::TextRange;

const std::string kDecomposedE = "e\xCC\x82";  // ê as e + combining circumflex: 2 units, 1 character

TEST(SelectionLookup, TextLimitCountsUserPerceivedCharacters) {
    struct Row {
        const char* name;
        std::string piece;
        std::int64_t unitsPerPiece;
        int count;
        bool hit;
    };
    const std::vector<Row> rows{
        {"15,000 characters", "a", 1, 15000, true},
        {"15,001 characters", "a", 1, 15001, false},
        {"15,000 characters of two units each", kDecomposedE, 2, 15000, true},
        {"15,001 characters of two units each", kDecomposedE, 2, 15001, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SelectionRig rig;
        const std::string selected = repeated(row.piece, row.count);
        rig.field("AXTextArea", selected, TextRange{0, row.unitsPerPiece * row.count});
        rig.setPasteboard("mine");
        const SelectionLookup full = rig.lookup();
        EXPECT_EQ(full.hit.has_value(), row.hit);
        if (full.hit) EXPECT_EQ(full.hit->text, selected);
        EXPECT_EQ(full.oversized, !row.hit);
        EXPECT_FALSE(full.blind);
        EXPECT_EQ(rig.desktop.pasteboard().plainText(), "mine");

        const AXOnlySelection axOnly = rig.lookupAXOnly();
        EXPECT_EQ(axOnly.text, selected);  // kept whole: the caller shortens it
        EXPECT_EQ(axOnly.cut, !row.hit);
        EXPECT_FALSE(axOnly.oversized);
    }
}

TEST(SelectionLookup, RangeLimitCountsUtf16Units) {
    struct Row {
        const char* name;
        std::string piece;
        int count;
        std::optional<std::string> text;
        bool cut;
    };
    const std::string emoji = "\xF0\x9F\x98\x80";
    const std::vector<Row> rows{
        {"15,000 units", "b", 15000, repeated("b", 15000), false},
        {"15,001 units: the first 15,000 kept", "b", 15001, repeated("b", 15000), true},
        {"7,500 emoji are 15,000 units", emoji, 7500, repeated(emoji, 7500), false},
        {"7,501 emoji are over the limit", emoji, 7501, repeated(emoji, 7500), true},
        {"an over-long run of spaces is no text", " ", 20000, std::nullopt, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SelectionRig rig;
        const std::string text = repeated(row.piece, row.count);
        const std::uint64_t id = rig.field("AXTextArea", text, TextRange{0, 0});
        sim::SimElement& e = rig.desktop.element(id);
        e.selection = {0, static_cast<std::int64_t>(e.text.size())};
        refuseSelectedText(e);
        const AXOnlySelection axOnly = rig.lookupAXOnly();
        EXPECT_EQ(axOnly.text, row.text);
        EXPECT_EQ(axOnly.cut, row.cut);
        EXPECT_EQ(axOnly.oversized, !row.text && row.count > 15000);
        EXPECT_TRUE(rig.desktop.trace().ofKind(sim::TraceKind::pasteboardClear).empty());
        EXPECT_TRUE(rig.posted().empty());
    }
}

TEST(SelectionLookup, OddAccessibilityValuesNeverStopTheSearch) {
    struct Row {
        const char* name;
        std::function<void(sim::SimElement&)> odd;
        std::optional<std::string> expected;
        bool cut;
    };
    const std::vector<Row> rows{
        {"selected text of the wrong type: the range is read",
         [](sim::SimElement& e) { e.overrides[AXAttribute::selectedText] = std::int64_t{3}; }, "ell", false},
        {"invalid UTF-8 comes back as it was",
         [](sim::SimElement& e) { e.overrides[AXAttribute::selectedText] = std::string("\xFF\xFEok"); }, "\xFF\xFEok",
         false},
        {"a range before the text",
         [](sim::SimElement& e) {
             refuseSelectedText(e);
             e.overrides[AXAttribute::selectedTextRange] = TextRange{-5, 3};
         },
         std::nullopt, false},
        {"a range of absurd length",
         [](sim::SimElement& e) {
             refuseSelectedText(e);
             e.overrides[AXAttribute::selectedTextRange] = TextRange{INT64_MAX, INT64_MAX};
         },
         std::nullopt, false},
        {"children that are no list",
         [](sim::SimElement& e) {
             refuseSelectedText(e);
             e.readFaults[AXAttribute::selectedTextRange] = {};
             e.overrides[AXAttribute::children] = std::string("none");
         },
         std::nullopt, false},
        {"a million characters",
         [](sim::SimElement& e) {
             e.text = std::u16string(1'000'000, u'm');
             e.selection = {0, 1'000'000};
         },
         std::string(1'000'000, 'm'), true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SelectionRig rig;
        row.odd(rig.desktop.element(rig.field("AXTextArea", "hello", TextRange{1, 3})));
        const AXOnlySelection result = rig.lookupAXOnly();
        EXPECT_EQ(result.text, row.expected);
        EXPECT_EQ(result.cut, row.cut);
    }
}

}  // namespace
}  // namespace veska::testing
