// The HUD's panel under a real window manager (Openbox): the window the user types in stays
// active and focused whatever the HUD shows or is clicked, and the panel follows the user to
// every desktop, stays above and out of the taskbar.
#include <gtest/gtest.h>

#include <QGuiApplication>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "core/ui/HUDPresentation.h"
#include "integration/hud/HUDRig.h"
#include "platform/linux/hud/HUDDrawing.h"

namespace veska::testing {
namespace {

using Kind = HUDState::Kind;

// Fontconfig keeps a cache for the life of the process.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

class HUDWindowManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!desktop().missing().empty()) GTEST_SKIP() << desktop().missing();
    }
    static X11TestDesktop& desktop() {
        return X11TestDesktop::get({.windowManager = true, .programs = {"xdotool"}});
    }

    static unsigned long activeWindow() {
        const auto active = desktop().property(desktop().root(), "_NET_ACTIVE_WINDOW");
        return active && !active->empty() ? active->front() : 0;
    }
    static unsigned long currentDesktop() {
        const auto current = desktop().property(desktop().root(), "_NET_CURRENT_DESKTOP");
        return current && !current->empty() ? current->front() : 0;
    }
    static bool run(const std::string& command) { return std::system(command.c_str()) == 0; }
};

TEST_F(HUDWindowManagerTest, TheWindowTheUserTypesInStaysActiveAndFocused) {
    X11TestDesktop& d = desktop();
    const Window editor = d.makeWindow(100, 100, 600, 400);
    ASSERT_TRUE(run("timeout 5 xdotool windowactivate " + std::to_string(editor)));
    ASSERT_TRUE(spinUntil([&] { return activeWindow() == editor; }));
    HUDRig rig;
    for (const HUDState& state :
         {HUDState(Kind::listening), HUDState(Kind::transcribing), HUDState(Kind::done),
          HUDState::error("Mic error"), HUDState(Kind::speaking)}) {
        rig.showAndSettle(state, d);
        spin(0.2);
        EXPECT_EQ(activeWindow(), editor) << name(state.kind());
        EXPECT_EQ(d.inputFocus(), editor) << name(state.kind());
    }
    const auto place = d.geometry(rig.window());
    ASSERT_TRUE(place);
    const QPoint pause =
        place->topLeft() + platform::HUDDrawing::readingControls(rig.hud.model()).pause.center().toPoint();
    d.click(pause.x(), pause.y());
    EXPECT_TRUE(spinUntil([&] { return rig.pauses == 1; }, 3));
    spin(0.2);
    EXPECT_EQ(activeWindow(), editor);
    EXPECT_EQ(d.inputFocus(), editor);
    EXPECT_EQ(QGuiApplication::focusWindow(), nullptr);
    XDestroyWindow(d.user(), editor);
}

TEST_F(HUDWindowManagerTest, FollowsTheUserToEveryDesktopAboveTheOthers) {
    X11TestDesktop& d = desktop();
    HUDRig rig;
    rig.hud.begin("claude_web", std::nullopt);
    rig.showAndSettle(Kind::listening, d);
    const auto states = d.property(rig.window(), "_NET_WM_STATE");
    ASSERT_TRUE(states);
    // Openbox says "every desktop" with the desktop number alone (it has no sticky state).
    for (const char* state :
         {"_NET_WM_STATE_ABOVE", "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"}) {
        EXPECT_TRUE(std::find(states->begin(), states->end(), d.atom(state)) != states->end()) << state;
    }
    EXPECT_EQ(d.property(rig.window(), "_NET_WM_DESKTOP"), std::vector<unsigned long>{0xFFFFFFFFUL});
    // Bottom centre of the screen, where it asked to be.
    const auto place = d.geometry(rig.window());
    ASSERT_TRUE(place);
    EXPECT_EQ(place->y() + place->height(), X11TestDesktop::kHeight - platform::QtHUDPanel::kBottomMargin);
    EXPECT_NEAR(place->x() + place->width() / 2.0, X11TestDesktop::kWidth / 2.0, 1);

    const unsigned long before = currentDesktop();
    ASSERT_TRUE(run("timeout 5 xdotool set_desktop " + std::to_string(before == 0 ? 1 : 0)));
    ASSERT_TRUE(spinUntil([&] { return currentDesktop() != before; }));
    spin(0.2);
    EXPECT_TRUE(d.mapped(rig.window()));
    run("timeout 5 xdotool set_desktop " + std::to_string(before));
}

}  // namespace
}  // namespace veska::testing
