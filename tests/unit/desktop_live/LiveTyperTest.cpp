// Live typing on the simulated desktop: which keys reach the field, when, and what is left.
#include <cmath>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "LiveTyperDesk.h"
#include "platform/sim/SimKeyPoster.h"

namespace veska::testing {
namespace {

namespace k = ports::keys;

const std::string kGrin = "\xF0\x9F\x98\x80";                        // one emoji, 2 UTF-16 units
const std::string kThumb = "\xF0\x9F\x91\x8D";                       // 2 units
const std::string kThumbTone = kThumb + "\xF0\x9F\x8F\xBD";         // one character, 4 units
const std::string kDotBelow = "\xCC\xA3";
const std::string kCircumflex = "\xCC\x82";
const std::string kEDecomposed = "e" + kDotBelow + kCircumflex;      // ệ as three code points

struct Step {
    std::string text;
    std::size_t deletes;
    std::optional<std::string> pasted;  // the tail pasted by this step, if any
};

struct Sequence {
    const char* name;
    std::vector<Step> steps;
};

const std::vector<Sequence> kSequences{
    {"a growing sentence, then a revised last word",
     {{"hello wor", 0, "hello wor"}, {"hello world", 0, "ld"}, {"hello word", 2, "d"}}},
    {"an emoji goes with one Delete",
     {{"ok " + kGrin, 0, "ok " + kGrin}, {"ok ", 1, std::nullopt}, {"ok " + kThumbTone, 0, kThumbTone}}},
    {"an emoji losing its skin tone is retyped whole",
     {{"ok " + kThumbTone, 0, "ok " + kThumbTone}, {"ok " + kThumb, 1, kThumb}}},
    {"a decomposed Vietnamese letter goes with one Delete",
     {{"Vi" + kEDecomposed + "t", 0, "Vi" + kEDecomposed + "t"}, {"Vi", 2, std::nullopt}, {"Vie", 0, "e"}}},
    {"a mark added to the last letter retypes that letter",
     {{"Vie", 0, "Vie"}, {"Vi" + kEDecomposed, 1, kEDecomposed}, {"Vi" + kEDecomposed + "n", 0, "n"}}},
    {"the same text again types nothing", {{"abc", 0, "abc"}, {"abc", 0, std::nullopt}}},
    {"everything taken back", {{"hello", 0, "hello"}, {"", 5, std::nullopt}}},
    {"a long tail spans several bursts of Deletes",
     {{std::string(40, 'x'), 0, std::string(40, 'x')}, {"y", 40, "y"}}},
};

TEST(LiveTyper, RetypesOnlyTheChangedTailWithOneDeletePerCharacter) {
    for (const Route route : {Route::keys, Route::automation}) {
        for (const Sequence& sequence : kSequences) {
            SCOPED_TRACE(std::string(routeName(route)) + ": " + sequence.name);
            LiveTyperDesk desk(route);
            desk.start();
            std::optional<std::string> clipboard = desk.clipboard();
            for (const Step& step : sequence.steps) {
                SCOPED_TRACE(step.text);
                desk.mark();
                desk.say(step.text);
                if (step.pasted) clipboard = step.pasted;
                EXPECT_EQ(desk.fieldText(), step.text);
                EXPECT_EQ(desk.received(desk.target, k::kDelete), step.deletes);
                EXPECT_EQ(desk.received(desk.target, k::kV), step.pasted ? 1U : 0U);
                EXPECT_EQ(desk.clipboard(), clipboard);
            }
            EXPECT_EQ(desk.keysElsewhere(), 0U);
            EXPECT_TRUE(desk.settle(sequence.steps.back().text));
        }
    }
}

TEST(LiveTyper, NativeFieldIsEditedThroughAccessibilityWithoutKeysOrClipboard) {
    for (const Sequence& sequence : kSequences) {
        SCOPED_TRACE(sequence.name);
        LiveTyperDesk desk(Route::accessibility);
        desk.start();
        desk.mark();
        for (const Step& step : sequence.steps) {
            desk.say(step.text, 0.001);  // no pause follows an accessibility step
            EXPECT_EQ(desk.fieldText(), step.text);
        }
        EXPECT_TRUE(desk.desktop.trace().ofKind(sim::TraceKind::keyPosted).empty());
        EXPECT_EQ(desk.clipboard(), "user's clipboard");
    }
}

TEST(LiveTyper, AccessibilityRefusingTheEditFallsBackToKeys) {
    struct Row {
        const char* name;
        std::optional<ports::TextRange> selectionAfterFirst;  // where the user left the caret
        std::string second;
        std::string expected;
        std::size_t deletes;
        bool pasted;
    };
    const std::vector<Row> rows{
        {"caret moved to the start: the text before it does not match", ports::TextRange{0, 0}, "help", "phello", 2,
         true},
        {"caret moved into the word: too little text before it", ports::TextRange{1, 0}, "help", "pello", 2, true},
        {"a selection instead of a caret is replaced by the new tail", ports::TextRange{0, 2}, "hello!", "!llo", 0,
         false},
        {"caret left where it was", std::nullopt, "help", "help", 0, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        LiveTyperDesk desk(Route::accessibility);
        desk.start();
        desk.say("hello");
        if (row.selectionAfterFirst) desk.desktop.element(desk.field).selection = *row.selectionAfterFirst;
        desk.mark();
        desk.say(row.second);
        EXPECT_EQ(desk.fieldText(), row.expected);
        EXPECT_EQ(desk.received(desk.target, k::kDelete), row.deletes);
        EXPECT_EQ(desk.received(desk.target, k::kV), row.pasted ? 1U : 0U);
    }
}

TEST(LiveTyper, TypesOnlyIntoTheTargetWhileItIsInFront) {
    struct Row {
        const char* name;
        TargetOptions options;
        void (*arrange)(LiveTyperDesk&);
        bool settles;
        std::string expectedField;
    };
    const auto toBackground = [](LiveTyperDesk& d) { d.desktop.workspace().bringToFront(d.other); };
    const std::vector<Row> rows{
        {"target moved to the background: settle brings it back and types", {}, toBackground, true, "hello world"},
        {"nothing in front: settle brings the target back and types", {},
         [](LiveTyperDesk& d) { d.desktop.workspace().clearFront(); }, true, "hello world"},
        {"target in front again within the 20 polls", {.activationDelaySeconds = 0.3}, toBackground, true,
         "hello world"},
        {"target in front only during the last 80 ms", {.activationDelaySeconds = 0.57}, toBackground, true,
         "hello world"},
        {"target in front too late", {.activationDelaySeconds = 0.59}, toBackground, false, "hello"},
        {"target refuses to come to the front", {.refusesActivation = true}, toBackground, false, "hello"},
        {"target quit", {}, [](LiveTyperDesk& d) { d.desktop.workspace().quit(d.target); }, false, "hello"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        LiveTyperDesk desk(Route::keys, "user's clipboard", row.options);
        desk.start();
        desk.say("hello");
        row.arrange(desk);
        desk.mark();
        desk.say("hello wor");
        desk.say("hello world");
        EXPECT_EQ(desk.fieldText(), "hello");
        EXPECT_EQ(desk.received(desk.target, k::kV) + desk.keysElsewhere(), 0U);
        EXPECT_EQ(desk.settle("hello world"), row.settles);
        EXPECT_EQ(desk.fieldText(), row.expectedField);
        EXPECT_EQ(desk.keysElsewhere(), 0U);
        EXPECT_EQ(desk.desktop.text(desk.otherField), "draft");
    }
}

TEST(LiveTyper, WithoutTargetNothingIsTypedAndSettleSaysSo) {
    LiveTyperDesk desk(Route::keys);
    desk.start(false);
    desk.mark();
    desk.say("hello");
    EXPECT_FALSE(desk.settle("hello world"));
    EXPECT_EQ(desk.fieldText(), "");
    EXPECT_TRUE(desk.desktop.trace().ofKind(sim::TraceKind::keyPosted).empty());
    EXPECT_EQ(desk.desktop.workspace().activationRequests(desk.target), 0);
}

TEST(LiveTyper, SwitchingAwayInTheMiddleOfDeletingStopsTheKeysThere) {
    LiveTyperDesk desk(Route::keys);
    desk.start();
    desk.say(std::string(40, 'x'));
    desk.mark();
    desk.typer->update("x");
    desk.loop.runFor(0.001);  // the first burst of 16 Deletes is out; the user switches now
    desk.desktop.workspace().bringToFront(desk.other);
    desk.loop.runFor(1.0);
    EXPECT_EQ(desk.fieldText(), std::string(24, 'x'));
    EXPECT_EQ(desk.keysElsewhere(), 0U);
    EXPECT_TRUE(desk.settle("xy"));
    EXPECT_EQ(desk.fieldText(), "xy");
    EXPECT_EQ(desk.desktop.text(desk.otherField), "draft");
}

TEST(LiveTyper, RetractTakesEverythingBackAndRestoresThePlainTextOfTheStart) {
    struct Row {
        const char* name;
        Route route;
        ports::PasteboardContents atStart;
        ports::PasteboardContents expected;
    };
    const ports::PasteboardContents saved{.plainText = "user's clipboard"};
    const std::vector<Row> rows{
        {"clipboard text restored after pastes", Route::keys, saved, saved},
        {"empty clipboard left empty", Route::keys, {}, {}},
        {"only the plain text comes back", Route::keys, {.plainText = "rich", .html = "<b>rich</b>"}, {.plainText = "rich"}},
        {"a clipboard without text is left empty", Route::keys, {.html = "<b>rich</b>"}, {}},
        {"clipboard restored after accessibility edits", Route::accessibility, saved, saved},
        {"clipboard restored without input monitoring", Route::automation, saved, saved},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        LiveTyperDesk desk(row.route, std::nullopt);
        if (!row.atStart.empty()) desk.desktop.pasteboard().writeFromApp(desk.other, row.atStart);
        desk.start();
        desk.say("hello wor");
        desk.say("hello world " + kGrin);
        desk.retract();
        EXPECT_EQ(desk.fieldText(), "");
        EXPECT_EQ(desk.desktop.pasteboard().contents(), row.expected);
    }
}

TEST(LiveTyper, TheTextOnItsWayIsMarkedForClipboardManagersAndTheRestoreIsNot) {
    LiveTyperDesk desk(Route::keys, std::nullopt);
    desk.desktop.pasteboard().writeFromApp(desk.other, {.plainText = "user's clipboard"});
    desk.start();
    desk.say("hello");
    EXPECT_EQ(desk.fieldText(), "hello");
    EXPECT_TRUE(desk.desktop.pasteboard().contents().transient);
    desk.retract();
    EXPECT_FALSE(desk.desktop.pasteboard().contents().transient);
    EXPECT_EQ(desk.desktop.pasteboard().contents().plainText, "user's clipboard");
}

TEST(LiveTyper, PausesAfterEachStepLongerForMoreDeletesUpToACap) {
    struct Row {
        std::size_t deletes;
        double pauseMs;
    };
    const std::vector<Row> rows{{0, 90}, {1, 91.5}, {16, 114}, {17, 115.5}, {206, 399}, {207, 400}, {208, 400}, {500, 400}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.deletes);
        LiveTyperDesk desk(Route::keys);
        desk.start();
        const std::string before = row.deletes == 0 ? "a" : std::string(row.deletes, 'a');
        desk.say(before, 2.0);
        desk.mark();
        desk.typer->update(row.deletes == 0 ? "ab" : "");
        desk.loop.runFor(0.0001);
        desk.typer->update("z");  // arrives during the step: typed right after its pause
        desk.loop.runFor(2.0);
        const std::vector<double> firstKeys = row.deletes == 0 ? desk.postedAt(k::kV) : desk.postedAt(k::kDelete);
        const std::vector<double> pastes = desk.postedAt(k::kV);
        ASSERT_FALSE(firstKeys.empty());
        ASSERT_FALSE(pastes.empty());
        const double burstPausesMs = 3.0 * static_cast<double>(row.deletes / 16);
        EXPECT_NEAR((pastes.back() - firstKeys.front()) * 1000, burstPausesMs + row.pauseMs, 1e-6);
        EXPECT_EQ(desk.fieldText(), "z");
    }
}

TEST(LiveTyper, DeletesGoOutInBurstsOfSixteenThreeMillisecondsApart) {
    LiveTyperDesk desk(Route::keys);
    desk.start();
    desk.say(std::string(40, 'a'));
    desk.mark();
    desk.say("");
    const std::vector<double> times = desk.postedAt(k::kDelete);
    ASSERT_EQ(times.size(), 40U);
    for (std::size_t i = 0; i < times.size(); ++i) {
        EXPECT_NEAR((times[i] - times[0]) * 1000, 3.0 * static_cast<double>(i / 16), 1e-6) << i;
    }
}

TEST(LiveTyper, BurstOfUpdatesIsTypedAsItsNewestText) {
    LiveTyperDesk desk(Route::keys);
    desk.start();
    desk.mark();
    desk.typer->update("a");
    desk.loop.runFor(0.01);  // "a" is pasted; its pause runs
    desk.typer->update("ab");
    desk.typer->update("abc");
    desk.typer->update("abcd");
    desk.loop.runFor(1.0);
    EXPECT_EQ(desk.received(desk.target, k::kV), 2U);
    EXPECT_EQ(desk.clipboard(), "bcd");
    EXPECT_EQ(desk.fieldText(), "abcd");
}

TEST(LiveTyper, CancelledSettleStillFinishesTyping) {
    LiveTyperDesk desk(Route::keys);
    desk.start();
    desk.say(std::string(40, 'x'));
    rt::JoinHandle<bool> waiting = rt::spawn(desk.loop.main(), desk.typer->settle("hello"));
    desk.loop.runFor(0.001);  // in the middle of the Deletes
    waiting.cancel();
    desk.loop.runFor(1.0);
    EXPECT_EQ(waiting.outcome(), rt::Outcome::cancelled);
    EXPECT_EQ(desk.fieldText(), "hello");
}

TEST(LiveTyper, DestroyedInTheMiddleOfAStepPostsNothingMore) {
    LiveTyperDesk desk(Route::keys);
    desk.start();
    desk.say(std::string(40, 'x'));
    desk.typer->update("");
    desk.loop.runFor(0.001);  // between two bursts of Deletes
    desk.typer->update("y");  // queued behind the running step
    desk.typer.reset();
    desk.mark();
    desk.loop.runFor(1.0);
    EXPECT_TRUE(desk.postedAt(k::kDelete).empty());
    EXPECT_TRUE(desk.postedAt(k::kV).empty());
    EXPECT_EQ(desk.fieldText(), std::string(24, 'x'));
}

}  // namespace
}  // namespace veska::testing
