#include "core/app/AppState.h"

#include "core/app/UserDefaults.h"
#include "core/ui/AppStrings.h"
#include "core/ui/AppStringsDictation.h"

namespace veska {

using Kind = HUDState::Kind;

AppState::AppState(AppEnvironment env)
    : client(env.client),
      mic(env.mic),
      configDashboard(env.configDashboard),
      permissionsWindow(env.permissionsWindow),
      menuBar(env.menuBar),
      sttProvider(UserDefaults::sttProvider(env.prefs)),
      dictationTarget(UserDefaults::dictationOutput(env.prefs)),
      autoFix(UserDefaults::autoFix(env.prefs)),
      env_(env) {}

AppState::~AppState() {
    levelTimer.cancel();
    if (claudeVoice) claudeVoice->cancel();
}

bool AppState::micGranted() const { return env_.permissions.granted(ports::Permission::microphone); }
bool AppState::accessibilityGranted() const { return env_.permissions.granted(ports::Permission::accessibility); }
bool AppState::inputMonitoringGranted() const { return env_.selection.hasInputMonitoring(); }

bool AppState::isActiveWork() const {
    return busy || isRecording() || claudeVoice != nullptr || reading || running(screenTask) || running(sttStarting);
}

bool AppState::needsSetupBadge() const {
    return !micGranted() || !accessibilityGranted() || !env_.selection.hasInputMonitoring() ||
           lastSttReady == std::optional<bool>(false) || env_.updater.updateAvailable();
}

void AppState::setHUD(const HUDState& state) {
    env_.hud.show(state);
    menuBar.setIcon(std::string(hudSymbol(state)), needsSetupBadge());
    const Kind kind = state.kind();
    const bool canStop = isActiveWork() || kind == Kind::listening || kind == Kind::transcribing ||
                         kind == Kind::readying || kind == Kind::speaking;
    menuBar.setCancelEnabled(canStop);
    env_.popover.setCanStop(canStop);
    const double delay = state.autoHideSeconds();
    if (delay <= 0 || busy || isRecording()) return;
    scheduleReturnToIdle(delay);
}

void AppState::scheduleReturnToIdle(double seconds) {
    std::weak_ptr<AppState*> weak = self_;
    env_.main
        .postAfter(seconds,
                   [weak] {
                       auto self = weak.lock();
                       if (!self) return;
                       AppState& app = **self;
                       if (app.busy || app.isRecording() || app.claudeVoice || app.reading ||
                           running(app.screenTask) || running(app.sttStarting)) {
                           return;
                       }
                       app.menuBar.setIcon(std::string(hudSymbol(HUDState::Kind::idle)), app.needsSetupBadge());
                       app.env_.popover.setCanStop(app.isActiveWork());
                   })
        .release();
}

void AppState::refreshCancelEntry() { menuBar.setCancelEnabled(isActiveWork()); }

void AppState::syncEscapeSwallow() {
    if (hotkeyMonitor == nullptr) return;
    hotkeyMonitor->setSwallowEscape(claudeVoice != nullptr || reading || env_.card.isVisible() ||
                                    running(screenTask) || running(sttStarting));
}

void AppState::suppressFn() {
    if (hotkeyMonitor != nullptr) hotkeyMonitor->suppressFn(kSuppressFnSeconds);
}

void AppState::clearTakeContext() {
    if (takeContext) takeContext->cancel();
    takeContext.reset();
}

// ---- settings ---------------------------------------------------------------------------------

void AppState::setSttProvider(const std::string& value) {
    const std::string normalized = UserDefaults::normalizeSttProvider(value);
    if (sttProvider == normalized && env_.prefs.string(UserDefaults::kSttProvider) == normalized) return;
    sttProvider = normalized;
    env_.prefs.set(UserDefaults::kSttProvider, normalized);
    pushAppState();
}

void AppState::setDictationOutput(const std::optional<TranslateLang>& lang) {
    dictationTarget = lang;
    env_.prefs.set(UserDefaults::kDictationOutput, lang ? lang->code : std::string());
    if (lang) env_.prefs.set(UserDefaults::kDictationOutputLast, lang->code);
    env_.popover.setOutput(lang);
    pushAppState();
    if (isActiveWork()) return;
    setHUD(HUDState::info(lang ? AppStrings::outputNotice(lang->native) : AppStrings::outputAsSpokenNotice()));
}

void AppState::toggleDictationOutput() {
    if (dictationTarget) {
        env_.prefs.set(UserDefaults::kDictationOutputLast, dictationTarget->code);
        setDictationOutput(std::nullopt);
        return;
    }
    auto last = TranslateLang::find(UserDefaults::dictationOutputLast(env_.prefs));
    setDictationOutput(last ? *last : TranslateLang{"en", "English", "English"});
}

void AppState::showDictationOutputMenu() {
    std::weak_ptr<AppState*> weak = self_;
    env_.languageMenu.show(dictationTarget, true, false, [weak](const std::optional<TranslateLang>& lang) {
        if (auto self = weak.lock()) (*self)->setDictationOutput(lang);
    });
}

void AppState::setWriteMode(Translator::WriteMode mode) {
    Translator::setCurrent(env_.prefs, mode);
    env_.popover.setWriteMode(std::string(Translator::rawValue(mode)));
    if (isActiveWork()) return;
    setHUD(HUDState::info(AppStrings::modeNotice(AppStrings::modeName(mode))));
}

void AppState::enableLaunchAtLoginIfNeeded() {
    if (!UserDefaults::launchLoginPrimed(env_.prefs)) {
        env_.prefs.set(UserDefaults::kLaunchLoginPrimed, true);
        if (env_.loginItem.status() != ports::LoginItemStatus::enabled) (void)registerLoginItem();
    }
    refreshLaunchAtLoginMenu();
}

bool AppState::registerLoginItem() {
    try {
        env_.loginItem.registerItem();
        return true;
    } catch (const std::exception&) {
        // Switching it on by ourselves is a courtesy: a refusal is not the user's concern.
        return false;
    }
}

void AppState::toggleLaunchAtLogin() {
    try {
        if (env_.loginItem.status() == ports::LoginItemStatus::enabled) {
            env_.loginItem.unregisterItem();
        } else {
            env_.loginItem.registerItem();
        }
    } catch (const std::exception& error) {
        setHUD(HUDState::error(AppStrings::loginItemFailed(error.what())));
        return;
    }
    refreshLaunchAtLoginMenu();
}

void AppState::refreshLaunchAtLoginMenu() {
    const bool on = env_.loginItem.status() == ports::LoginItemStatus::enabled;
    menuBar.setLaunchAtLoginChecked(on);
    env_.popover.setLaunchAtLogin(on);
}

}  // namespace veska
