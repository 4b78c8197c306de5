// Ranges of a field's text through accessibility, in UTF-16 units, and the Command chords.
#include <gtest/gtest.h>

#include "SelectionRig.h"

namespace veska::testing {
namespace {

namespace k = ports::keys;
namespace f = ports::flags;
using ports::AXAttribute;
using ports::TextRange;

const std::string kEmoji = "\xF0\x9F\x98\x80";  // 2 UTF-16 units

TEST(SelectionAX, EditableControlsAreTheTextEntryRoles) {
    struct Row {
        std::string role;
        bool expected;
    };
    const std::vector<Row> rows{{"AXTextField", true},  {"AXTextArea", true}, {"AXTextView", true},
                                {"AXComboBox", true},   {"AXSearchField", true}, {"AXStaticText", false},
                                {"AXWebArea", false},   {"AXGroup", false},   {"axtextfield", false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.role);
        SelectionRig rig;
        const std::uint64_t id = rig.field(row.role, "x");
        EXPECT_EQ(rig.service.isEditableTextControl({id}), row.expected);
    }
    SelectionRig rig;
    const std::uint64_t odd = rig.field("AXTextField", "x");
    rig.desktop.element(odd).overrides[AXAttribute::role] = std::int64_t{7};
    EXPECT_FALSE(rig.service.isEditableTextControl({odd}));
    rig.desktop.element(odd).overrides.clear();
    rig.desktop.element(odd).readFaults[AXAttribute::role] = {.stalls = true};
    EXPECT_FALSE(rig.service.isEditableTextControl({odd}));
    EXPECT_FALSE(rig.service.isEditableTextControl({}));
}

TEST(SelectionAX, RangeStringsCountUtf16UnitsAndFallBackToTheValue) {
    struct Row {
        const char* name;
        bool refuseStringForRange;
        TextRange range;
        std::optional<std::string> expected;
    };
    const std::string text = "a" + kEmoji + "bc";  // 5 units
    const std::vector<Row> rows{
        {"asked directly", false, {1, 2}, kEmoji},
        {"from the value", true, {1, 2}, kEmoji},
        {"value up to its end", true, {3, 2}, "bc"},
        {"value past its end", true, {4, 2}, std::nullopt},
        {"negative location", true, {-1, 1}, std::nullopt},
        {"negative length", true, {2, -1}, std::nullopt},
        {"range that would overflow", true, {3, INT64_MAX}, std::nullopt},
        {"empty range", true, {5, 0}, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SelectionRig rig;
        const std::uint64_t id = rig.field("AXTextArea", text);
        if (row.refuseStringForRange) {
            rig.desktop.element(id).parameterizedFaults[ports::AXParameterizedAttribute::stringForRange] = {};
        }
        EXPECT_EQ(rig.service.axString({id}, row.range), row.expected);
    }
}

TEST(SelectionAX, ReplaceBeforeCaretChecksTheTextBeforeTheCaret) {
    struct Row {
        const char* name;
        std::string text;
        TextRange selection;
        std::string deleted;
        std::string insert;
        std::function<void(sim::SimElement&)> fault;
        bool expected;
        std::string after;
    };
    auto none = [](sim::SimElement&) {};
    const std::vector<Row> rows{
        {"retypes the changed tail", "hello wor", {9, 0}, "wor", "world", none, true, "hello world"},
        {"an emoji is two units", "ok" + kEmoji, {4, 0}, kEmoji, "!", none, true, "ok!"},
        {"nothing deleted: inserts at the caret", "ab", {1, 0}, "", "X", none, true, "aXb"},
        {"nothing deleted: replaces the selection", "abcd", {1, 2}, "", "X", none, true, "aXd"},
        {"text before the caret differs", "hello wxr", {9, 0}, "wor", "world", none, false, "hello wxr"},
        {"a selection is not a caret", "hello wor", {6, 3}, "wor", "world", none, false, "hello wor"},
        {"caret too near the start", "or", {2, 0}, "wor", "w", none, false, "or"},
        {"settable question fails", "abc", {3, 0}, "c", "d",
         [](sim::SimElement& e) { e.settableFaults[AXAttribute::selectedText] = {}; }, false, "abc"},
        {"range unreadable", "abc", {3, 0}, "c", "d",
         [](sim::SimElement& e) { e.readFaults[AXAttribute::selectedTextRange] = {}; }, false, "abc"},
        {"range refused", "abc", {3, 0}, "c", "d",
         [](sim::SimElement& e) { e.writeFaults[AXAttribute::selectedTextRange] = {}; }, false, "abc"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SelectionRig rig;
        const std::uint64_t id = rig.field("AXTextArea", row.text, row.selection);
        row.fault(rig.desktop.element(id));
        EXPECT_EQ(rig.service.replaceBeforeCaretViaAX(row.deleted, row.insert, rig.appPid), row.expected);
        EXPECT_EQ(rig.desktop.text(id), row.after);
    }
    SelectionRig rig;
    const std::uint64_t label = rig.field("AXStaticText", "abc", TextRange{3, 0});
    EXPECT_FALSE(rig.service.replaceBeforeCaretViaAX("c", "d", rig.appPid));
    EXPECT_EQ(rig.desktop.text(label), "abc");
}

TEST(SelectionAX, CommandChordIsAllOrNothing) {
    SelectionRig rig;
    rig.field("AXTextArea", "");
    EXPECT_TRUE(rig.service.postCommandC(k::kC));
    std::vector<ports::SyntheticKey> keys;
    for (const sim::TraceEntry& e : rig.posted()) keys.push_back({e.keyCode, e.down, e.flags});
    const std::vector<ports::SyntheticKey> expected{{k::kCommand, true, f::kCommand},
                                                    {k::kC, true, f::kCommand},
                                                    {k::kC, false, f::kCommand},
                                                    {k::kCommand, false, 0}};
    EXPECT_EQ(keys, expected);

    rig.desktop.keyPoster().setEventsFail(true);
    EXPECT_FALSE(rig.service.postCommandC(k::kV));
    EXPECT_EQ(rig.posted().size(), expected.size());
    rig.desktop.keyPoster().setAutomationAvailable(false);
    EXPECT_FALSE(rig.service.pasteViaSystemEvents());
}

}  // namespace
}  // namespace veska::testing
