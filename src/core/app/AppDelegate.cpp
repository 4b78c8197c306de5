#include "core/app/AppDelegate.h"

#include "core/app/UserDefaults.h"
#include "core/ui/AppStrings.h"

namespace veska {

AppDelegate::AppDelegate(AppEnvironment env, ApplicationShell& shell, const DesktopServices& desktop)
    : env_(env), shell_(shell), hotkeys_(std::make_unique<HotKeyMonitor>(desktop)) {}

AppDelegate::~AppDelegate() {
    // The monitor's callbacks reach the controller: silence them before either goes.
    watchdog_.cancel();
    env_.menuBar.onAction = nullptr;
    hotkeys_.reset();
}

void AppDelegate::applicationDidFinishLaunching() {
    shell_.setAccessory();
    appState_ = std::make_unique<AppState>(env_);
    AppState& app = *appState_;
    std::weak_ptr<AppDelegate*> weak = self_;
    env_.menuBar.onAction = [weak](StatusAction action) {
        if (auto self = weak.lock()) (*self)->perform(action);
    };
    env_.menuBar.install();
    app.refreshLaunchAtLoginMenu();
    app.refreshPermissionsMenu();
    app.hotkeyMonitor = hotkeys_.get();
    wireGestures();
    wirePanels();
    hotkeys_->start();
    env_.popover.setOutput(app.dictationTarget);
    if (env_.updater.canNotify()) {
        shell_.installNotificationDelegate();
        env_.updater.registerNotificationCategories();
    }
    shell_.provideServices();
    startup_ = scope_.spawn(env_.main, startupTask());
}

void AppDelegate::hop(std::function<void(AppState&)> action) {
    std::weak_ptr<AppDelegate*> weak = self_;
    env_.main.post([weak, action = std::move(action)] {
        auto self = weak.lock();
        if (!self || !(*self)->appState_) return;
        action(*(*self)->appState_);
    });
}

void AppDelegate::wireGestures() {
    HotKeyMonitor& keys = *hotkeys_;
    keys.onSTTToggle = [this] { hop([](AppState& app) { app.toggleSTT(); }); };
    keys.onSTTHoldStart = [this] {
        hop([](AppState& app) {
            if (app.isRecording() || app.claudeVoice || app.busy || app.isStarting()) return;
            app.startSTT();
        });
    };
    keys.onSTTHoldEnd = [this] { hop([](AppState& app) { app.holdSTTEnd(); }); };
    keys.onRead = [this] { hop([this](AppState&) { env_.actions.readSelection(); }); };
    keys.onTranslate = [this] { hop([this](AppState&) { env_.actions.translateSelection(); }); };
    keys.onToggleOutput = [this] { hop([](AppState& app) { app.toggleDictationOutput(); }); };
    keys.onFixSelection = [this] { hop([this](AppState&) { env_.actions.fixSelection(); }); };
    keys.onCycleMode = [this] {
        hop([this](AppState& app) { app.setWriteMode(Translator::next(Translator::current(env_.prefs))); });
    };
    keys.onCancel = [this] {
        hop([this](AppState& app) {
            if (app.isActiveWork()) {
                app.cancelAll();
                return;
            }
            if (!env_.card.isVisible()) return;
            env_.actions.cancelTranslation();
            env_.card.close();
            app.syncEscapeSwallow();
        });
    };
}

void AppDelegate::wirePanels() {
    FloatingHUD& hud = env_.hud;
    hud.onTogglePause = [this] {
        hop([this](AppState& app) {
            if (!app.reading) return;
            env_.hud.setPaused(env_.actions.togglePause());
        });
    };
    hud.onCycleRate = [this] { hop([this](AppState&) { env_.actions.cycleReadingRate(); }); };
    hud.onStopReading = [this] { hop([](AppState& app) { app.cancelAll(); }); };

    TranslationCardWindow& card = env_.card;
    card.onListenOriginal = [this] { hop([this](AppState&) { env_.actions.listenOriginal(); }); };
    card.onListenTranslation = [this] { hop([this](AppState&) { env_.actions.listenTranslation(); }); };
    card.onReplace = [this] { hop([this](AppState&) { env_.actions.replaceWithTranslation(); }); };
    card.onSignIn = [this] { hop([this](AppState&) { env_.actions.signInForTranslation(); }); };
    card.onPickTarget = [this] { hop([this](AppState&) { env_.actions.showTranslateTargetMenu(); }); };
    card.onClose = [this] {
        hop([this](AppState& app) {
            if (app.isActiveWork()) app.cancelAll();
            env_.actions.cancelTranslation();
            env_.card.close();
            app.syncEscapeSwallow();
        });
    };
}

rt::Task<void> AppDelegate::startupTask() {
    AppState& app = *appState_;
    if (app.sttProvider == UserDefaults::kClaudeWeb && !app.claudeChecking) app.refreshClaudeAccount(true);
    // A permission learnt asynchronously (the microphone, where a device must open) is learnt
    // while the core starts: the setup badge follows it as soon as it is known.
    scope_.start(env_.main, refreshPermissionsWhenSettled());
    co_await env_.client.ensureCore();
    std::optional<nlohmann::json> prefs;
    try {
        prefs = co_await env_.client.prefs();
    } catch (const std::exception&) {
        // Without the core's preferences the interface keeps its default language.
        prefs.reset();
    }
    if (prefs) {
        AppStrings::setLocale(prefs, env_.systemLanguages);
        env_.popover.setOutput(app.dictationTarget);
        if (env_.updater.canNotify()) env_.updater.registerNotificationCategories();
    }
    env_.updater.startChecking();
    app.startStatusPolling();
    app.enableLaunchAtLoginIfNeeded();
    // The permission check must not take a state still being learnt for a missing permission.
    co_await env_.permissions.settled();
    app.refreshPermissionsMenu();
    checkPermissionsOnStart();
    std::weak_ptr<AppDelegate*> weak = self_;
    watchdog_ = env_.main.every(kWatchdogSeconds, [weak] {
        if (auto self = weak.lock()) (*self)->watchdog();
    });
}

rt::Task<void> AppDelegate::refreshPermissionsWhenSettled() {
    co_await env_.permissions.settled();
    if (appState_) appState_->refreshPermissionsMenu();
}

void AppDelegate::checkPermissionsOnStart() {
    const bool mic = env_.permissions.granted(ports::Permission::microphone);
    const bool ax = env_.permissions.granted(ports::Permission::accessibility);
    const bool im = env_.selection.hasInputMonitoring();
    const bool openedOnce = UserDefaults::openedOnce(env_.prefs);
    if (openedOnce && mic && ax && im) return;
    appState_->openPermissions(true);
    appState_->refreshPermissionsMenu();
    if (openedOnce) return;
    hop([](AppState& app) { app.openDashboard(); });
    env_.prefs.set(UserDefaults::kOpenedOnce, true);
}

void AppDelegate::watchdog() {
    if (appState_) appState_->refreshPermissionsMenu();
    hotkeys_->rearmTap();
}

void AppDelegate::quit() { scope_.start(env_.main, quitTask()); }

void AppDelegate::perform(StatusAction action) {
    if (action == StatusAction::quit) {
        quit();
        return;
    }
    if (!appState_) return;
    AppState& app = *appState_;
    switch (action) {
        case StatusAction::cancelWork: app.cancelAll(); return;
        case StatusAction::openDash: app.openDashboard(); return;
        case StatusAction::openPerms: app.openPermissions(true); return;
        case StatusAction::loginGPT: app.openChatGPTLogin(); return;
        case StatusAction::toggleLaunchLogin: app.toggleLaunchAtLogin(); return;
        case StatusAction::quit: return;
    }
}

void AppDelegate::performService(std::string_view service, const std::string& text) {
    if (!appState_) return;
    if (service == "translateText") env_.actions.translateFromService(text);
    if (service == "readAloud") env_.actions.readText(text);
}

void AppDelegate::notificationResponse(std::string_view actionIdentifier) {
    if (actionIdentifier == kInstallUpdateAction) {
        env_.updater.install();
        return;
    }
    if (actionIdentifier == kDefaultNotificationAction) env_.menuBar.showPopover();
}

void AppDelegate::openURLs(const std::vector<std::string>& urls) {
    if (!appState_) return;
    for (const std::string& url : urls) appState_->handleExternalURL(url);
}

rt::Task<void> AppDelegate::quitTask() {
    if (appState_) appState_->cancelAll();
    shell_.terminate();
    co_return;
}

}  // namespace veska
