// The dashboard window's controller over a recording web view: addresses, page hooks, links.
#include <gtest/gtest.h>

#include "core/app/ConfigDashboardWindowController.h"
#include "core/ui/AppStrings.h"
#include "main/appsim/AppRecorders.h"
#include "runtime/VirtualLoop.h"

namespace veska::testing {
namespace {

struct DashboardRig {
    rt::VirtualLoop loop;
    appsim::AppLog log{loop.main()};
    appsim::RecordingDashboardView view{log};
    ConfigDashboardWindowController dashboard{view};
};

TEST(ConfigDashboard, AddressThatDoesNotParseOpensTheCoreDefault) {
    struct Row {
        const char* given;
        const char* loaded;
    };
    const Row rows[] = {
        {"http://127.0.0.1:9000/?mic=1", "http://127.0.0.1:9000/?mic=1"},
        {"", "http://127.0.0.1:8797/"},
        {"not a url", "http://127.0.0.1:8797/"},
        {"127.0.0.1:8797", "http://127.0.0.1:8797/"},
        {"://nothing", "http://127.0.0.1:8797/"},
        {"http:", "http://127.0.0.1:8797/"},
        {"http://a\nb", "http://127.0.0.1:8797/"},
    };
    for (const Row& row : rows) {
        DashboardRig rig;
        rig.dashboard.show(row.given);
        ASSERT_EQ(rig.view.loads.size(), 1U) << row.given;
        EXPECT_EQ(rig.view.loads[0], row.loaded) << row.given;
        EXPECT_EQ(rig.dashboard.lastURL(), row.loaded);
    }
}

TEST(ConfigDashboard, ShowBuildsTheWindowOnceAndReloadNeedsIt) {
    DashboardRig rig;
    rig.dashboard.reload();
    EXPECT_TRUE(rig.view.loads.empty());
    rig.dashboard.show("http://127.0.0.1:8797/?a=1");
    EXPECT_EQ(rig.view.title, AppStrings::dashboardTitle());
    rig.view.title.clear();
    rig.dashboard.show("http://127.0.0.1:8797/?a=2");
    EXPECT_TRUE(rig.view.title.empty()) << "the window is built once";
    EXPECT_EQ(rig.view.fronts, 2);
    rig.dashboard.reload();
    EXPECT_EQ(rig.view.loads.back(), "http://127.0.0.1:8797/?a=2");
    rig.view.closeByUser();
    EXPECT_FALSE(rig.dashboard.isOpen());
    rig.dashboard.reload();
    EXPECT_EQ(rig.view.loads.size(), 3U);
}

TEST(ConfigDashboard, PageHooksCarryTheStateAndThePermissions) {
    DashboardRig rig;
    rig.dashboard.appJSON = R"({"version":"2.4.0"})";
    rig.dashboard.applyApp();
    EXPECT_TRUE(rig.view.scripts.empty()) << "nothing runs without a page";
    rig.dashboard.show("http://127.0.0.1:8797/");
    ASSERT_EQ(rig.view.scripts.size(), 1U) << "each finished navigation hands the state over";
    EXPECT_EQ(rig.view.scripts[0], R"(window.__veskaSetApp && window.__veskaSetApp({"version":"2.4.0"}))");
    rig.dashboard.pushPerms({.mic = true, .ax = false, .im = false});
    EXPECT_EQ(rig.view.scripts.back(), "window.__veskaSetPerms && window.__veskaSetPerms({mic:true,ax:false,im:false})");
    rig.dashboard.pushPerms({.mic = false, .ax = true, .im = true});
    EXPECT_EQ(rig.view.scripts.back(), "window.__veskaSetPerms && window.__veskaSetPerms({mic:false,ax:true,im:true})");
    rig.dashboard.appJSON.reset();
    const std::size_t before = rig.view.scripts.size();
    rig.dashboard.reload();
    EXPECT_EQ(rig.view.scripts.size(), before) << "no state, no call";
}

TEST(ConfigDashboard, OwnSchemeLinksNeverNavigateAndReachTheDeepLinkHandler) {
    DashboardRig rig;
    std::vector<std::string> links;
    rig.dashboard.onDeepLink = [&](const std::string& url) { links.push_back(url); };
    rig.dashboard.show("http://127.0.0.1:8797/");
    EXPECT_FALSE(rig.view.click("veska-voice-local://login"));
    EXPECT_FALSE(rig.view.click("VESKA-Voice-Local://output?lang=en"));
    EXPECT_TRUE(rig.view.click("http://127.0.0.1:8797/other"));
    EXPECT_TRUE(rig.view.click("veska-voice-localx://login"));
    EXPECT_EQ(links, (std::vector<std::string>{"veska-voice-local://login", "VESKA-Voice-Local://output?lang=en"}));
}

}  // namespace
}  // namespace veska::testing
