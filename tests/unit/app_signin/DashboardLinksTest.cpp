// The dashboard's address and state, its deep links, the system's links, the status menu's
// commands, the notices' answers, the text services and the AI test.
#include "../app_dictation/DictationRig.h"

namespace veska::testing {
namespace {

using Json = nlohmann::json;

TEST(DashboardState, UnknownSignInStatesAreLeftOut) {
    DictationRig rig;
    AppState& app = rig.app();
    app.grokSignedIn.reset();
    app.chatgptSignedIn.reset();
    app.claudeAccount = ClaudeAccount::unknown();
    EXPECT_EQ(app.appState(), (AppState::StatePairs{{"v", "2.4.0"}, {"out", ""}, {"voice", "Eve"}}));
    app.grokSignedIn = false;
    app.chatgptSignedIn = true;
    app.claudeAccount = ClaudeAccount::signedIn("");
    app.setDictationOutput(TranslateLang::find("en"));
    EXPECT_EQ(app.appState(), (AppState::StatePairs{
                                  {"v", "2.4.0"}, {"out", "en"}, {"voice", "Eve"}, {"grok", "0"}, {"gc", "1"}, {"cr", "1"}}));
    app.claudeAccount = ClaudeAccount::signedOut();
    EXPECT_EQ(app.appState().back(), (std::pair<std::string, std::string>{"cr", "0"}));
    const Json state = app.appStateJSON();
    EXPECT_EQ(state["version"], "2.4.0");
    EXPECT_EQ(state["grok"], false);
    EXPECT_EQ(state["chatgpt"], true);
    EXPECT_EQ(state["claudeReady"], false);
    EXPECT_FALSE(state.contains("claudeEmail"));
}

TEST(DashboardState, AddressCarriesPermissionsAndStateEncoded) {
    DictationRig rig({.inputMonitoring = false});
    AppState& app = rig.app();
    rig.world->core.url = "http://127.0.0.1:8797/";
    app.grokSignedIn.reset();
    app.chatgptSignedIn.reset();
    app.claudeAccount = ClaudeAccount::signedIn("a+b@x.test");
    rig.world->prefs.set(UserDefaults::kTtsVoice, "sal ly");
    EXPECT_EQ(app.dashboardURL(),
              "http://127.0.0.1:8797/?mic=1&ax=1&im=0&v=2.4.0&out=&voice=Sal%20Ly&ce=a%2Bb%40x.test&cr=1");
}

TEST(DashboardState, OpeningTheDashboardStartsTheCoreAndHandsThePageItsState) {
    DictationRig rig;
    appsim::DictationWorld& world = *rig.world;
    const int ensured = world.core.ensureCalls;
    rig.app().openDashboard();
    rig.loop.runFor(1);
    EXPECT_EQ(world.core.ensureCalls, ensured + 1);
    ASSERT_EQ(world.dashboardView.loads.size(), 1U);
    EXPECT_EQ(world.dashboardView.loads[0], rig.app().dashboardURL());
    ASSERT_FALSE(world.dashboardView.scripts.empty());
    EXPECT_TRUE(world.dashboardView.scripts[0].starts_with("window.__veskaSetApp && window.__veskaSetApp({"));
    // A change of the output language reaches the open page.
    world.dashboardView.scripts.clear();
    rig.app().setDictationOutput(TranslateLang::find("vi"));
    ASSERT_EQ(world.dashboardView.scripts.size(), 1U);
    EXPECT_NE(world.dashboardView.scripts[0].find(R"("output":"vi")"), std::string::npos);
}

struct LinkRow {
    const char* url;
    const char* effect;
};

/// What a link did, as the user would notice it.
std::string effectOf(DictationRig& rig, const appsim::DictationWorld& world, std::size_t dashboardLoads) {
    if (world.chatgptLogin.shows > 0) return "chatgpt login";
    if (world.claudeLogin.shows > 0) return *world.claudeLogin.lastForce ? "claude login (fresh)" : "claude login";
    if (world.grokLogin.shows > 0) return "grok login";
    if (world.dashboardView.loads.size() > dashboardLoads) return "dashboard";
    if (!rig.app().isActiveWork()) return "cancelled";
    return "nothing";
}

TEST(DeepLinks, CommandsOfTheDashboardPage) {
    const LinkRow rows[] = {
        {"veska-voice-local://login", "chatgpt login"},
        {"veska-voice-local://chatgpt", "chatgpt login"},
        {"veska-voice-local://auth", "chatgpt login"},
        {"veska-voice-local://claude-login", "claude login"},
        {"veska-voice-local://claude", "claude login"},
        {"veska-voice-local://claudeai", "claude login"},
        {"veska-voice-local://claude-switch", "claude login (fresh)"},
        {"veska-voice-local://config", "dashboard"},
        {"veska-voice-local:settings", "dashboard"},
        {"veska-voice-local://grok-login", "grok login"},
        {"veska-voice-local:///grok", "grok login"},
        {"veska-voice-local://stop", "cancelled"},
        {"veska-voice-local://cancel", "cancelled"},
        {"veska-voice-local://unknown", "nothing"},
        {"veska-voice-local://", "nothing"},
    };
    for (const LinkRow& row : rows) {
        DictationRig rig;
        appsim::DictationWorld& world = *rig.world;
        rig.tap(0.5);  // a dictation runs, so a cancel can be seen
        ASSERT_TRUE(rig.app().isActiveWork());
        const std::size_t loads = world.dashboardView.loads.size();
        rig.app().handleDeepLink(row.url);
        rig.loop.runFor(0.5);
        EXPECT_EQ(effectOf(rig, world, loads), row.effect) << row.url;
    }
}

TEST(DeepLinks, OutputLinkSetsTheLanguageOrAsSpoken) {
    struct Row {
        const char* url;
        std::optional<std::string> code;
    };
    const Row rows[] = {
        {"veska-voice-local://output?lang=en", "en"},
        {"veska-voice-local://output?lang=zh-Hans", "zh-Hans"},
        {"veska-voice-local://output?lang=", std::nullopt},
        {"veska-voice-local://output?lang=klingon", std::nullopt},
        {"veska-voice-local://output", std::nullopt},
    };
    for (const Row& row : rows) {
        DictationRig rig;
        rig.app().setDictationOutput(TranslateLang::find("vi"));
        rig.app().handleDeepLink(row.url);
        const auto& target = rig.app().dictationTarget;
        EXPECT_EQ(target ? std::optional<std::string>(target->code) : std::nullopt, row.code) << row.url;
        EXPECT_EQ(rig.world->popover.output, target) << row.url;
    }
}

TEST(DeepLinks, DashboardLinksArriveThroughThePage) {
    DictationRig rig;
    appsim::DictationWorld& world = *rig.world;
    rig.app().openDashboard();
    rig.loop.runFor(1);
    EXPECT_FALSE(world.dashboardView.click("veska-voice-local://grok"));
    EXPECT_EQ(world.grokLogin.shows, 0) << "acted on once the navigation decision has returned";
    rig.loop.runFor(0.1);
    EXPECT_EQ(world.grokLogin.shows, 1);
    world.grokLogin.succeed();
    EXPECT_EQ(rig.app().grokSignedIn, true);
    EXPECT_EQ(rig.hudStates(), (States{"done: Done"}));
}

TEST(DeepLinks, ClaudeSignInSwitchesTheSpeechSource) {
    DictationRig rig;
    appsim::DictationWorld& world = *rig.world;
    rig.app().handleDeepLink("veska-voice-local://claude-switch");
    EXPECT_EQ(world.claudeLogin.lastForce, true);
    world.claudeLogin.succeed();
    rig.loop.runFor(0.5);
    EXPECT_EQ(world.core.savedPrefs.front(),
              (Json{{"stt", {{"provider", "claude_web"}, {"claudeLoggedIn", true}}}}));
    EXPECT_EQ(rig.app().sttProvider, "claude_web");
    EXPECT_EQ(world.prefs.string(UserDefaults::kSttProvider), "claude_web");
    EXPECT_EQ(rig.hudStates(), (States{"done: Done"}));
    world.claudeLogin.cancel();
    EXPECT_TRUE(rig.hudStates().empty());
}

TEST(DeepLinks, AITestReportsTaskTimeModelAndError) {
    DictationRig rig;
    appsim::DictationWorld& world = *rig.world;
    world.ai.replies[AITask::fix] = {.text = "Hôm nay em đã gửi báo cáo cho anh rồi.", .error = std::nullopt, .seconds = 0.25};
    rig.app().handleDeepLink("veska-voice-local://ai-test?task=fix");
    rig.loop.runFor(1);
    ASSERT_FALSE(world.ai.sent.empty());
    EXPECT_NE(world.ai.sent.back().text.find("ờ hôm nay em đã đã gửi báo cáo cho anh rồi"), std::string::npos);
    Json report = Json::parse(*world.dashboard.appJSON)["aiTest"];
    EXPECT_EQ(report["task"], "fix");
    EXPECT_EQ(report["ms"], 250);
    EXPECT_EQ(report["model"], "grok");
    EXPECT_FALSE(report.contains("error"));

    world.ai.replies[AITask::translate] = {.text = std::nullopt, .error = TranslateError::Kind::signedOut, .seconds = 0.1};
    rig.app().handleDeepLink("veska-voice-local://ai-test");
    rig.loop.runFor(1);
    EXPECT_NE(world.ai.sent.back().text.find("Xin chào, hôm nay bạn khỏe không?"), std::string::npos);
    report = Json::parse(*world.dashboard.appJSON)["aiTest"];
    EXPECT_EQ(report["task"], "translate");
    EXPECT_EQ(report["error"], AppStrings::translateMessage(appsim::makeTranslateError(TranslateError::Kind::signedOut,
                                                                                        AISource::grok)));
}

TEST(ExternalLinks, OnlyTheHostCounts) {
    const LinkRow rows[] = {
        {"veska-voice-local://config", "dashboard"},
        {"veska-voice-local://settings?x=1", "dashboard"},
        {"veska-voice-local://stop", "cancelled"},
        {"veska-voice-local://cancel", "cancelled"},
        {"veska-voice-local://login", "nothing"},
        {"veska-voice-local:config", "nothing"},
    };
    for (const LinkRow& row : rows) {
        DictationRig rig;
        rig.tap(0.5);
        const std::size_t loads = rig.world->dashboardView.loads.size();
        rig.world->delegate().openURLs({row.url});
        rig.loop.runFor(0.5);
        EXPECT_EQ(effectOf(rig, *rig.world, loads), row.effect) << row.url;
    }
}

TEST(StatusMenu, EachCommandDoesItsJob) {
    DictationRig rig;
    appsim::DictationWorld& world = *rig.world;
    AppDelegate& delegate = world.delegate();
    rig.tap(0.5);
    world.statusItem.onAction(StatusAction::cancelWork);
    EXPECT_FALSE(rig.app().isActiveWork());
    delegate.perform(StatusAction::openDash);
    rig.loop.runFor(0.5);
    EXPECT_EQ(world.dashboardView.loads.size(), 1U);
    const int shows = world.permissionsWindow.shows;
    delegate.perform(StatusAction::openPerms);
    EXPECT_EQ(world.permissionsWindow.shows, shows + 1);
    world.permissionsWindow.onAllGranted();
    EXPECT_EQ(rig.app().needsSetupBadge(), false);
    delegate.perform(StatusAction::loginGPT);
    EXPECT_EQ(world.chatgptLogin.shows, 1);
    const bool wasOn = world.loginItem.status() == ports::LoginItemStatus::enabled;
    delegate.perform(StatusAction::toggleLaunchLogin);
    EXPECT_NE(world.loginItem.status() == ports::LoginItemStatus::enabled, wasOn);
    EXPECT_EQ(world.statusItem.launchAtLoginChecked, !wasOn);
    delegate.perform(StatusAction::quit);
    rig.loop.runFor(0.1);
    EXPECT_TRUE(world.shell.terminated);
}

TEST(Notifications, InstallActionInstallsAndAClickOpensThePopover) {
    DictationRig rig;
    appsim::DictationWorld& world = *rig.world;
    int popovers = 0;
    world.menu.onShowPopover = [&] { ++popovers; };
    AppDelegate& delegate = world.delegate();
    delegate.notificationResponse("veska.update.install");
    EXPECT_EQ(world.updater.installs, 1);
    EXPECT_EQ(popovers, 0);
    delegate.notificationResponse("default");
    EXPECT_EQ(popovers, 1);
    delegate.notificationResponse("veska.update.later");
    EXPECT_EQ(world.updater.installs, 1);
    EXPECT_EQ(popovers, 1);
    const AppDelegate::NotificationPresentation shown = AppDelegate::notificationWillPresent();
    EXPECT_TRUE(shown.banner && shown.sound);
}

TEST(TextServices, TranslateAndReadTakeTheServiceText) {
    DictationRig rig;
    AppDelegate& delegate = rig.world->delegate();
    delegate.performService("translateText", "xin chào");
    delegate.performService("readAloud", "hello");
    delegate.performService("somethingElse", "x");
    EXPECT_EQ(rig.world->actions.serviceTexts,
              (std::vector<std::pair<std::string, std::string>>{{"translate", "xin chào"}, {"read", "hello"}}));
}

}  // namespace
}  // namespace veska::testing
