// What simulated applications do with the keys Veska posts.
#include <algorithm>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "SimRigs.h"
#include "platform/sim/SimKeyNames.h"

namespace veska::sim::testing {
namespace {

namespace k = ports::keys;
namespace f = ports::flags;
using ports::SyntheticKey;
using ports::TextRange;

const std::string kEmoji = "\xF0\x9F\x98\x80";                 // 2 UTF-16 units
const std::string kThumbTone = "\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD";  // 4 units, one character
const std::string kVietDecomposed = "Vie\xCC\xA3\xCC\x82t";    // e + two marks: one character

std::vector<SyntheticKey> keyPress(ports::KeyCode code, ports::KeyFlags flags = 0) {
    return {{code, true, flags}, {code, false, flags}};
}

std::vector<SyntheticKey> chord(ports::KeyCode code) { return contract::commandChord(code); }

std::vector<SyntheticKey> joined(std::vector<SyntheticKey> a, const std::vector<SyntheticKey>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(SimKeyEffects, DeleteAndPasteActOnTheFocusedFieldByUserPerceivedCharacters) {
    struct Row {
        const char* name;
        std::string text;
        TextRange selection;
        std::optional<std::string> pasteboard;
        std::vector<ports::KeyCode> userHolds;
        std::vector<SyntheticKey> keys;
        std::string expected;
        std::int64_t caret;
    };
    const std::vector<Row> rows{
        {"delete at the start of a field", "abc", {0, 0}, {}, {}, keyPress(k::kDelete), "abc", 0},
        {"delete takes the selection only", "hello", {1, 3}, {}, {}, keyPress(k::kDelete), "ho", 1},
        {"delete takes a whole emoji", "a" + kEmoji, {3, 0}, {}, {}, keyPress(k::kDelete), "a", 1},
        {"delete takes a toned emoji", "x" + kThumbTone, {5, 0}, {}, {}, keyPress(k::kDelete), "x", 1},
        {"delete takes a decomposed letter", kVietDecomposed, {5, 0}, {}, {}, keyPress(k::kDelete), "Vit", 2},
        {"option+delete takes a word", "one two", {7, 0}, {}, {}, keyPress(k::kDelete, f::kOption), "one ", 4},
        {"command+delete takes the line", "a\nbc d", {6, 0}, {}, {}, keyPress(k::kDelete, f::kCommand), "a\n", 2},
        {"user's control turns delete into a word delete", "one two", {7, 0}, {}, {k::kControl},
         keyPress(k::kDelete), "one ", 4},
        {"paste replaces the selection", "hello", {1, 3}, "XY", {}, chord(k::kV), "hXYo", 3},
        {"paste of an emoji counts UTF-16 units", "ab", {1, 0}, kEmoji, {}, chord(k::kV), "a" + kEmoji + "b", 3},
        {"paste keeps decomposed marks", "", {0, 0}, kVietDecomposed, {}, chord(k::kV), kVietDecomposed, 6},
        {"paste with no text on the pasteboard", "ab", {2, 0}, std::nullopt, {}, chord(k::kV), "ab", 2},
        {"user's control spoils command+V", "ab", {2, 0}, "Z", {k::kControl}, chord(k::kV), "ab", 2},
        {"a posted control key-up frees command+V", "ab", {2, 0}, "Z", {k::kControl},
         joined({{k::kControl, false, 0}}, chord(k::kV)), "abZ", 3},
        {"command+A selects everything, delete clears it", "abc", {1, 0}, {}, {},
         joined(chord(k::kA), keyPress(k::kDelete)), "", 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SimRigBase rig;
        rig.fill(row.text, row.selection);
        if (row.pasteboard) {
            rig.desktop.pasteboard().writeFromApp(rig.appPid, {.plainText = *row.pasteboard, .html = {}, .rtf = {}});
        } else {
            rig.desktop.pasteboard().clear();
        }
        for (ports::KeyCode code : row.userHolds) rig.desktop.keyboard().press(code);
        ASSERT_TRUE(rig.desktop.keyPoster().post(row.keys));
        EXPECT_EQ(rig.desktop.text(rig.field), row.expected);
        EXPECT_EQ(rig.desktop.selection(rig.field), (TextRange{row.caret, 0}));
    }
}

TEST(SimKeyEffects, CopyPutsTheSelectionWithItsRichFormsOrLeavesThePasteboard) {
    struct Row {
        std::optional<std::string> html;
        std::optional<std::string> rtf;
        TextRange selection;
        bool copies;
    };
    const Row rows[] = {
        {"<b>world</b>", std::nullopt, {6, 5}, true},
        {std::nullopt, "{\\rtf1 world}", {6, 5}, true},
        {"<b>world</b>", "{\\rtf1 world}", {6, 5}, true},
        {std::nullopt, std::nullopt, {6, 5}, true},
        {"<b>world</b>", std::nullopt, {6, 0}, false},  // nothing selected: the pasteboard stays
    };
    for (const Row& row : rows) {
        SimRigBase rig;
        rig.fill("hello world", row.selection);
        rig.desktop.element(rig.field).html = row.html;
        rig.desktop.element(rig.field).rtf = row.rtf;
        rig.desktop.pasteboard().writeFromApp(rig.appPid, {.plainText = "before", .html = {}, .rtf = {}});
        const auto countBefore = rig.desktop.pasteboard().changeCount();
        ASSERT_TRUE(rig.desktop.keyPoster().post(contract::commandChord(k::kC)));
        const auto& board = rig.desktop.pasteboard();
        if (!row.copies) {
            EXPECT_EQ(board.changeCount(), countBefore);
            EXPECT_EQ(board.plainText(), "before");
            continue;
        }
        EXPECT_EQ(board.contents(), (ports::PasteboardContents{.plainText = "world", .html = row.html, .rtf = row.rtf}));
        EXPECT_EQ(rig.desktop.text(rig.field), "hello world") << "copying changes nothing in the field";
    }
}

TEST(SimKeyEffects, KeysGoToWhicheverApplicationIsInFrontWhenPosted) {
    SimRigBase rig;
    rig.fill("notes", {5, 0});
    const std::int32_t other = rig.desktop.launchApp(
        {.bundleIdentifier = "org.example.Mail", .localizedName = "Mail", .activationDelaySeconds = 0.2});
    const std::uint64_t mailField = rig.desktop.addFocusedField(other, {.role = "AXTextField", .text = "mail"});
    ASSERT_TRUE(rig.desktop.workspace().activate(other));
    rig.desktop.keyPoster().post(keyPress(k::kDelete));  // Mail is not in front yet
    rig.loop.runFor(0.2);
    rig.desktop.keyPoster().post(keyPress(k::kDelete));
    EXPECT_EQ(rig.desktop.text(rig.field), "note");
    EXPECT_EQ(rig.desktop.text(mailField), "mai");
    const auto posted = rig.desktop.trace().ofKind(TraceKind::keyPosted);
    ASSERT_EQ(posted.size(), 4u);
    EXPECT_EQ(posted[0].pid, rig.appPid);
    EXPECT_EQ(posted[3].pid, other);
    const auto record = rig.desktop.trace().toJson();
    const auto postedInRecord = std::count_if(record.begin(), record.end(), [](const auto& entry) {
        return entry["kind"] == "keyPosted";
    });
    EXPECT_EQ(postedInRecord, 4);
    EXPECT_EQ(record.back()["kind"], "keyReceived");
    EXPECT_EQ(record.back()["pid"], other);
}

TEST(SimKeyEffects, ASlowApplicationPastesWhatThePasteboardHoldsWhenItGetsToTheKey) {
    for (const bool restoreEarly : {true, false}) {
        SCOPED_TRACE(restoreEarly ? "restored before the paste was handled" : "restored after");
        SimRigBase rig;
        const std::int32_t slow = rig.desktop.launchApp({.bundleIdentifier = "org.example.Slow", .keyDelaySeconds = 0.05}, true);
        const std::uint64_t field = rig.desktop.addFocusedField(slow, {.role = "AXTextArea", .text = "x"});
        ASSERT_TRUE(rig.desktop.pasteboard().write({.plainText = "new", .html = {}, .rtf = {}}));
        rig.desktop.keyPoster().post(joined(keyPress(k::kDelete), chord(k::kV)));
        if (!restoreEarly) rig.loop.runFor(0.1);
        ASSERT_TRUE(rig.desktop.pasteboard().write({.plainText = "old", .html = {}, .rtf = {}}));
        rig.loop.runFor(0.1);
        EXPECT_EQ(rig.desktop.text(field), restoreEarly ? "old" : "new") << "keys are handled in order, late";
    }
}

TEST(SimKeyEffects, TerminalStylePasteNeedsItsOwnShortcut) {
    SimRigBase rig;
    const std::int32_t term = rig.desktop.launchApp(
        {.bundleIdentifier = "org.example.Term", .shortcutFlags = f::kCommand | f::kShift}, true);
    const std::uint64_t field = rig.desktop.addFocusedField(term, {.role = "AXTextArea", .text = "$ "});
    rig.desktop.pasteboard().writeFromApp(0, {.plainText = "ls", .html = {}, .rtf = {}});
    rig.desktop.keyPoster().post(chord(k::kV));
    EXPECT_EQ(rig.desktop.text(field), "$ ");
    const ports::KeyFlags both = f::kCommand | f::kShift;
    rig.desktop.keyPoster().post({{k::kShift, true, f::kShift}, {k::kCommand, true, both}, {k::kV, true, both},
                                  {k::kV, false, both}, {k::kCommand, false, f::kShift}, {k::kShift, false, 0}});
    EXPECT_EQ(rig.desktop.text(field), "$ ls");
}

TEST(SimKeyEffects, UserTypingGoesIntoTheFieldButNotIntoReadOnlyText) {
    SimRigBase rig;
    rig.desktop.keyboard().press(k::kShift);
    rig.desktop.keyboard().tap(k::kA);
    rig.desktop.keyboard().release(k::kShift);
    rig.desktop.keyboard().tap(k::kSpace);
    rig.desktop.keyboard().tap(keyCodeFromName("1").value());
    EXPECT_EQ(rig.desktop.text(rig.field), "A 1");
    const std::uint64_t label =
        rig.desktop.addElement(rig.appPid, 0, {.role = "AXStaticText", .text = "fixed", .selection = TextRange{0, 5}});
    rig.desktop.focus(rig.appPid, label);
    rig.desktop.keyboard().tap(k::kDelete);
    EXPECT_EQ(rig.desktop.text(label), "fixed");
    rig.desktop.keyPoster().post(chord(k::kC));
    EXPECT_EQ(rig.desktop.pasteboard().plainText(), "fixed") << "read-only text can still be copied";
}

}  // namespace
}  // namespace veska::sim::testing
