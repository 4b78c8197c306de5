// The sign-in windows, the settings dashboard (its address, state and links), the
// permissions window and the dashboard's AI test.
#include "core/ai/TaggedTranslation.h"
#include "core/ai/Translator.h"
#include "core/app/AppLink.h"
#include "core/app/AppState.h"
#include "core/app/UserDefaults.h"
#include "core/ui/AppStrings.h"

namespace veska {

using Kind = HUDState::Kind;

namespace {

/// The fixed samples of the dashboard's AI test.
constexpr char kTranslateSample[] = "Xin chào, hôm nay bạn khỏe không?";
constexpr char kFixSample[] = "ờ hôm nay em đã đã gửi báo cáo cho anh rồi";
constexpr char kWriteContext[] = "chào anh, em gửi báo cáo tuần này";

[[nodiscard]] std::string flag(bool value) { return value ? "1" : "0"; }

}  // namespace

// ---- sign-in windows --------------------------------------------------------------------------

void AppState::openChatGPTLogin() {
    std::weak_ptr<AppState*> weak = self_;
    ChatGPTLoginWindow& window = env_.chatgptLogin;
    window.onSuccess = [weak](const std::string& token, const std::optional<nlohmann::json>&) {
        auto self = weak.lock();
        if (!self) return;
        AppState& app = **self;
        app.scope_.start(app.env_.main, app.chatGPTLoggedIn(token));
    };
    window.onCancel = nullptr;
    window.show(false);
}

rt::Task<void> AppState::chatGPTLoggedIn(std::string token) {
    const bool saved = co_await saveChatGPTToken(std::move(token));
    if (!saved) co_return;
    setHUD(Kind::done);
    co_await refreshMenuStatus();
    if (configDashboard.isOpen()) configDashboard.reload();
}

void AppState::openClaudeLogin(bool forceRelogin) {
    std::weak_ptr<AppState*> weak = self_;
    WebLoginWindow& window = env_.claudeLogin;
    window.onLoginSuccess = [weak] {
        auto self = weak.lock();
        if (!self) return;
        AppState& app = **self;
        app.scope_.start(app.env_.main, app.claudeLoggedIn());
    };
    window.onLoginCancel = nullptr;
    window.showLogin(forceRelogin);
}

rt::Task<void> AppState::claudeLoggedIn() {
    co_await savePrefsQuietly({{"stt", {{"provider", UserDefaults::kClaudeWeb}, {"claudeLoggedIn", true}}}});
    setSttProvider(UserDefaults::kClaudeWeb);
    setHUD(Kind::done);
    if (configDashboard.isOpen()) configDashboard.reload();
    // The account shown (and the readiness of the source) follows the new session at once.
    refreshClaudeAccount(true);
}

void AppState::openGrokLogin() {
    std::weak_ptr<AppState*> weak = self_;
    WebLoginWindow& window = env_.grokLogin;
    window.onLoginSuccess = [weak] {
        auto self = weak.lock();
        if (!self) return;
        (*self)->noteGrok(true);
        (*self)->setHUD(Kind::done);
    };
    window.onLoginCancel = nullptr;
    window.showLogin(false);
}

// ---- dashboard ---------------------------------------------------------------------------------

void AppState::openDashboard() { scope_.start(env_.main, showDashboard()); }

rt::Task<void> AppState::showDashboard() {
    co_await client.ensureCore();
    configDashboard.onDeepLink = postDeepLink();
    configDashboard.appJSON = appStateJSON().dump();
    configDashboard.show(dashboardURL());
}

std::function<void(const std::string&)> AppState::postDeepLink() {
    // The link arrives while the page decides a navigation: act once that has returned.
    std::weak_ptr<AppState*> weak = self_;
    rt::Executor* main = &env_.main;
    return [weak, main](const std::string& url) {
        main->post([weak, url] {
            if (auto self = weak.lock()) (*self)->handleDeepLink(url);
        });
    };
}

AppState::StatePairs AppState::appState() const {
    StatePairs pairs{{"v", env_.version},
                     {"out", dictationTarget ? dictationTarget->code : std::string()},
                     {"voice", voiceName()}};
    if (grokSignedIn) pairs.emplace_back("grok", flag(*grokSignedIn));
    if (chatgptSignedIn) pairs.emplace_back("gc", flag(*chatgptSignedIn));
    if (claudeAccount.kind == ClaudeAccount::Kind::signedIn && !claudeAccount.email.empty()) {
        pairs.emplace_back("ce", claudeAccount.email);
    }
    if (claudeAccount.kind != ClaudeAccount::Kind::unknown) {
        pairs.emplace_back("cr", flag(claudeAccount.kind == ClaudeAccount::Kind::signedIn));
    }
    return pairs;
}

std::string AppState::dashboardURL() const {
    std::string base = client.baseURL();
    while (base.ends_with('/')) base.pop_back();
    const PermissionsSnapshot snapshot = permissionsSnapshot();
    StatePairs items{{"mic", flag(snapshot.mic)}, {"ax", flag(snapshot.ax)}, {"im", flag(snapshot.im)}};
    for (auto& pair : appState()) items.push_back(std::move(pair));
    return base + "/?" + encodeQuery(items);
}

nlohmann::json AppState::appStateJSON() const {
    nlohmann::json state = nlohmann::json::object();
    for (const auto& [key, value] : appState()) {
        if (key == "v") state["version"] = value;
        if (key == "out") state["output"] = value;
        if (key == "voice") state["voice"] = value;
        if (key == "grok") state["grok"] = value == "1";
        if (key == "gc") state["chatgpt"] = value == "1";
        if (key == "ce") state["claudeEmail"] = value;
        if (key == "cr") state["claudeReady"] = value == "1";
    }
    state["sttProvider"] = sttProvider;
    return state;
}

void AppState::pushAppState() {
    configDashboard.appJSON = appStateJSON().dump();
    configDashboard.applyApp();
}

// ---- permissions -------------------------------------------------------------------------------

void AppState::openPermissions(bool force) {
    std::weak_ptr<AppState*> weak = self_;
    permissionsWindow.onAllGranted = [weak] {
        auto self = weak.lock();
        if (!self) return;
        (*self)->refreshPermissionsMenu();
        (*self)->setHUD(Kind::done);
    };
    permissionsWindow.show(force);
}

// ---- links ------------------------------------------------------------------------------------

void AppState::handleExternalURL(const std::string& url) {
    const std::string command = AppLink::parse(url).host;
    if (command == "config" || command == "settings") {
        openDashboard();
        return;
    }
    if ((command == "cancel" || command == "stop") && isActiveWork()) cancelAll();
}

void AppState::handleDeepLink(const std::string& url) {
    const AppLink link = AppLink::parse(url);
    const std::string command = link.command();
    if (command == "login" || command == "chatgpt" || command == "auth") return openChatGPTLogin();
    if (command == "claude-login" || command == "claude" || command == "claudeai") return openClaudeLogin(false);
    if (command == "claude-switch") return openClaudeLogin(true);
    if (command == "config" || command == "settings") return openDashboard();
    if (command == "cancel" || command == "stop") {
        if (isActiveWork()) cancelAll();
        return;
    }
    if (command == "grok-login" || command == "grok") return openGrokLogin();
    if (command == "output") return setDictationOutput(TranslateLang::find(link.item("lang")));
    if (command == "ai-test") scope_.start(env_.main, runAITest(link.item("task").value_or("translate")));
}

// ---- AI test ----------------------------------------------------------------------------------

rt::Task<void> AppState::runAITest(std::string task) {
    std::optional<AITask> aiTask;
    if (task == "translate") aiTask = AITask::translate;
    if (task == "fix") aiTask = AITask::fix;
    if (task == "write") aiTask = AITask::write;
    if (!aiTask) co_return;
    const double started = env_.main.now();
    std::optional<std::string> error;
    try {
        if (*aiTask == AITask::translate) {
            (void)co_await Translator::translate(kTranslateSample, TranslateLang{"en", "English", "English"},
                                                 Translator::Style::reading, false, std::nullopt, sessions());
        } else if (*aiTask == AITask::fix) {
            (void)co_await Translator::fix(kFixSample, Translator::FixKind::selection, Translator::WriteMode::normal,
                                           sessions());
        } else {
            (void)co_await Translator::compose(kFixSample, std::string(kWriteContext), std::nullopt,
                                               Translator::WriteMode::normal, sessions());
        }
    } catch (const rt::Cancelled&) {
        throw;
    } catch (...) {
        error = AppStrings::translateMessage(std::current_exception());
    }
    nlohmann::json report{{"task", task},
                          {"ms", static_cast<long long>((env_.main.now() - started) * 1000 + 0.5)},
                          {"model", std::string(rawValue(env_.ai.source(*aiTask)))}};
    if (error) report["error"] = *error;
    nlohmann::json state = appStateJSON();
    state["aiTest"] = std::move(report);
    configDashboard.appJSON = state.dump();
    configDashboard.applyApp();
}

}  // namespace veska
