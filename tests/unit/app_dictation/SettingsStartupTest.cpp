// Start-up, the watchdog, launch at login, quitting, and the settings dictation uses.
#include "DictationRig.h"

namespace veska::testing {
namespace {

TEST(Startup, RunsItsStepsAndRemembersTheFirstRun) {
    rt::VirtualLoop loop;
    sim::SimDesktop desktop{loop.main()};
    for (auto p : {ports::Permission::microphone, ports::Permission::accessibility, ports::Permission::inputMonitoring}) {
        desktop.permissions().setGranted(p, true);
    }
    appsim::DictationWorld first(loop, desktop);
    first.core.preferences = nlohmann::json{{"locale", "en"}};
    first.launch();
    EXPECT_TRUE(first.shell.accessory);
    EXPECT_TRUE(first.shell.servicesProvided);
    EXPECT_TRUE(first.statusItem.shown);
    EXPECT_EQ(first.statusItem.toolTip, AppStrings::menuTooltipDefault());
    loop.runFor(1);
    EXPECT_TRUE(first.delegate().startupDone());
    // Once for start-up, once more before the dashboard opens.
    EXPECT_EQ(first.core.ensureCalls, 2);
    EXPECT_EQ(first.popover.output, first.app().dictationTarget);
    EXPECT_EQ(first.updater.checksStarted, 1);
    EXPECT_GE(first.core.statusCalls, 1);
    EXPECT_EQ(first.claude.accountChecks, 1);
    // Once started, the status is polled on the timer.
    const int polled = first.core.statusCalls;
    loop.runFor(AppState::kStatusPollSeconds);
    EXPECT_EQ(first.core.statusCalls, polled + 1);
    // All granted, but the first run still shows the window once and opens the dashboard.
    EXPECT_EQ(first.permissionsWindow.shows, 1);
    EXPECT_EQ(first.dashboardView.loads.size(), 1U);
    EXPECT_EQ(first.prefs.boolean(UserDefaults::kOpenedOnce), true);
    EXPECT_EQ(first.loginItem.status(), ports::LoginItemStatus::enabled);
    EXPECT_TRUE(first.statusItem.launchAtLoginChecked);

    appsim::DictationWorld second(loop, desktop);
    second.prefs.set(UserDefaults::kOpenedOnce, true);
    second.launch();
    loop.runFor(1);
    EXPECT_EQ(second.permissionsWindow.shows, 0);
    EXPECT_TRUE(second.dashboardView.loads.empty());
}

TEST(Startup, MissingPermissionShowsTheWindowOnLaterRunsToo) {
    rt::VirtualLoop loop;
    sim::SimDesktop desktop{loop.main()};
    desktop.permissions().setGranted(ports::Permission::microphone, true);
    desktop.permissions().setGranted(ports::Permission::accessibility, true);
    desktop.permissions().setGranted(ports::Permission::inputMonitoring, false);
    appsim::DictationWorld world(loop, desktop);
    world.prefs.set(UserDefaults::kOpenedOnce, true);
    world.core.preferences = std::nullopt;  // the core does not answer: start-up goes on
    world.launch();
    loop.runFor(1);
    EXPECT_TRUE(world.delegate().startupDone());
    EXPECT_EQ(world.permissionsWindow.shows, 1);
    EXPECT_TRUE(world.dashboardView.loads.empty());
    EXPECT_EQ(world.updater.checksStarted, 1);
}

TEST(Startup, PermissionsLearntLaterAreAwaitedBeforeTheCheck) {
    // The microphone's state comes only once a device has opened (0.5 s here); the core takes
    // 0.1 s. The check waits for the answer instead of taking "not yet known" for "missing",
    // and the badge follows the answer as soon as it comes.
    struct Row {
        ports::PermissionStatus learnt;
        int windowShows;
        bool badgeAfter;
    };
    for (const Row& row : {Row{ports::PermissionStatus::granted, 0, false}, Row{ports::PermissionStatus::denied, 1, true}}) {
        rt::VirtualLoop loop;
        sim::SimDesktop desktop{loop.main()};
        desktop.permissions().setGranted(ports::Permission::accessibility, true);
        desktop.permissions().setGranted(ports::Permission::inputMonitoring, true);
        desktop.permissions().learnAfter(ports::Permission::microphone, row.learnt, 0.5);
        appsim::DictationWorld world(loop, desktop);
        world.prefs.set(UserDefaults::kOpenedOnce, true);
        world.launch();
        EXPECT_TRUE(world.statusItem.badge);  // not known yet
        loop.runFor(0.3);
        EXPECT_EQ(world.permissionsWindow.shows, 0);
        EXPECT_FALSE(world.delegate().startupDone());
        loop.runFor(0.3);
        EXPECT_TRUE(world.delegate().startupDone());
        EXPECT_EQ(world.permissionsWindow.shows, row.windowShows);
        EXPECT_EQ(world.statusItem.badge, row.badgeAfter);
    }
}

TEST(Startup, TheBadgeFollowsAPermissionLearntWhileTheCoreStillStarts) {
    rt::VirtualLoop loop;
    sim::SimDesktop desktop{loop.main()};
    desktop.permissions().setGranted(ports::Permission::accessibility, true);
    desktop.permissions().setGranted(ports::Permission::inputMonitoring, true);
    desktop.permissions().learnAfter(ports::Permission::microphone, ports::PermissionStatus::granted, 0.05);
    appsim::DictationWorld world(loop, desktop);
    world.prefs.set(UserDefaults::kOpenedOnce, true);
    world.launch();
    EXPECT_TRUE(world.statusItem.badge);
    loop.runFor(0.07);  // the core (0.1 s) has not answered yet
    EXPECT_EQ(world.core.ensureCalls, 1);
    EXPECT_FALSE(world.delegate().startupDone());
    EXPECT_FALSE(world.statusItem.badge);
}

TEST(Startup, WatchdogCreatesTheTapOnceInputMonitoringIsGranted) {
    DictationRig rig({.inputMonitoring = false});
    EXPECT_FALSE(rig.world->delegate().hotkeys().hasTap());
    rig.desktop.permissions().setGranted(ports::Permission::inputMonitoring, true);
    rig.loop.runFor(3.1);
    EXPECT_TRUE(rig.world->delegate().hotkeys().hasTap());
    EXPECT_TRUE(rig.world->delegate().hotkeys().tapSwallows());
}

TEST(Startup, QuitCancelsWorkThenTerminates) {
    DictationRig rig;
    rig.tap();
    ASSERT_TRUE(rig.app().isRecording());
    rig.world->delegate().quit();
    rig.loop.runFor(0.1);
    EXPECT_FALSE(rig.app().isRecording());
    EXPECT_TRUE(rig.world->mic.files.empty());
    EXPECT_TRUE(rig.world->shell.terminated);
}

TEST(LaunchAtLogin, PrimedOnceAndNeverAgainAfterTheUserSwitchesItOff) {
    DictationRig rig;
    EXPECT_EQ(rig.world->loginItem.registrations(), 1);
    rig.app().toggleLaunchAtLogin();
    EXPECT_EQ(rig.world->loginItem.status(), ports::LoginItemStatus::notRegistered);
    EXPECT_FALSE(rig.world->statusItem.launchAtLoginChecked);
    EXPECT_FALSE(rig.world->popover.launchAtLogin);
    rig.app().enableLaunchAtLoginIfNeeded();
    EXPECT_EQ(rig.world->loginItem.registrations(), 1);
    EXPECT_EQ(rig.world->loginItem.status(), ports::LoginItemStatus::notRegistered);
}

TEST(LaunchAtLogin, FailedAutomaticRegistrationIsSilentAndAFailedToggleIsShown) {
    rt::VirtualLoop loop;
    sim::SimDesktop desktop{loop.main()};
    appsim::DictationWorld world(loop, desktop);
    world.core.preferences = nlohmann::json{{"locale", "en"}};
    world.loginItem.failWith("Operation not permitted");
    world.launch();
    loop.runFor(1);
    EXPECT_EQ(world.prefs.boolean(UserDefaults::kLaunchLoginPrimed), true);
    world.log.takeNew();
    world.app().toggleLaunchAtLogin();
    EXPECT_EQ(world.hud().state, HUDState::error("Login item: Operation not permitted"));
}

TEST(Settings, OutputToggleReturnsToTheLastLanguageOrEnglish) {
    DictationRig rig;
    rig.app().toggleDictationOutput();
    ASSERT_TRUE(rig.app().dictationTarget);
    EXPECT_EQ(rig.app().dictationTarget->code, "en");
    EXPECT_EQ(rig.world->hud().state, HUDState::info("Output: English"));
    rig.app().setDictationOutput(TranslateLang::find("ja"));
    rig.app().toggleDictationOutput();
    EXPECT_EQ(rig.app().dictationTarget, std::nullopt);
    EXPECT_EQ(rig.world->prefs.string(UserDefaults::kDictationOutput), "");
    EXPECT_EQ(rig.world->hud().state, HUDState::info("Output: As spoken"));
    rig.app().toggleDictationOutput();
    ASSERT_TRUE(rig.app().dictationTarget);
    EXPECT_EQ(rig.app().dictationTarget->code, "ja");
    EXPECT_EQ(rig.world->popover.output, rig.app().dictationTarget);
}

TEST(Settings, OutputNoticeIsVietnameseInVietnamese) {
    DictationRig rig({.english = false});
    rig.app().setDictationOutput(std::nullopt);
    EXPECT_EQ(rig.world->hud().state, HUDState::info("Chữ ra: Như lời nói"));
    rig.app().setDictationOutput(TranslateLang::find("vi"));
    EXPECT_EQ(rig.world->hud().state, HUDState::info("Chữ ra: Tiếng Việt"));
}

TEST(Settings, OutputMenuPicksIntoTheSetting) {
    DictationRig rig;
    rig.app().showDictationOutputMenu();
    ASSERT_TRUE(rig.world->languageMenu.open);
    EXPECT_TRUE(rig.world->languageMenu.shownAsSpoken);
    EXPECT_FALSE(rig.world->languageMenu.shownAuto);
    rig.world->languageMenu.choose(TranslateLang::find("de"));
    EXPECT_EQ(rig.world->prefs.string(UserDefaults::kDictationOutput), "de");
    EXPECT_EQ(rig.world->prefs.string(UserDefaults::kDictationOutputLast), "de");
}

TEST(Settings, ModeChordCyclesAndWraps) {
    DictationRig rig;
    const char* expected[] = {"prompt", "email", "normal"};
    for (const char* mode : expected) {
        rig.world->delegate().hotkeys().onCycleMode();
        rig.loop.runFor(0.01);
        EXPECT_EQ(rig.world->popover.writeMode, mode);
        EXPECT_EQ(Translator::rawValue(Translator::current(rig.world->prefs)), mode);
    }
    EXPECT_EQ(rig.world->hud().state, HUDState::info("Mode: Normal"));
}

TEST(Settings, NoticesAreNotShownWhileWorkRuns) {
    DictationRig rig;
    rig.tap();
    rig.app().setWriteMode(Translator::WriteMode::email);
    rig.app().setDictationOutput(std::nullopt);
    EXPECT_EQ(rig.world->hud().state.kind(), HUDState::Kind::listening);
}

TEST(Settings, SpeechSourceIsNormalisedAndPushedOnlyOnChange) {
    DictationRig rig;
    rig.world->dashboard.appJSON.reset();
    rig.app().setSttProvider("something else");
    EXPECT_EQ(rig.app().sttProvider, "claude_web");
    EXPECT_TRUE(rig.world->dashboard.appJSON);
    rig.world->dashboard.appJSON.reset();
    rig.app().setSttProvider("claude_web");
    EXPECT_FALSE(rig.world->dashboard.appJSON);
    rig.app().setSttProvider("chatgpt_web");
    EXPECT_EQ(rig.world->prefs.string(UserDefaults::kSttProvider), "chatgpt_web");
}

TEST(Settings, SetupBadgeFollowsPermissionsReadinessAndUpdates) {
    DictationRig rig;
    EXPECT_FALSE(rig.app().needsSetupBadge());
    rig.app().lastSttReady = false;
    EXPECT_TRUE(rig.app().needsSetupBadge());
    rig.app().lastSttReady = true;
    rig.world->updater.available = true;
    EXPECT_TRUE(rig.app().needsSetupBadge());
    rig.world->updater.available = false;
    rig.desktop.permissions().setGranted(ports::Permission::accessibility, false);
    rig.app().setHUD(HUDState::Kind::idle);
    EXPECT_TRUE(rig.world->statusItem.badge);
}

TEST(Settings, EscapeWithoutWorkClosesTheTranslationCard) {
    DictationRig rig;
    rig.world->card.visible = true;
    rig.world->delegate().hotkeys().onCancel();
    rig.loop.runFor(0.01);
    EXPECT_FALSE(rig.world->card.visible);
    EXPECT_EQ(rig.world->actions.calls["cancelTranslation"], 1);
}

}  // namespace
}  // namespace veska::testing
