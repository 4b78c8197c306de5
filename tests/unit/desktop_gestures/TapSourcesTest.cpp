// Opening the sources: the four tap attempts, a disabled tap, the watchdog, and the division
// of the gestures between the tap and the monitors.
#include <gtest/gtest.h>

#include <utility>

#include "GestureRig.h"

namespace veska::testing {
namespace {

using ports::TapLocation;
using ports::TapOptions;
using Attempt = std::pair<TapLocation, TapOptions>;

/// Forwards to a real tap and records the keys it was last told it may swallow.
class RecordingTap final : public ports::KeyTap {
public:
    RecordingTap(std::unique_ptr<ports::KeyTap> inner, std::vector<ports::SwallowableKey>& declared)
        : inner_(std::move(inner)), declared_(declared) {}
    [[nodiscard]] bool canSwallow() const override { return inner_->canSwallow(); }
    [[nodiscard]] bool isEnabled() const override { return inner_->isEnabled(); }
    void setEnabled(bool enabled) override { inner_->setEnabled(enabled); }
    bool setSwallowable(std::vector<ports::SwallowableKey> keys) override {
        declared_ = keys;
        return inner_->setSwallowable(std::move(keys));
    }

private:
    std::unique_ptr<ports::KeyTap> inner_;
    std::vector<ports::SwallowableKey>& declared_;
};

/// Forwards to the simulated keyboard and records every tap asked for.
class RecordingKeys final : public ports::KeyEventSource {
public:
    explicit RecordingKeys(ports::KeyEventSource& inner) : inner_(inner) {}
    std::unique_ptr<ports::KeyTap> createTap(ports::TapRequest request, ports::TapHandler handler) override {
        attempts.emplace_back(request.location, request.options);
        masks.push_back(request.mask);
        auto tap = inner_.createTap(request, std::move(handler));
        if (!tap) return nullptr;
        return std::make_unique<RecordingTap>(std::move(tap), declared);
    }
    std::unique_ptr<ports::KeyMonitor> addGlobalMonitor(ports::KeyEventMask mask, ports::MonitorHandler handler) override {
        ++monitors;
        return inner_.addGlobalMonitor(mask, std::move(handler));
    }
    std::unique_ptr<ports::KeyMonitor> addLocalMonitor(ports::KeyEventMask mask, ports::MonitorHandler handler) override {
        ++monitors;
        return inner_.addLocalMonitor(mask, std::move(handler));
    }

