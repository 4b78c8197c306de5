// The HUD's show/hide logic: automatic hides, fades, level gating, previews.
#include <gtest/gtest.h>

#include "core/ui/FloatingHUD.h"
#include "main/appsim/AppRecorders.h"
#include "runtime/VirtualLoop.h"

namespace veska::testing {
namespace {

struct HUDRig {
    rt::VirtualLoop loop;
    appsim::SimHUDPanel panel{loop.main()};
    FloatingHUD hud{loop.main(), panel};
};

TEST(FloatingHUD, FinishedStatesHideAfterTheirDelay) {
    const std::pair<HUDState, double> rows[] = {
        {HUDState::error("x"), 2.2}, {HUDState::info("x"), 1.4}, {HUDState::Kind::done, 1.0}, {HUDState::Kind::stopped, 1.0}};
    for (const auto& [state, delay] : rows) {
        HUDRig rig;
        rig.hud.show(state);
        EXPECT_TRUE(rig.panel.visible);
        rig.loop.runFor(delay - 0.01);
        EXPECT_EQ(rig.hud.model().state, state);
        rig.loop.runFor(0.02);
        EXPECT_EQ(rig.hud.model().state.kind(), HUDState::Kind::idle);
        rig.loop.runFor(0.2);
        EXPECT_FALSE(rig.panel.visible);
        EXPECT_EQ(rig.panel.alpha, 1);
    }
}

TEST(FloatingHUD, WorkingStatesStay) {
    HUDRig rig;
    rig.hud.show(HUDState::Kind::translating);
    rig.loop.runFor(60);
    EXPECT_EQ(rig.hud.model().state.kind(), HUDState::Kind::translating);
    EXPECT_TRUE(rig.panel.visible);
}

TEST(FloatingHUD, ANewStateCancelsThePendingHide) {
    HUDRig rig;
    rig.hud.show(HUDState::Kind::done);
    rig.loop.runFor(0.5);
    rig.hud.show(HUDState::Kind::listening);
    rig.loop.runFor(2);
    EXPECT_EQ(rig.hud.model().state.kind(), HUDState::Kind::listening);
    EXPECT_TRUE(rig.panel.visible);
}

TEST(FloatingHUD, AStateArrivingDuringTheFadeOutKeepsThePanelOpaque) {
    HUDRig rig;
    rig.hud.show(HUDState::Kind::transcribing);
    rig.loop.runFor(0.5);
    rig.hud.show(HUDState::Kind::idle);
    rig.loop.runFor(0.05);
    rig.hud.show(HUDState::Kind::done);
    rig.loop.runFor(0.2);
    EXPECT_TRUE(rig.panel.visible);
    EXPECT_EQ(rig.panel.alpha, 1);
}

TEST(FloatingHUD, FadesInOnlyFromHidden) {
    HUDRig rig;
    rig.hud.show(HUDState::Kind::listening);
    EXPECT_EQ(rig.panel.alpha, 0);
    rig.loop.runFor(0.2);
    EXPECT_EQ(rig.panel.alpha, 1);
    rig.hud.show(HUDState::Kind::transcribing);
    EXPECT_EQ(rig.panel.alpha, 1);
}

TEST(FloatingHUD, ClicksReachThePanelOnlyWhileSpeaking) {
    HUDRig rig;
    rig.hud.show(HUDState::Kind::speaking);
    EXPECT_TRUE(rig.panel.acceptsMouse);
    rig.hud.show(HUDState::Kind::listening);
    EXPECT_FALSE(rig.panel.acceptsMouse);
}

TEST(FloatingHUD, LevelIsKeptOnlyWhileListeningOrSpeaking) {
    HUDRig rig;
    rig.hud.show(HUDState::Kind::translating);
    rig.hud.setLevel(0.7);
    EXPECT_EQ(rig.hud.model().level, 0);
    rig.hud.show(HUDState::Kind::listening);
    rig.hud.setLevel(0.7);
    EXPECT_EQ(rig.hud.model().level, 0.7);
    rig.hud.show(HUDState::Kind::transcribing);
    EXPECT_EQ(rig.hud.model().level, 0);
}

TEST(FloatingHUD, PreviewOnlyWhileListeningAndClearedWhenHidden) {
    HUDRig rig;
    rig.hud.setListeningPreview("early");
    EXPECT_EQ(rig.hud.model().text, "");
    rig.hud.show(HUDState::Kind::listening);
    rig.hud.setListeningPreview("xin chào");
    EXPECT_EQ(rig.hud.model().text, "xin chào");
    rig.hud.show(HUDState::Kind::idle);
    rig.loop.runFor(0.2);
    EXPECT_EQ(rig.hud.model().text, "");
}

TEST(FloatingHUD, BeginAndBeginReadingResetTheModel) {
    HUDRig rig;
    rig.loop.runFor(5);
    rig.hud.show(HUDState::Kind::listening);
    rig.hud.setLevel(0.5);
    rig.hud.begin("claude_web", "Notes");
    EXPECT_EQ(rig.hud.model().engine, "claude_web");
    EXPECT_EQ(rig.hud.model().targetApp, "Notes");
    EXPECT_EQ(rig.hud.model().level, 0);
    EXPECT_EQ(rig.hud.model().startedAt, rig.loop.main().now());
    rig.hud.setPaused(true);
    rig.hud.beginReading(1.5);
    EXPECT_EQ(rig.hud.model().engine, "Grok");
    EXPECT_EQ(rig.hud.model().targetApp, std::nullopt);
    EXPECT_FALSE(rig.hud.model().paused);
    EXPECT_EQ(rig.hud.model().rate, 1.5);
}

}  // namespace
}  // namespace veska::testing
