#include "core/app/AppDelegate.h"

#include "core/app/UserDefaults.h"
#include "core/ui/AppStrings.h"

namespace veska {

AppDelegate::AppDelegate(AppEnvironment env, ApplicationShell& shell, const DesktopServices& desktop,
                         const ports::SystemLanguages& systemLanguages)
    : env_(env), shell_(shell), systemLanguages_(systemLanguages), hotkeys_(std::make_unique<HotKeyMonitor>(desktop)) {}

AppDelegate::~AppDelegate() {
    // The monitor's callbacks reach the controller: silence them before either goes.
    watchdog_.cancel();
    hotkeys_.reset();
}

void AppDelegate::applicationDidFinishLaunching() {
    shell_.setAccessory();
    appState_ = std::make_unique<AppState>(env_);
    AppState& app = *appState_;
    env_.menuBar.install();
    app.refreshLaunchAtLoginMenu();
    env_.status.refreshPermissionsMenu();
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
    if (app.sttProvider == UserDefaults::kClaudeWeb && !app.claudeChecking) env_.status.refreshClaudeAccount(true);
    co_await env_.client.ensureCore();
    std::optional<nlohmann::json> prefs;
    try {
        prefs = co_await env_.client.prefs();
    } catch (const std::exception&) {
        // Without the core's preferences the interface keeps its default language.
        prefs.reset();
    }
    if (prefs) {
        AppStrings::setLocale(prefs, systemLanguages_);
        env_.popover.setOutput(app.dictationTarget);
        if (env_.updater.canNotify()) env_.updater.registerNotificationCategories();
    }
    env_.updater.startChecking();
    env_.status.startStatusPolling();
    app.enableLaunchAtLoginIfNeeded();
    env_.status.refreshPermissionsMenu();
    checkPermissionsOnStart();
    std::weak_ptr<AppDelegate*> weak = self_;
    watchdog_ = env_.main.every(kWatchdogSeconds, [weak] {
        if (auto self = weak.lock()) (*self)->watchdog();
    });
}

void AppDelegate::checkPermissionsOnStart() {
    const bool mic = env_.permissions.granted(ports::Permission::microphone);
    const bool ax = env_.permissions.granted(ports::Permission::accessibility);
    const bool im = env_.selection.hasInputMonitoring();
    const bool openedOnce = UserDefaults::openedOnce(env_.prefs);
    if (openedOnce && mic && ax && im) return;
    std::weak_ptr<AppDelegate*> weak = self_;
    env_.permissionsWindow.onAllGranted = [weak] {
        auto self = weak.lock();
        if (!self || !(*self)->appState_) return;
        (*self)->env_.status.refreshPermissionsMenu();
        (*self)->appState_->setHUD(HUDState::Kind::done);
    };
    env_.permissionsWindow.show(true);
    env_.status.refreshPermissionsMenu();
    if (openedOnce) return;
    hop([this](AppState&) { env_.status.openDashboard(); });
    env_.prefs.set(UserDefaults::kOpenedOnce, true);
}

void AppDelegate::watchdog() {
    env_.status.refreshPermissionsMenu();
    hotkeys_->rearmTap();
}

void AppDelegate::quit() { scope_.start(env_.main, quitTask()); }

rt::Task<void> AppDelegate::quitTask() {
    if (appState_) appState_->cancelAll();
    shell_.terminate();
    co_return;
}

}  // namespace veska
