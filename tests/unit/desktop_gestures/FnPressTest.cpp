// fn presses: tap against hold at the threshold, spoiled and combined presses, the deafness.
#include <gtest/gtest.h>

#include "GestureRig.h"

namespace veska::testing {
namespace {

struct FnRow {
    const char* name;
    std::vector<sim::SimKeyStep> steps;
    Fired expected;
};

void playRows(const std::vector<FnRow>& rows) {
    for (const FnRow& row : rows) {
        GestureRig rig;
        rig.monitor.start();
        EXPECT_EQ(rig.play(row.steps), row.expected) << row.name;
    }
}

TEST(HotKeyMonitor, FnTapOrHoldIsDecidedAtTheHoldThreshold) {
    playRows({
        {"released just before the threshold", {press(1.0, k::kFn), release(1.179, k::kFn)}, {"toggle@1.179"}},
        // The release was scheduled before the hold check, so it is handled first at 0.18.
        {"released at the very instant the hold starts", {press(0, k::kFn), release(0.18, k::kFn)}, {}},
        {"released just after the threshold",
         {press(1.0, k::kFn), release(1.181, k::kFn)},
         {"holdStart@1.180", "holdEnd@1.181"}},
        {"held long: one hold start", {press(1.0, k::kFn), release(3.0, k::kFn)}, {"holdStart@1.180", "holdEnd@3.000"}},
    });
}

TEST(HotKeyMonitor, AnotherKeyOrModifierSpoilsTheFnPress) {
    playRows({
        {"a letter before the threshold, short",
         {press(1.0, k::kFn), tap(1.05, k::kA), release(1.1, k::kFn)},
         {}},
        {"a letter before the threshold, held on",
         {press(1.0, k::kFn), tap(1.05, k::kA), release(2.0, k::kFn)},
         {}},
        {"a letter after the hold began ends it normally",
         {press(1.0, k::kFn), tap(1.5, k::kA), release(2.0, k::kFn)},
         {"holdStart@1.180", "holdEnd@2.000"}},
        {"Escape during the press", {press(1.0, k::kFn), tap(1.05, k::kEscape), release(1.1, k::kFn)}, {"cancel@1.050"}},
        {"with Shift held", {press(0.9, k::kShift), press(1.0, k::kFn), release(1.1, k::kFn)}, {}},
        {"with Option held", {press(0.9, k::kOption), press(1.0, k::kFn), release(2.0, k::kFn)}, {}},
        {"with Command held", {press(0.9, k::kCommand), press(1.0, k::kFn), release(1.1, k::kFn)}, {}},
        {"with Control and Option held", {press(0.9, k::kControl), press(0.95, k::kOption), press(1.0, k::kFn),
                                          release(1.1, k::kFn)}, {}},
        {"with Control alone: a compose tap",
         {press(0.9, k::kControl), press(1.0, k::kFn), release(1.1, k::kFn)},
         {"toggle+compose@1.100"}},
        {"with right Control alone: a compose hold",
         {press(0.9, k::kRightControl), press(1.0, k::kFn), release(1.5, k::kFn)},
         {"holdStart+compose@1.180", "holdEnd@1.500"}},
        {"a plain press after a compose one is not compose",
         {press(0.9, k::kControl), tap(1.0, k::kFn), release(1.2, k::kControl), tap(2.0, k::kFn)},
         {"toggle+compose@1.000", "toggle@2.000"}},
    });
}

TEST(HotKeyMonitor, FnIsDeafForAMomentAfterItActs) {
    playRows({
        {"second tap 0.44 s after a tap", {tap(1.0, k::kFn), tap(1.44, k::kFn)}, {"toggle@1.000"}},
        {"second press 0.44 s after a tap, held: no hold either",
         {tap(1.0, k::kFn), press(1.44, k::kFn), release(2.5, k::kFn)},
         {"toggle@1.000"}},
        {"second tap 0.46 s after a tap", {tap(1.0, k::kFn), tap(1.46, k::kFn)}, {"toggle@1.000", "toggle@1.460"}},
        {"tap 0.44 s after a hold ended",
         {press(1.0, k::kFn), release(1.5, k::kFn), tap(1.94, k::kFn)},
         {"holdStart@1.180", "holdEnd@1.500"}},
        {"tap 0.46 s after a hold ended",
         {press(1.0, k::kFn), release(1.5, k::kFn), tap(1.96, k::kFn)},
         {"holdStart@1.180", "holdEnd@1.500", "toggle@1.960"}},
        {"a spoiled press leaves fn awake",
         {press(1.0, k::kFn), tap(1.05, k::kA), release(1.1, k::kFn), tap(1.2, k::kFn)},
         {"toggle@1.200"}},
    });
}

TEST(HotKeyMonitor, SuppressFnIgnoresPressesStartingWithinItsTime) {
    struct Row {
        const char* name;
        double suppressAt;
        std::vector<sim::SimKeyStep> steps;
        Fired expected;
    };
    const std::vector<Row> rows = {
        {"press 0.79 s after", 1.0, {tap(1.79, k::kFn)}, {}},
        {"press 0.81 s after", 1.0, {tap(1.81, k::kFn)}, {"toggle@1.810"}},
        {"a press in progress is forgotten: no hold, no toggle",
         1.1,
         {press(1.0, k::kFn), release(1.15, k::kFn), press(3.0, k::kFn), release(3.5, k::kFn)},
         {"holdStart@3.180", "holdEnd@3.500"}},
        {"a running hold is dropped without its end", 1.5, {press(1.0, k::kFn), release(2.0, k::kFn)}, {"holdStart@1.180"}},
    };
    for (const Row& row : rows) {
        GestureRig rig;
        rig.monitor.start();
        rt::Timer suppress = rig.loop.main().postAfter(row.suppressAt, [&rig] { rig.monitor.suppressFn(0.8); });
        EXPECT_EQ(rig.play(row.steps), row.expected) << row.name;
    }
}

TEST(HotKeyMonitor, AutoRepeatOfTheFnKeyStartsNoSecondPress) {
    GestureRig rig;
    rig.monitor.start();
    const auto fnKeyDown = [](double at) {
        return event(at, {.kind = ports::KeyEventKind::keyDown, .keyCode = k::kFn, .flags = ports::flags::kFn,
                          .autoRepeat = true});
    };
    EXPECT_EQ(rig.play({press(1.0, k::kFn), fnKeyDown(1.1), fnKeyDown(1.3), release(1.5, k::kFn)}),
              (Fired{"holdStart@1.180", "holdEnd@1.500"}));
}

TEST(HotKeyMonitor, FnAsAKeyEventFollowsItsModifiers) {
    using ports::flags::kControl;
    using ports::flags::kOption;
    using ports::flags::kShift;
    struct Row {
        const char* name;
        ports::KeyFlags flags;
        Fired expected;
        int appReceives;
    };
    const std::vector<Row> rows = {
        {"bare", 0, {"holdStart@1.180"}, 0},
        {"Control alone: compose", kControl, {"holdStart+compose@1.180"}, 0},
        {"Control and Option: combined, passed", kControl | kOption, {}, 1},
        {"Shift: combined, passed", kShift, {}, 1},
    };
    for (const Row& row : rows) {
        GestureRig rig;
        rig.monitor.start();
        EXPECT_EQ(rig.play({event(1.0, {.kind = ports::KeyEventKind::keyDown, .keyCode = k::kFn, .flags = row.flags})}),
                  row.expected)
            << row.name;
        EXPECT_EQ(rig.received(k::kFn), row.appReceives) << row.name;
    }
}

}  // namespace
}  // namespace veska::testing
