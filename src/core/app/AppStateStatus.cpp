// The status refresh: preferences, speech-source readiness, Claude, Grok and ChatGPT sign-in,
// the ChatGPT token refresh, and the status item's tooltip and badge.
#include <cctype>

#include "core/app/AppState.h"
#include "core/app/UserDefaults.h"
#include "core/ui/AppStrings.h"
#include "text/Ascii.h"

namespace veska {

namespace {

/// `root`[`outer`][`inner`] when `root` and `root`[`outer`] are objects; nothing otherwise.
[[nodiscard]] const nlohmann::json* member(const nlohmann::json& root, const char* outer, const char* inner) {
    if (!root.is_object()) return nullptr;
    auto first = root.find(outer);
    if (first == root.end() || !first->is_object()) return nullptr;
    auto second = first->find(inner);
    return second == first->end() ? nullptr : &*second;
}

}  // namespace

void AppState::startStatusPolling() {
    std::weak_ptr<AppState*> weak = self_;
    statusTimer.cancel();
    statusTimer = env_.main.every(kStatusPollSeconds, [weak] {
        if (auto self = weak.lock()) (*self)->statusTick();
    });
    statusTick();
}

void AppState::statusTick() {
    // A refresh still waiting for the core (up to its time-out) is not stacked on.
    if (running(statusRefresh_)) return;
    statusRefresh_ = scope_.spawn(env_.main, refreshMenuStatus());
}

rt::Task<void> AppState::refreshMenuStatus() {
    std::optional<nlohmann::json> prefs;
    try {
        prefs = co_await client.prefs();
    } catch (const std::exception&) {
        // The previous state stays; the next tick asks again.
        prefs.reset();
    }
    std::optional<nlohmann::json> status;
    try {
        status = co_await client.status();
    } catch (const std::exception&) {
        status.reset();
    }
    if (prefs) applyStatusPrefs(*prefs);
    syncChatGPTRefresh();
    if (auto readiness = sttReadiness(status)) {
        lastSttReady = readiness->first;
        sttEmail = readiness->second;
    }
    const PermissionsSnapshot snapshot = permissionsSnapshot();
    const bool ready = sttReadyForDisplay();
    menuBar.updateStatus(snapshot, ready, sttProvider, isActiveWork());
    configDashboard.pushPerms(snapshot);
    env_.popover.setSpeech(ready, sttEmail, sttProvider);
    env_.popover.setPermissions(snapshot.mic, snapshot.ax, snapshot.im, snapshot.missingCount());
    co_await refreshGrokState();
}

void AppState::applyStatusPrefs(const nlohmann::json& prefs) {
    AppStrings::setLocale(prefs, env_.systemLanguages);
    if (env_.updater.canNotify()) env_.updater.registerNotificationCategories();
    env_.popover.setOutput(dictationTarget);
    if (const nlohmann::json* provider = member(prefs, "stt", "provider"); provider && provider->is_string()) {
        setSttProvider(provider->get<std::string>());
    }
    const nlohmann::json* flag = member(prefs, "stt", "claudeLoggedIn");
    claudePrefFlag = flag != nullptr && flag->is_boolean() && flag->get<bool>();
    if (claudeAccount.kind != ClaudeAccount::Kind::unknown && !claudeChecking) syncClaudePrefFlag();
}

std::optional<std::pair<bool, std::optional<std::string>>> AppState::sttReadiness(
    const std::optional<nlohmann::json>& status) {
    if (sttProvider == UserDefaults::kClaudeWeb) {
        refreshClaudeAccount(false);
        // While the account cannot be told (not checked yet, or the check was inconclusive)
        // the previous readiness stays.
        if (claudeAccount.kind == ClaudeAccount::Kind::unknown) return std::nullopt;
        const bool signedIn = claudeAccount.kind == ClaudeAccount::Kind::signedIn;
        std::optional<std::string> email;
        if (signedIn && !claudeAccount.email.empty()) email = claudeAccount.email;
        return std::pair{signedIn, email};
    }
    if (!status) return std::nullopt;
    const nlohmann::json* ready = member(*status, "stt", "ready");
    std::optional<std::string> email;
    if (const nlohmann::json* account = member(*status, "stt", "account"); account && account->is_object()) {
        auto found = account->find("email");
        if (found != account->end() && found->is_string()) email = found->get<std::string>();
    }
    return std::pair{ready != nullptr && ready->is_boolean() && ready->get<bool>(), email};
}

rt::Task<void> AppState::refreshGrokState() {
    const std::optional<bool> grokBefore = grokSignedIn;
    const std::optional<bool> chatgptBefore = chatgptSignedIn;
    const bool grokSession = co_await env_.grok.hasSession();
    if (grokSession) grokSignedIn = !grokRejected;
    chatgptSignedIn = co_await env_.chatgpt.hasSessionCookie();
    if (grokSignedIn != grokBefore || chatgptSignedIn != chatgptBefore) pushAppState();
}

void AppState::refreshClaudeAccount(bool force) {
    if (claudeChecking) return;
    if (!force && claudeCheckedAt && env_.main.now() < *claudeCheckedAt) return;
    claudeChecking = true;
    scope_.start(env_.main, checkClaudeAccount());
}

rt::Task<void> AppState::checkClaudeAccount() {
    ClaudeAccount account;
    try {
        account = co_await env_.claude.checkAccount();
    } catch (const rt::Cancelled&) {
        claudeChecking = false;
        throw;
    }
    claudeChecking = false;
    noteClaudeAccount(account);
}

void AppState::noteClaudeAccount(const ClaudeAccount& account) {
    const bool unknown = account.kind == ClaudeAccount::Kind::unknown;
    claudeCheckedAt = env_.main.now() + (unknown ? kClaudeUnknownRecheckSeconds : kClaudeRecheckSeconds);
    if (unknown) return;
    claudeAccount = account;
    syncClaudePrefFlag();
    pushAppState();
    if (sttProvider != UserDefaults::kClaudeWeb) return;
    // The speech source's readiness follows the answer without waiting for the next refresh.
    if (auto readiness = sttReadiness(std::nullopt)) {
        lastSttReady = readiness->first;
        sttEmail = readiness->second;
    }
    env_.popover.setSpeech(sttReadyForDisplay(), sttEmail, sttProvider);
    refreshPermissionsMenu();
}

void AppState::syncClaudePrefFlag() {
    const bool flag = claudeAccount.kind != ClaudeAccount::Kind::signedOut;
    if (claudePrefFlag == flag) return;
    claudePrefFlag = flag;
    scope_.start(env_.main, savePrefsQuietly({{"stt", {{"claudeLoggedIn", flag}}}}));
}

rt::Task<void> AppState::savePrefsQuietly(nlohmann::json prefs) {
    try {
        co_await client.savePrefs(std::move(prefs));
    } catch (const std::exception&) {
        // The next status refresh compares the flag again and rewrites it.
        claudePrefFlag.reset();
    }
}

void AppState::noteGrok(bool signedIn) {
    grokSignedIn = signedIn;
    grokRejected = !signedIn;
    env_.popover.setReading(signedIn, voiceName());
    pushAppState();
}

void AppState::syncChatGPTRefresh() {
    const bool chatgpt = sttProvider == UserDefaults::kChatGPTWeb;
    if (chatgpt && !chatgptRefreshOn) {
        chatgptRefreshOn = true;
        std::weak_ptr<AppState*> weak = self_;
        env_.chatgpt.startAutoRefresh(kChatGPTRefreshSeconds,
                                      [weak](const std::string& token, const std::optional<nlohmann::json>&) {
                                          auto self = weak.lock();
                                          if (!self) return;
                                          AppState& app = **self;
                                          app.scope_.start(app.env_.main, app.saveChatGPTToken(token));
                                      });
        return;
    }
    if (!chatgpt && chatgptRefreshOn) {
        chatgptRefreshOn = false;
        env_.chatgpt.stopAutoRefresh();
    }
}

rt::Task<bool> AppState::saveChatGPTToken(std::string token) {
    try {
        co_await client.saveSecrets({{"CHATGPT_ACCESS_TOKEN", std::move(token)}});
    } catch (const std::exception&) {
        setHUD(HUDState::error(AppStrings::saveTokenFailed()));
        co_return false;
    }
    co_return true;
}

std::string AppState::voiceName() const {
    std::string name = UserDefaults::ttsVoice(env_.prefs).value_or("eve");
    bool wordStart = true;
    for (char& c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (wordStart) c = text::asciiUpper(c);
        wordStart = std::isspace(byte) != 0;
    }
    return name;
}

bool AppState::sttReadyForDisplay() const {
    // Until a refresh has told, the source is not reported as signed out.
    return lastSttReady != std::optional<bool>(false);
}

PermissionsSnapshot AppState::permissionsSnapshot() const {
    return {micGranted(), accessibilityGranted(), inputMonitoringGranted()};
}

void AppState::refreshPermissionsMenu() {
    const PermissionsSnapshot snapshot = permissionsSnapshot();
    env_.popover.setPermissions(snapshot.mic, snapshot.ax, snapshot.im, snapshot.missingCount());
    menuBar.updateStatus(snapshot, sttReadyForDisplay(), sttProvider, isActiveWork());
}

}  // namespace veska
