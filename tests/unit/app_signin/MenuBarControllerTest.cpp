// The status item's logic over a recording view: tooltip priority, badge, the idle redraw and
// the menu's entries.
#include <gtest/gtest.h>

#include "core/app/MenuBarController.h"
#include "core/ui/AppStrings.h"
#include "main/appsim/AppRecorders.h"
#include "platform/sim/SimSystemLanguages.h"
#include "runtime/VirtualLoop.h"

namespace veska::testing {
namespace {

struct MenuRig {
    MenuRig() { AppStrings::setLocale(nlohmann::json{{"locale", "en"}}, languages); }
    rt::VirtualLoop loop;
    appsim::AppLog log{loop.main()};
    sim::SimSystemLanguages languages{{"en-US"}};
    appsim::RecordingStatusItemView view{log};
    appsim::FakeUpdater updater;
    MenuBarController menu{view, updater};
};

constexpr PermissionsSnapshot kAllGranted{true, true, true};

TEST(MenuBarController, TooltipNamesTheMostPressingMatter) {
    struct Row {
        const char* name;
        bool update;
        PermissionsSnapshot perms;
        bool sttReady;
        const char* provider;
        const char* tooltip;
        bool badge;
    };
    const Row rows[] = {
        {"all well", false, kAllGranted, true, "claude_web", "Veska — tap or hold fn to dictate · Esc cancels", false},
        {"update wins over everything", true, {false, false, false}, false, "chatgpt_web",
         "Veska — 2.5.0 available, click to update", true},
        {"permissions before sign-in", false, {true, false, false}, false, "chatgpt_web",
         "2 permission(s) missing — open to set up", true},
        {"ChatGPT not signed in", false, kAllGranted, false, "chatgpt_web", "Veska — not signed in to ChatGPT", true},
        {"Claude not signed in", false, kAllGranted, false, "claude_web", "Veska — not signed in to claude.ai", true},
        {"one permission", false, {false, true, true}, true, "claude_web", "1 permission(s) missing — open to set up",
         true},
    };
    for (const Row& row : rows) {
        MenuRig rig;
        rig.menu.install();
        rig.updater.available = row.update;
        rig.menu.updateStatus(row.perms, row.sttReady, row.provider, false);
        EXPECT_EQ(rig.view.toolTip, row.tooltip) << row.name;
        EXPECT_EQ(rig.menu.showSetupBadge(), row.badge) << row.name;
        EXPECT_EQ(rig.view.badge, row.badge) << row.name << ": the idle icon is redrawn with the badge";
    }
}

TEST(MenuBarController, InstallShowsTheIdleIconAndTheDefaultTooltip) {
    MenuRig rig;
    rig.menu.install();
    EXPECT_TRUE(rig.view.shown);
    EXPECT_EQ(rig.view.symbol, "waveform");
    EXPECT_EQ(rig.view.toolTip, "Veska — tap or hold fn to dictate · Esc cancels");
    EXPECT_FALSE(rig.view.cancelEnabled);
}

TEST(MenuBarController, StatusLeavesAStateIconAloneUntilItReturnsToIdle) {
    MenuRig rig;
    rig.menu.install();
    rig.menu.setIcon(MenuBarController::hudSymbol(HUDState::error("boom")), false);
    rig.menu.updateStatus({false, true, true}, true, "claude_web", false);
    EXPECT_EQ(rig.view.symbol, "exclamationmark.triangle.fill");
    EXPECT_FALSE(rig.view.badge);
    rig.menu.setIcon("waveform", rig.menu.showSetupBadge());
    EXPECT_TRUE(rig.view.badge);
    // While work runs the icon is the work's, whatever it shows.
    rig.menu.updateStatus(kAllGranted, true, "claude_web", true);
    EXPECT_TRUE(rig.view.badge);
}

TEST(MenuBarController, MenuEntriesReachTheDelegateAndAClickOpensThePopover) {
    MenuRig rig;
    std::vector<StatusAction> actions;
    int popovers = 0;
    rig.menu.onAction = [&](StatusAction action) { actions.push_back(action); };
    rig.menu.onShowPopover = [&] { ++popovers; };
    rig.menu.install();
    rig.view.onAction(StatusAction::openDash);
    rig.view.onAction(StatusAction::quit);
    rig.view.onActivate();
    EXPECT_EQ(actions, (std::vector<StatusAction>{StatusAction::openDash, StatusAction::quit}));
    EXPECT_EQ(popovers, 1);
    rig.menu.setCancelEnabled(true);
    rig.menu.setLaunchAtLoginChecked(true);
    EXPECT_TRUE(rig.view.cancelEnabled);
    EXPECT_TRUE(rig.view.launchAtLoginChecked);
}

}  // namespace
}  // namespace veska::testing
