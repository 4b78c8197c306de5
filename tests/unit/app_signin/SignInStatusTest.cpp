// The sign-in state and the status refresh on the simulated desktop and virtual time: Claude
// account checks, the ChatGPT token hand-over, Grok, and what survives a failing core.
#include "../app_dictation/DictationRig.h"

namespace veska::testing {
namespace {

RigOptions claude() { return {.provider = "claude_web"}; }

void sessionCookie(appsim::DictationWorld& world) {
    ports::WebCookie cookie;
    cookie.name = "__Secure-next-auth.session-token.0";
    cookie.value = "chunk";
    cookie.domain = ".chatgpt.com";
    ASSERT_TRUE(world.cookies.setFromPage(std::move(cookie)));
}

TEST(ClaudeAccount, UnknownKeepsTheAccountAndAsksAgainAfterSixtySeconds) {
    DictationRig rig(claude());
    appsim::DictationWorld& world = *rig.world;
    ASSERT_EQ(rig.app().claudeAccount, ClaudeAccount::signedIn("user@example.com"));
    world.claude.account = ClaudeAccount::unknown();
    rig.app().refreshClaudeAccount(true);
    rig.loop.runFor(1);
    const int checks = world.claude.accountChecks;
    EXPECT_EQ(rig.app().claudeAccount, ClaudeAccount::signedIn("user@example.com"));
    EXPECT_EQ(rig.app().lastSttReady, true);
    rig.loop.runFor(58);
    EXPECT_EQ(world.claude.accountChecks, checks) << "the 8-second refresh waits for the next check time";
    rig.loop.runFor(10);
    EXPECT_EQ(world.claude.accountChecks, checks + 1);
    // A known answer puts the next check ten minutes away.
    world.claude.account = ClaudeAccount::signedOut();
    rig.app().refreshClaudeAccount(true);
    rig.loop.runFor(9);
    EXPECT_EQ(rig.app().claudeAccount, ClaudeAccount::signedOut());
    EXPECT_EQ(rig.app().lastSttReady, false);
    EXPECT_EQ(world.statusItem.toolTip, "Veska — not signed in to claude.ai");
    const int afterKnown = world.claude.accountChecks;
    rig.loop.runFor(590);
    EXPECT_EQ(world.claude.accountChecks, afterKnown);
    rig.loop.runFor(10);
    EXPECT_EQ(world.claude.accountChecks, afterKnown + 1);
}

TEST(ClaudeAccount, AChecksRunsOnceAtATime) {
    DictationRig rig(claude());
    const int before = rig.world->claude.accountChecks;
    rig.app().refreshClaudeAccount(true);
    rig.app().refreshClaudeAccount(true);
    rig.app().refreshClaudeAccount(true);
    rig.loop.runFor(1);
    EXPECT_EQ(rig.world->claude.accountChecks, before + 1);
    EXPECT_FALSE(rig.app().claudeChecking);
}

TEST(ClaudeAccount, PreferenceFlagFollowsTheAccountAndIsWrittenOnlyOnChange) {
    DictationRig rig(claude());
    appsim::DictationWorld& world = *rig.world;
    // Signed in at start-up, the core's flag was absent (false): it is rewritten.
    ASSERT_FALSE(world.core.savedPrefs.empty());
    EXPECT_EQ(world.core.savedPrefs.back(), (nlohmann::json{{"stt", {{"claudeLoggedIn", true}}}}));
    const std::size_t saves = world.core.savedPrefs.size();
    rig.loop.runFor(24);
    EXPECT_EQ(world.core.savedPrefs.size(), saves) << "the core now agrees: nothing more is written";
    world.claude.account = ClaudeAccount::signedOut();
    rig.app().refreshClaudeAccount(true);
    rig.loop.runFor(1);
    EXPECT_EQ(world.core.savedPrefs.back(), (nlohmann::json{{"stt", {{"claudeLoggedIn", false}}}}));
    EXPECT_EQ(world.core.preferences->at("stt").at("claudeLoggedIn"), false);
}

TEST(ChatGPTToken, ChoosingChatGPTStartsTheRefreshAndLeavingItStopsIt) {
    DictationRig rig(claude());
    appsim::DictationWorld& world = *rig.world;
    sessionCookie(world);
    world.chatgptServer.reply(ports::HttpMethod::get, "/api/auth/session", 200, R"({"accessToken":"tok-A"})");
    rig.loop.runFor(30);
    EXPECT_TRUE(world.chatgptServer.requests().empty());
    EXPECT_FALSE(rig.app().chatgptRefreshOn);

    (*world.core.preferences)["stt"] = {{"provider", "chatgpt_web"}};
    rig.loop.runFor(8);
    EXPECT_EQ(rig.app().sttProvider, "chatgpt_web");
    EXPECT_TRUE(rig.app().chatgptRefreshOn);
    ASSERT_EQ(world.core.savedSecrets.size(), 1U) << "the first token is handed over at once";
    EXPECT_EQ(world.core.savedSecrets[0], (nlohmann::json{{"CHATGPT_ACCESS_TOKEN", "tok-A"}}));
    rig.loop.runFor(720);
    EXPECT_EQ(world.core.savedSecrets.size(), 2U);

    (*world.core.preferences)["stt"] = {{"provider", "claude_web"}};
    rig.loop.runFor(8);
    EXPECT_FALSE(rig.app().chatgptRefreshOn);
    const std::size_t asked = world.chatgptServer.requests().size();
    rig.loop.runFor(3 * 720);
    EXPECT_EQ(world.chatgptServer.requests().size(), asked);
    EXPECT_EQ(world.core.savedSecrets.size(), 2U);
}

TEST(ChatGPTToken, AFailedSaveSaysSoAndASuccessfulSignInReloadsTheDashboard) {
    DictationRig rig;
    appsim::DictationWorld& world = *rig.world;
    rig.app().openDashboard();
    rig.loop.runFor(1);
    ASSERT_EQ(world.dashboardView.loads.size(), 1U);

    world.core.saveFailure = "HTTP 500";
    rig.app().openChatGPTLogin();
    EXPECT_EQ(world.chatgptLogin.shows, 1);
    world.chatgptLogin.succeed("tok-secret");
    rig.loop.runFor(0.5);
    EXPECT_EQ(rig.hudStates(), (States{"error: Save token failed"}));
    EXPECT_EQ(world.dashboardView.loads.size(), 1U);

    world.core.saveFailure.reset();
    const int statusCalls = world.core.statusCalls;
    rig.app().openChatGPTLogin();
    world.chatgptLogin.succeed("tok-2");
    rig.loop.runFor(0.5);
    EXPECT_EQ(rig.hudStates(), (States{"done: Done"}));
    EXPECT_EQ(world.core.savedSecrets.back(), (nlohmann::json{{"CHATGPT_ACCESS_TOKEN", "tok-2"}}));
    EXPECT_EQ(world.core.statusCalls, statusCalls + 1);
    EXPECT_EQ(world.dashboardView.loads.size(), 2U) << "the open dashboard is reloaded";
}

TEST(StatusRefresh, AFailingCoreLeavesThePreviousStateInPlace) {
    DictationRig rig;
    appsim::DictationWorld& world = *rig.world;
    world.core.statusDocument = nlohmann::json{{"stt", {{"ready", true}, {"account", {{"email", "me@x.test"}}}}}};
    rig.loop.runFor(8);
    EXPECT_EQ(rig.app().lastSttReady, true);
    EXPECT_EQ(world.popover.email, "me@x.test");
    const std::string tooltip = world.statusItem.toolTip;

    world.core.statusDocument.reset();
    world.core.preferences.reset();
    rig.loop.runFor(16);
    EXPECT_EQ(rig.app().lastSttReady, true);
    EXPECT_EQ(world.popover.email, "me@x.test");
    EXPECT_EQ(world.statusItem.toolTip, tooltip);
    EXPECT_EQ(rig.app().sttProvider, "chatgpt_web");

    world.core.statusDocument = nlohmann::json{{"stt", {{"ready", false}}}};
    rig.loop.runFor(8);
    EXPECT_EQ(rig.app().lastSttReady, false);
    EXPECT_FALSE(world.popover.sttReady);
    EXPECT_EQ(world.statusItem.toolTip, "Veska — not signed in to ChatGPT");
    EXPECT_TRUE(world.statusItem.badge);
}

TEST(StatusRefresh, PollsTheCoreEveryEightSeconds) {
    DictationRig rig;
    appsim::DictationWorld& world = *rig.world;
    const int before = world.core.statusCalls;
    rig.loop.runFor(80);
    EXPECT_EQ(world.core.statusCalls, before + 10);
}

TEST(GrokState, ACookieCountsUnlessGrokRejectedTheSession) {
    DictationRig rig;
    appsim::DictationWorld& world = *rig.world;
    EXPECT_EQ(rig.app().grokSignedIn, std::nullopt);
    world.grok.session = true;
    rig.loop.runFor(8);
    EXPECT_EQ(rig.app().grokSignedIn, true);
    EXPECT_EQ(nlohmann::json::parse(*world.dashboard.appJSON)["grok"], true);
    rig.app().noteGrok(false);
    EXPECT_FALSE(world.popover.readReady);
    rig.loop.runFor(8);
    EXPECT_EQ(rig.app().grokSignedIn, false);
    world.prefs.set(UserDefaults::kTtsVoice, "rex the dog");
    rig.app().noteGrok(true);
    EXPECT_TRUE(world.popover.readReady);
    EXPECT_EQ(world.popover.voiceName, "Rex The Dog");
}

TEST(GrokState, ChatGPTSessionCookieShowsAsSignedIn) {
    DictationRig rig;
    appsim::DictationWorld& world = *rig.world;
    EXPECT_EQ(rig.app().chatgptSignedIn, false);
    sessionCookie(world);
    rig.loop.runFor(8);
    EXPECT_EQ(rig.app().chatgptSignedIn, true);
    EXPECT_EQ(nlohmann::json::parse(*world.dashboard.appJSON)["chatgpt"], true);
}

TEST(Permissions, MenuAndPopoverFollowTheDesktop) {
    DictationRig rig({.inputMonitoring = false});
    appsim::DictationWorld& world = *rig.world;
    EXPECT_EQ(world.popover.missingPerms, 1);
    EXPECT_FALSE(world.popover.imOK);
    EXPECT_EQ(world.statusItem.toolTip, "1 permission(s) missing — open to set up");
    rig.desktop.permissions().setGranted(ports::Permission::inputMonitoring, true);
    rig.loop.runFor(3);
    EXPECT_EQ(world.popover.missingPerms, 0);
    EXPECT_EQ(world.statusItem.toolTip, "Veska — tap or hold fn to dictate · Esc cancels");
    EXPECT_FALSE(world.statusItem.badge);
}

}  // namespace
}  // namespace veska::testing
