// Double-taps of bare Control (translate) and bare Option (read aloud).
#include <gtest/gtest.h>

#include "GestureRig.h"

namespace veska::testing {
namespace {

struct TapRow {
    const char* name;
    std::vector<sim::SimKeyStep> steps;
    Fired expected;
};

void playRows(const std::vector<TapRow>& rows) {
    for (const TapRow& row : rows) {
        GestureRig rig;
        rig.monitor.start();
        EXPECT_EQ(rig.play(row.steps), row.expected) << row.name;
    }
}

TEST(HotKeyMonitor, BareControlDoubleTapTranslatesWithinTheWindow) {
    playRows({
        {"releases exactly 0.4 s apart", {tap(0.5, k::kControl), tap(0.9, k::kControl)}, {"translate@0.900"}},
        {"releases 0.41 s apart", {tap(0.5, k::kControl), tap(0.91, k::kControl)}, {}},
        {"the late release arms a new pair",
         {tap(1.0, k::kControl), tap(1.41, k::kControl), tap(1.7, k::kControl)},
         {"translate@1.700"}},
        {"a third tap starts a new pair",
         {tap(1.0, k::kControl), tap(1.2, k::kControl), tap(1.4, k::kControl), tap(1.9, k::kControl)},
         {"translate@1.200"}},
        {"a fourth tap completes the new pair",
         {tap(1.0, k::kControl), tap(1.2, k::kControl), tap(1.4, k::kControl), tap(1.5, k::kControl)},
         {"translate@1.200", "translate@1.500"}},
        {"left then right Control", {tap(1.0, k::kControl), tap(1.3, k::kRightControl)}, {"translate@1.300"}},
        {"the window runs from release to release",
         {press(1.0, k::kControl), release(1.1, k::kControl), press(1.2, k::kControl), release(1.5, k::kControl)},
         {"translate@1.500"}},
    });
}

TEST(HotKeyMonitor, AnythingBetweenTheTapsCancelsTheDoubleTap) {
    playRows({
        {"a letter between the taps", {tap(1.0, k::kControl), tap(1.1, k::kA), tap(1.2, k::kControl)}, {}},
        {"a letter typed while Control is held, then a tap",
         {press(1.0, k::kControl), tap(1.05, k::kA), release(1.1, k::kControl), tap(1.2, k::kControl)},
         {}},
        {"Control released while Shift is held",
         {press(0.9, k::kShift), tap(1.0, k::kControl), release(1.05, k::kShift), tap(1.2, k::kControl)},
         {}},
        {"Shift pressed before Control",
         {press(0.9, k::kShift), press(1.0, k::kControl), release(1.05, k::kShift), release(1.1, k::kControl),
          tap(1.2, k::kControl)},
         {}},
        {"a Control+Option chord between the taps",
         {tap(1.0, k::kControl), press(1.1, k::kControl), press(1.1, k::kOption), tap(1.1, k::kS),
          release(1.1, k::kOption), release(1.1, k::kControl), tap(1.3, k::kControl)},
         {"fix@1.100"}},
        {"the Control of a compose press does not count",
         {tap(1.0, k::kControl), press(1.2, k::kControl), tap(1.25, k::kFn), release(1.3, k::kControl)},
         {"toggle+compose@1.250"}},
        {"a modifier key alone does not disarm",
         {tap(1.0, k::kControl), tap(1.1, k::kCommand), tap(1.2, k::kControl)},
         {"translate@1.200"}},
    });
}

TEST(HotKeyMonitor, BareOptionDoubleTapReadsAloud) {
    playRows({
        {"releases exactly 0.4 s apart", {tap(0.5, k::kOption), tap(0.9, k::kOption)}, {"read@0.900"}},
        {"releases 0.41 s apart", {tap(0.5, k::kOption), tap(0.91, k::kOption)}, {}},
        {"right Option twice", {tap(1.0, k::kRightOption), tap(1.2, k::kRightOption)}, {"read@1.200"}},
        {"a letter between the taps", {tap(1.0, k::kOption), tap(1.1, k::kA), tap(1.2, k::kOption)}, {}},
        {"while fn is held", {press(0.9, k::kFn), tap(1.0, k::kOption), tap(1.2, k::kOption)}, {"holdStart@1.080"}},
        {"Option and Control taps keep their own pairs",
         {tap(1.0, k::kOption), tap(1.1, k::kControl), tap(1.2, k::kOption), tap(1.3, k::kControl)},
         {"read@1.200", "translate@1.300"}},
    });
}

TEST(HotKeyMonitor, KeysVeskaPostsNeitherTriggerNorSpoilGestures) {
    const auto own = [](double at, ports::KeyEventKind kind, ports::KeyCode code, ports::KeyFlags flags) {
        return event(at, {.kind = kind, .keyCode = code, .flags = flags, .sourcePid = 100});
    };
    using ports::KeyEventKind;
    playRows({
        {"a posted paste between two Control taps",
         {tap(1.0, k::kControl), own(1.1, KeyEventKind::keyDown, k::kV, ports::flags::kCommand), tap(1.2, k::kControl)},
         {"translate@1.200"}},
        {"a posted letter during an fn press",
         {press(1.0, k::kFn), own(1.05, KeyEventKind::keyDown, k::kA, ports::flags::kFn), release(1.1, k::kFn)},
         {"toggle@1.100"}},
        {"a posted fn press", {own(1.0, KeyEventKind::flagsChanged, k::kFn, ports::flags::kFn),
                               own(1.1, KeyEventKind::flagsChanged, k::kFn, 0)}, {}},
        {"posted Control taps", {own(1.0, KeyEventKind::flagsChanged, k::kControl, ports::flags::kControl),
                                 own(1.0, KeyEventKind::flagsChanged, k::kControl, 0),
                                 own(1.2, KeyEventKind::flagsChanged, k::kControl, ports::flags::kControl),
                                 own(1.2, KeyEventKind::flagsChanged, k::kControl, 0)}, {}},
        {"a posted chord", {own(1.0, KeyEventKind::keyDown, k::kM, ports::flags::kControl | ports::flags::kOption)}, {}},
        {"another program's key still counts",
         {tap(1.0, k::kControl), event(1.1, {.kind = KeyEventKind::keyDown, .keyCode = k::kV, .sourcePid = 90}),
          tap(1.2, k::kControl)},
         {}},
    });
}

}  // namespace
}  // namespace veska::testing
