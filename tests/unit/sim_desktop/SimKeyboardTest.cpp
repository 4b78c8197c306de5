// The simulated keyboard: scripts on virtual time, tap order, notices, claims, monitors.
#include <gtest/gtest.h>

#include "SimRigs.h"

namespace veska::sim::testing {
namespace {

namespace k = ports::keys;
using ports::KeyEvent;
using ports::KeyEventKind;
using ports::TapLocation;
using ports::TapOptions;
using ports::TapVerdict;

ports::TapRequest at(TapLocation location, TapOptions options = TapOptions::defaultTap) {
    return {.location = location, .options = options, .mask = {}};
}

TEST(SimKeyboard, ScriptedKeysArriveAtTheirVirtualTimesInOrder) {
    SimRigBase rig;
    std::vector<std::pair<double, KeyEvent>> seen;
    auto tap = rig.desktop.keyboard().createTap(at(TapLocation::hid), [&](const KeyEvent& e) {
        seen.emplace_back(rig.loop.now(), e);
        return TapVerdict::pass;
    });
    rig.desktop.keyboard().script({{.atSeconds = 0.6, .action = SimKeyStep::Action::release, .keyCode = k::kFn},
                                   {.atSeconds = 0.5, .action = SimKeyStep::Action::press, .keyCode = k::kFn},
                                   {.atSeconds = 0.6, .action = SimKeyStep::Action::tap, .keyCode = k::kL}});
    rig.loop.runFor(1);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_DOUBLE_EQ(seen[0].first, 0.5);
    EXPECT_EQ(seen[0].second.flags, ports::flags::kFn);
    EXPECT_DOUBLE_EQ(seen[1].first, 0.6);
    EXPECT_EQ(seen[1].second.flags, 0u) << "release listed first at 0.6 runs first";
    EXPECT_EQ(seen[2].second.keyCode, k::kL);
}

TEST(SimKeyboard, HardwareTapsComeFirstNewestFirstAndASwallowStopsTheRest) {
    SimRigBase rig;
    std::vector<std::string> order;
    auto make = [&](TapLocation location, std::string name, TapVerdict verdict) {
        auto tap = rig.desktop.keyboard().createTap(at(location), [&order, name, verdict](const KeyEvent&) {
            order.push_back(name);
            return verdict;
        });
        tap->setSwallowable({{.keyCode = k::kEscape, .modifiers = {}}});
        return tap;
    };
    auto s1 = make(TapLocation::session, "s1", TapVerdict::pass);
    auto h1 = make(TapLocation::hid, "h1", TapVerdict::pass);
    auto s2 = make(TapLocation::session, "s2", TapVerdict::swallow);
    auto h2 = make(TapLocation::hid, "h2", TapVerdict::pass);
    rig.desktop.keyboard().tap(k::kEscape);
    EXPECT_EQ(order, (std::vector<std::string>{"h2", "h1", "s2"}));
    EXPECT_TRUE(rig.desktop.trace().keysReceivedBy(rig.appPid).empty());
}

TEST(SimKeyboard, DisabledTapHearsTheNoticeAndMayEnableItselfAgain) {
    SimRigBase rig;
    std::vector<KeyEventKind> kinds;
    std::unique_ptr<ports::KeyTap> tap;
    tap = rig.desktop.keyboard().createTap(at(TapLocation::hid), [&](const KeyEvent& e) {
        kinds.push_back(e.kind);
        if (e.kind == KeyEventKind::tapDisabledByTimeout) tap->setEnabled(true);
        return TapVerdict::pass;
    });
    rig.desktop.keyboard().disableTaps(KeyEventKind::tapDisabledByTimeout);
    rig.desktop.keyboard().tap(k::kA);
    rig.desktop.keyboard().disableTaps(KeyEventKind::tapDisabledByUserInput);
    rig.desktop.keyboard().tap(k::kA);
    EXPECT_EQ(kinds, (std::vector<KeyEventKind>{KeyEventKind::tapDisabledByTimeout, KeyEventKind::keyDown,
                                                KeyEventKind::tapDisabledByUserInput}));
    EXPECT_FALSE(tap->isEnabled());
}

TEST(SimKeyboard, KeysHeldByAnotherProgramAndRefusedPlacesCannotBeHad) {
    SimRigBase rig;
    auto& keyboard = rig.desktop.keyboard();
    keyboard.claimByOtherProgram(k::kEscape);
    keyboard.refuseTaps(TapLocation::hid, TapOptions::defaultTap);
    auto pass = [](const KeyEvent&) { return TapVerdict::swallow; };
    EXPECT_EQ(keyboard.createTap(at(TapLocation::hid), pass), nullptr);
    auto tap = keyboard.createTap(at(TapLocation::session), pass);
    ASSERT_NE(tap, nullptr);
    EXPECT_FALSE(tap->setSwallowable({{.keyCode = k::kEscape, .modifiers = {}}, {.keyCode = k::kFn, .modifiers = {}}}));
    keyboard.tap(k::kEscape);
    keyboard.press(k::kFn);
    EXPECT_EQ(rig.desktop.trace().keysReceivedBy(rig.appPid), std::vector<ports::KeyCode>{k::kEscape});
    EXPECT_EQ(rig.desktop.trace().ofKind(TraceKind::keySwallowed).size(), 1u) << "fn was claimed all the same";
}

TEST(SimKeyboard, HeldKeysRepeatAndModifiersStayInTheFlagWord) {
    SimRigBase rig;
    std::vector<KeyEvent> seen;
    auto tap = rig.desktop.keyboard().createTap(at(TapLocation::hid), [&](const KeyEvent& e) {
        seen.push_back(e);
        return TapVerdict::pass;
    });
    auto& keyboard = rig.desktop.keyboard();
    keyboard.press(k::kControl);
    keyboard.press(k::kRightControl);
    keyboard.release(k::kControl);
    keyboard.press(k::kS);
    keyboard.press(k::kS);
    keyboard.repeat(k::kS);
    ASSERT_EQ(seen.size(), 6u);
    EXPECT_EQ(seen[2].flags, ports::flags::kControl) << "the right Control still holds the flag";
    EXPECT_FALSE(seen[3].autoRepeat);
    EXPECT_TRUE(seen[4].autoRepeat);
    EXPECT_TRUE(seen[5].autoRepeat);
    EXPECT_EQ(rig.desktop.keyPoster().heldModifiers(), ports::flags::kControl);
}

TEST(SimKeyboard, MonitorsWatchOtherAppsOnlyWithTrustAndOwnWindowsLocally) {
    SimRigBase rig;
    int global = 0;
    int local = 0;
    auto g = rig.desktop.keyboard().addGlobalMonitor({}, [&](const KeyEvent&) { ++global; });
    auto l = rig.desktop.keyboard().addLocalMonitor({}, [&](const KeyEvent&) { ++local; });
    rig.desktop.keyboard().tap(k::kA);
    rig.desktop.permissions().setGranted(ports::Permission::accessibility, false);
    rig.desktop.keyboard().tap(k::kA);
    rig.desktop.workspace().bringToFront(rig.desktop.ownPid());
    rig.desktop.keyboard().tap(k::kA);
    EXPECT_EQ(global, 1);
    EXPECT_EQ(local, 1);
    l.reset();
    rig.desktop.keyboard().tap(k::kA);
    EXPECT_EQ(local, 1) << "a dropped monitor sees nothing more";
}

TEST(SimKeyboard, PostedKeysWithoutPermissionVanishAndFailedEventsPostNothing) {
    SimRigBase rig;
    rig.fill("abc", {3, 0});
    auto& poster = rig.desktop.keyPoster();
    const std::vector<ports::SyntheticKey> del{{k::kDelete, true, 0}, {k::kDelete, false, 0}};
    rig.desktop.permissions().setGranted(ports::Permission::inputMonitoring, false);
    EXPECT_TRUE(poster.post(del));
    EXPECT_EQ(rig.desktop.text(rig.field), "abc");
    EXPECT_EQ(rig.desktop.trace().ofKind(TraceKind::keyPostDropped).size(), 2u);
    EXPECT_TRUE(poster.postViaAutomation(del)) << "the automation service types for us";
    EXPECT_EQ(rig.desktop.text(rig.field), "ab");
    rig.desktop.permissions().setGranted(ports::Permission::inputMonitoring, true);
    poster.setEventsFail(true);
    EXPECT_FALSE(poster.post(del));
    EXPECT_EQ(rig.desktop.text(rig.field), "ab");
    poster.setAutomationAvailable(false);
    EXPECT_FALSE(poster.postViaAutomation(del));
}

TEST(SimKeyboard, AutomationKeysAreSomeoneElsesToTheTap) {
    SimRigBase rig;
    std::vector<std::int32_t> sources;
    auto tap = rig.desktop.keyboard().createTap(at(TapLocation::hid), [&](const KeyEvent& e) {
        sources.push_back(e.sourcePid);
        return TapVerdict::pass;
    });
    rig.desktop.keyPoster().post({{k::kDelete, true, 0}});
    rig.desktop.keyPoster().postViaAutomation({{k::kDelete, true, 0}});
    rig.desktop.keyboard().press(k::kDelete);
    EXPECT_EQ(sources, (std::vector<std::int32_t>{rig.desktop.ownPid(), SimKeyPoster::kAutomationPid, 0}));
}

}  // namespace
}  // namespace veska::sim::testing
