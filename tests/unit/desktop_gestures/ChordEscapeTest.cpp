// The Control+Option chords and Escape: who fires them, how often, and who swallows them.
#include <gtest/gtest.h>

#include "GestureRig.h"

namespace veska::testing {
namespace {

std::vector<sim::SimKeyStep> chord(double at, std::vector<ports::KeyCode> modifiers, ports::KeyCode key, int repeats = 0) {
    std::vector<sim::SimKeyStep> steps;
    for (auto m : modifiers) steps.push_back(press(at, m));
    steps.push_back(press(at, key));
    for (int i = 1; i <= repeats; ++i) steps.push_back(repeat(at + 0.05 * i, key));
    const double end = at + 0.05 * (repeats + 1);
    steps.push_back(release(end, key));
    for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it) steps.push_back(release(end, *it));
    return steps;
}

TEST(HotKeyMonitor, ControlOptionChordsFireOnceAndTheTapSwallowsThem) {
    struct Row {
        TapMode mode;
        ports::KeyCode key;
        const char* fired;
        int appReceives;
    };
    const std::vector<Row> rows = {
        {TapMode::swallowing, k::kL, "output@1.000", 0},      {TapMode::swallowing, k::kS, "fix@1.000", 0},
        {TapMode::swallowing, k::kM, "mode@1.000", 0},        {TapMode::listenOnly, k::kS, "fix@1.000", 4},
        {TapMode::listenOnly, k::kL, "output@1.000", 4}, {TapMode::none, k::kM, "mode@1.000", 4},
    };
    for (const Row& row : rows) {
        GestureRig rig;
        startWith(rig, row.mode);
        EXPECT_EQ(rig.play(chord(1.0, {k::kControl, k::kOption}, row.key, 3)), Fired{row.fired})
            << modeName(row.mode) << " " << row.key;
        EXPECT_EQ(rig.received(row.key), row.appReceives) << modeName(row.mode) << " " << row.key;
    }
}

TEST(HotKeyMonitor, OtherModifiersMakeNoChord) {
    struct Row {
        const char* name;
        std::vector<ports::KeyCode> modifiers;
    };
    const std::vector<Row> rows = {
        {"Control+Option+Shift", {k::kControl, k::kOption, k::kShift}},
        {"Command+Control+Option", {k::kCommand, k::kControl, k::kOption}},
        {"Control alone", {k::kControl}},
        {"Option alone", {k::kOption}},
    };
    for (TapMode mode : {TapMode::swallowing, TapMode::listenOnly}) {
        for (const Row& row : rows) {
            GestureRig rig;
            startWith(rig, mode);
            EXPECT_EQ(rig.play(chord(1.0, row.modifiers, k::kS)), Fired{}) << modeName(mode) << " " << row.name;
            EXPECT_EQ(rig.received(k::kS), 1) << modeName(mode) << " " << row.name;
        }
    }
}

TEST(HotKeyMonitor, EscapeIsSwallowedOnlyWhileSwallowEscapeIsSet) {
    struct Row {
        const char* name;
        TapMode mode;
        bool swallowEscape;
        std::vector<ports::KeyCode> modifiers;
        Fired fired;
        int appReceives;
    };
    const std::vector<Row> rows = {
        {"not swallowing: the app gets it, a monitor cancels", TapMode::swallowing, false, {}, {"cancel@1.000"}, 1},
        {"not swallowing, with Command: no cancel", TapMode::swallowing, false, {k::kCommand}, {}, 1},
        {"not swallowing, with Shift: no cancel", TapMode::swallowing, false, {k::kShift}, {}, 1},
        {"not swallowing, with Control: cancel", TapMode::swallowing, false, {k::kControl}, {"cancel@1.000"}, 1},
        {"swallowing: once per key-down, repeats too",
         TapMode::swallowing, true, {}, {"cancel@1.000", "cancel@1.050", "cancel@1.100"}, 0},
        {"swallowing, whatever the modifiers", TapMode::swallowing, true, {k::kCommand}, {"cancel@1.000"}, 0},
        // The listen-only tap queues its cancel and the monitor, seeing the key pass, adds its own.
        {"listen-only tap cannot swallow", TapMode::listenOnly, true, {}, {"cancel@1.000", "cancel@1.000"}, 1},
        {"without a tap only the monitor cancels", TapMode::none, true, {}, {"cancel@1.000"}, 1},
    };
    for (const Row& row : rows) {
        GestureRig rig;
        startWith(rig, row.mode);
        rig.monitor.setSwallowEscape(row.swallowEscape);
        const int repeats = row.fired.size() > 2 ? 2 : 0;
        EXPECT_EQ(rig.play(chord(1.0, row.modifiers, k::kEscape, repeats)), row.fired) << row.name;
        EXPECT_EQ(rig.received(k::kEscape), row.appReceives * (repeats + 1)) << row.name;
    }
}

TEST(HotKeyMonitor, ClearingSwallowEscapeGivesEscapeBackToTheApp) {
    GestureRig rig;
    rig.monitor.start();
    rig.monitor.setSwallowEscape(true);
    rig.play({tap(1.0, k::kEscape)}, 1.5);
    EXPECT_EQ(rig.received(k::kEscape), 0);
    rig.monitor.setSwallowEscape(false);
    EXPECT_EQ(rig.play({tap(2.0, k::kEscape)}), (Fired{"cancel@1.000", "cancel@2.000"}));
    EXPECT_EQ(rig.received(k::kEscape), 1);
}

TEST(HotKeyMonitor, FnAndChordDecisionsMoveToTheMainExecutor) {
    GestureRig rig;
    rig.monitor.start();
    std::vector<bool> onMain;
    rig.monitor.onSTTHoldStart = [&] { onMain.push_back(rig.loop.main().isCurrent()); };
    rig.monitor.onCycleMode = [&] { onMain.push_back(rig.loop.main().isCurrent()); };
    auto& keyboard = rig.desktop.keyboard();
    rig.loop.lane("adapter").post([&] {
        keyboard.press(k::kFn);
        keyboard.press(k::kControl);
        keyboard.press(k::kOption);
        keyboard.tap(k::kM);
    });
    rig.loop.runFor(1);
    EXPECT_EQ(onMain, (std::vector<bool>{true, true}));
}

TEST(HotKeyMonitor, QueuedCallbacksOfADestroyedMonitorNeverRun) {
    rt::VirtualLoop loop;
    sim::SimDesktop desktop{loop.main()};
    int fixes = 0;
    {
        HotKeyMonitor monitor{loop.main(), desktop.keyboard(), desktop.ownPid()};
        monitor.onFixSelection = [&] { ++fixes; };
        monitor.start();
        desktop.keyboard().press(k::kControl);
        desktop.keyboard().press(k::kOption);
        desktop.keyboard().tap(k::kS);
    }
    loop.runFor(1);
    EXPECT_EQ(fixes, 0);
    EXPECT_EQ(desktop.keyboard().tapCount(), 0u);
}

}  // namespace
}  // namespace veska::testing