    std::vector<Attempt> attempts;
    std::vector<ports::KeyEventMask> masks;
    std::vector<ports::SwallowableKey> declared;
    int monitors = 0;

private:
    ports::KeyEventSource& inner_;
};

constexpr Attempt kHidDefault{TapLocation::hid, TapOptions::defaultTap};
constexpr Attempt kSessionDefault{TapLocation::session, TapOptions::defaultTap};
constexpr Attempt kHidListen{TapLocation::hid, TapOptions::listenOnly};
constexpr Attempt kSessionListen{TapLocation::session, TapOptions::listenOnly};

TEST(HotKeyMonitor, TapIsTriedInFourPlacesAndModesInOrder) {
    struct Row {
        const char* name;
        std::vector<Attempt> refused;
        std::vector<Attempt> tried;
        bool hasTap;
        bool swallows;
    };
    const std::vector<Row> rows = {
        {"first place works", {}, {kHidDefault}, true, true},
        {"hardware level refused", {kHidDefault}, {kHidDefault, kSessionDefault}, true, true},
        {"only listening allowed", {kHidDefault, kSessionDefault}, {kHidDefault, kSessionDefault, kHidListen}, true, false},
        {"only the session listens",
         {kHidDefault, kSessionDefault, kHidListen},
         {kHidDefault, kSessionDefault, kHidListen, kSessionListen},
         true,
         false},
        {"all refused",
         {kHidDefault, kSessionDefault, kHidListen, kSessionListen},
         {kHidDefault, kSessionDefault, kHidListen, kSessionListen},
         false,
         false},
    };
    for (const Row& row : rows) {
        rt::VirtualLoop loop;
        sim::SimDesktop desktop{loop.main()};
        for (const auto& [location, options] : row.refused) desktop.keyboard().refuseTaps(location, options);
        RecordingKeys keys{desktop.keyboard()};
        HotKeyMonitor monitor{loop.main(), keys, desktop.ownPid()};
        monitor.start();
        EXPECT_EQ(keys.attempts, row.tried) << row.name;
        EXPECT_EQ(monitor.hasTap(), row.hasTap) << row.name;
        EXPECT_EQ(monitor.tapSwallows(), row.swallows) << row.name;
        EXPECT_EQ(keys.monitors, 2) << row.name << ": both monitors, tap or not";
        for (const auto& mask : keys.masks) {
            EXPECT_TRUE(mask.keyDown && mask.flagsChanged && !mask.keyUp) << row.name;
        }
    }
}

/// "key:modifiers" for each declared key; "*" for any modifiers.
std::vector<std::string> describe(const std::vector<ports::SwallowableKey>& keys) {
    std::vector<std::string> out;
    for (const auto& key : keys) {
        std::string text = std::to_string(key.keyCode) + ":";
        if (key.modifiers.empty()) text += "*";
        for (auto m : key.modifiers) text += std::to_string(m >> 16) + ",";
        out.push_back(text);
    }
    return out;
}

TEST(HotKeyMonitor, DeclaredSwallowableKeysFollowWhatTheTapMaySwallow) {
    rt::VirtualLoop loop;
    sim::SimDesktop desktop{loop.main()};
    RecordingKeys keys{desktop.keyboard()};
    HotKeyMonitor monitor{loop.main(), keys, desktop.ownPid()};
    monitor.setSwallowEscape(true);
    monitor.start();
    // Modifier words shifted by 16: Control 4, Control+Option 12.
    const std::vector<std::string> base = {"63:0,4,", "37:12,", "1:12,", "46:12,"};
    auto withEscape = base;
    withEscape.push_back("53:*");
    EXPECT_EQ(describe(keys.declared), withEscape) << "set before start";
    monitor.setSwallowEscape(false);
    EXPECT_EQ(describe(keys.declared), base);
    monitor.setSwallowEscape(true);
    EXPECT_EQ(describe(keys.declared), withEscape);
}

TEST(HotKeyMonitor, TapDisabledBySystemIsEnabledAgainAtOnce) {
    for (auto notice : {ports::KeyEventKind::tapDisabledByTimeout, ports::KeyEventKind::tapDisabledByUserInput}) {
        GestureRig rig;
        rig.monitor.start();
        rig.desktop.keyboard().disableTaps(notice);
        EXPECT_EQ(rig.play({tap(1.0, k::kFn)}), Fired{"toggle@1.000"});
        EXPECT_EQ(rig.received(k::kFn), 0) << "the re-enabled tap still swallows fn";
    }
}

TEST(HotKeyMonitor, WatchdogMakesTheTapOnceInputMonitoringIsAllowed) {
    GestureRig rig;
    rig.desktop.permissions().setGranted(ports::Permission::inputMonitoring, false);
    rig.monitor.start();
    EXPECT_FALSE(rig.monitor.hasTap());
    rig.play({tap(1.0, k::kFn)}, 2);
    EXPECT_EQ(rig.received(k::kFn), 2) << "without a tap fn reaches the app";
    rig.monitor.rearmTap();
    EXPECT_FALSE(rig.monitor.hasTap());
    rig.desktop.permissions().setGranted(ports::Permission::inputMonitoring, true);
    rig.monitor.rearmTap();
    ASSERT_TRUE(rig.monitor.tapSwallows());
    rig.monitor.rearmTap();
    EXPECT_EQ(rig.desktop.keyboard().tapCount(), 1u) << "an existing tap is kept";
    EXPECT_EQ(rig.play({tap(3.0, k::kFn)}), (Fired{"toggle@1.000", "toggle@3.000"}));
    EXPECT_EQ(rig.received(k::kFn), 2);
}

TEST(HotKeyMonitor, TapAndMonitorsShareTheWorkWithoutDoubleFiring) {
    struct Row {
        const char* name;
        std::vector<sim::SimKeyStep> steps;
        Fired fired;
        ports::KeyCode key;
        int receivedWithSwallowingTap;
    };
    const std::vector<Row> rows = {
        {"fn tap", {tap(1.0, k::kFn)}, {"toggle@1.000"}, k::kFn, 0},
        {"fn hold", {press(1.0, k::kFn), release(1.3, k::kFn)}, {"holdStart@1.180", "holdEnd@1.300"}, k::kFn, 0},
        {"fn with Control", {press(0.9, k::kControl), tap(1.0, k::kFn)}, {"toggle+compose@1.000"}, k::kFn, 0},
        {"fn with Shift passes", {press(0.9, k::kShift), tap(1.0, k::kFn)}, {}, k::kFn, 2},
        {"fn spoiled by a letter", {press(1.0, k::kFn), tap(1.05, k::kA), release(1.1, k::kFn)}, {}, k::kFn, 0},
        {"Control double-tap", {tap(1.0, k::kControl), tap(1.2, k::kControl)}, {"translate@1.200"}, k::kControl, 4},
        {"Option double-tap", {tap(1.0, k::kOption), tap(1.2, k::kOption)}, {"read@1.200"}, k::kOption, 4},
    };
    for (TapMode mode : {TapMode::swallowing, TapMode::listenOnly, TapMode::none}) {
        for (const Row& row : rows) {
            GestureRig rig;
            startWith(rig, mode);
            EXPECT_EQ(rig.play(row.steps), row.fired) << modeName(mode) << ": " << row.name;
            const int fnPassesElsewhere = row.key == k::kFn ? 2 : row.receivedWithSwallowingTap;
            EXPECT_EQ(rig.received(row.key), mode == TapMode::swallowing ? row.receivedWithSwallowingTap : fnPassesElsewhere)
                << modeName(mode) << ": " << row.name;
        }
    }
}

TEST(HotKeyMonitor, WithoutTapOrAccessibilityNoGestureIsSeen) {
    GestureRig rig;
    rig.desktop.permissions().setGranted(ports::Permission::accessibility, false);
    startWith(rig, TapMode::none);
    EXPECT_EQ(rig.play({tap(1.0, k::kFn), tap(2.0, k::kControl), tap(2.2, k::kControl), tap(3.0, k::kEscape)}), Fired{});
}

}  // namespace
}  // namespace veska::testing
