// The single controller: runs every dictation from the gesture to the inserted text, reports
// progress through the HUD and the menu-bar icon, and holds the settings dictation uses.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/ai/TranslateLang.h"
#include "core/ai/WriteMode.h"
#include "core/app/AppCollaborators.h"
#include "core/web/ChatGPTSession.h"
#include "core/desktop/HotKeyMonitor.h"
#include "core/desktop/LiveTyper.h"
#include "core/desktop/SelectionService.h"
#include "core/ui/FloatingHUD.h"
#include "core/ui/HUDState.h"
#include "ports/LoginItem.h"
#include "ports/Permissions.h"
#include "ports/Preferences.h"
#include "ports/SystemLanguages.h"
#include "ports/Workspace.h"
#include "runtime/Executor.h"
#include "runtime/Spawn.h"
#include "runtime/Task.h"

namespace veska {

/// Everything the controller works through. All of it outlives the controller.
struct AppEnvironment {
    rt::Executor& main;
    ports::Preferences& prefs;
    ports::Permissions& permissions;
    ports::Workspace& workspace;
    ports::Pasteboard& pasteboard;
    ports::LoginItem& loginItem;
    SelectionService& selection;
    FloatingHUD& hud;
    LocalCore& client;
    MicRecorder& mic;
    ClaudeWeb& claude;
    AIEngines& ai;
    StatusMenu& menuBar;
    PopoverModel& popover;
    PermissionsWindow& permissionsWindow;
    DashboardWindow& configDashboard;
    TranslationCardWindow& card;
    LanguageMenu& languageMenu;
    SelectionActions& actions;
    UpdaterHooks& updater;
    GrokWeb& grok;
    ChatGPTSession& chatgpt;
    ChatGPTLoginWindow& chatgptLogin;
    WebLoginWindow& claudeLogin;
    WebLoginWindow& grokLogin;
    const ports::SystemLanguages& systemLanguages;
    /// The application's version ("2.4.1").
    std::string version;
};

/// The compose context of a take: the text the AI reads, and whether it was cut to the limit.
struct ComposeContext {
    std::string text;
    bool cut = false;

    bool operator==(const ComposeContext&) const = default;
};

/// The result of an AI step: `failed` means the text is the spoken text unchanged.
struct AIStepResult {
    std::string text;
    bool failed = false;
};

/// The one controller of the process. Lives on the main executor for the whole process; every
/// operation runs there. Owns one cancellable task per kind of job (`workTask`, `sttStarting`,
/// `takeContext`…); starting a job of a kind cancels the old one, and `userAction` lets a
/// resumed task see that the user has moved on. Its tasks live in its scope, so none runs after
/// it is gone.
class AppState {
public:
    /// The compose context capture, shared by the take that started it and the steps reading it.
    using ContextTask = std::shared_ptr<rt::JoinHandle<std::optional<ComposeContext>>>;

    /// How long a translation is remembered as compose context, in seconds.
    static constexpr double kLastTranslatedSeconds = 1200;
    /// The most user-perceived characters compose reads of its context.
    static constexpr std::size_t kContextLimit = 15'000;
    /// How long fn stays deaf after text was inserted.
    static constexpr double kSuppressFnSeconds = 0.8;
    /// The pause before a finished ChatGPT take's text is inserted.
    static constexpr double kInsertDelaySeconds = 0.2;
    static constexpr double kLevelMeterSeconds = 0.06;

    /// Reads the configuration and the user defaults.
    explicit AppState(AppEnvironment env);
    AppState(const AppState&) = delete;
    AppState& operator=(const AppState&) = delete;
    ~AppState();

    // ---- fields, in the controller's order --------------------------------------------------
    LocalCore& client;
    MicRecorder& mic;
    DashboardWindow& configDashboard;
    PermissionsWindow& permissionsWindow;
    StatusMenu& menuBar;
    bool busy = false;
    rt::Timer statusTimer;
    rt::JoinHandle<void> workTask;
    std::optional<ports::RunningApp> sttTargetApp;
    std::shared_ptr<VoiceStream> claudeVoice;
    std::shared_ptr<LiveTyper> liveTyper;
    bool claudeFinishing = false;
    std::string claudeText;
    bool reading = false;
    std::optional<bool> grokSignedIn;
    std::optional<bool> chatgptSignedIn;
    ClaudeAccount claudeAccount;
    bool grokRejected = false;
    std::uint64_t userAction = 0;
    rt::JoinHandle<void> sttStarting;
    std::optional<double> claudeCheckedAt;
    bool claudeChecking = false;
    std::optional<bool> claudePrefFlag;
    bool chatgptRefreshOn = false;
    std::string coreSource = "none";
    HotKeyMonitor* hotkeyMonitor = nullptr;
    std::string sttProvider;
    std::optional<bool> lastSttReady;
    std::optional<TranslateLang> dictationTarget;
    std::optional<TranslateLang> takeTarget;
    bool takeCompose = false;
    bool takeFix = false;
    Translator::WriteMode takeMode = Translator::WriteMode::normal;
    bool autoFix = false;
    ContextTask takeContext;
    bool composeContextCut = false;
    rt::JoinHandle<void> screenTask;
    /// The last translation shown, with its wall-clock time.
    std::optional<std::pair<std::string, double>> lastTranslated;
    std::optional<ports::RunningApp> translateSourceApp;
    rt::JoinHandle<void> translateTask;
    std::optional<TranslateLang> translateTarget;
    std::optional<std::string> translateMarkdown;
    rt::Timer levelTimer;
    /// The account shown for the speech source (the ChatGPT status document's, or Claude's).
    std::optional<std::string> sttEmail;

    // ---- derived values ------------------------------------------------------------------------
    [[nodiscard]] bool isActiveWork() const;
    [[nodiscard]] bool needsSetupBadge() const;
    [[nodiscard]] bool isRecording() const { return mic.isRecording(); }
    [[nodiscard]] bool isStarting() const { return running(sttStarting); }

    // ---- dictation -----------------------------------------------------------------------------
    void setHUD(const HUDState& state);
    void toggleSTT();
    void holdSTTEnd();
    void startSTT();
    void finishSTT();
    void startClaudeSTT();
    void finishClaudeSTT();
    void failClaudeSTT(ClaudeVoiceError error);
    void endClaudeSession();
    void cancelStarting();
    void cancelAll();
    void captureComposeContext();
    rt::Task<AIStepResult> composeDictation(std::string text, ContextTask context, std::optional<TranslateLang> target);
    rt::Task<AIStepResult> translateDictation(std::string text, TranslateLang target);
    rt::Task<AIStepResult> fixDictation(std::string text);
    void startLevelMeter();
    void syncEscapeSwallow();

    // ---- settings --------------------------------------------------------------------------------
    void setSttProvider(const std::string& value);
    void setDictationOutput(const std::optional<TranslateLang>& lang);
    void toggleDictationOutput();
    void showDictationOutputMenu();
    void setWriteMode(Translator::WriteMode mode);
    void enableLaunchAtLoginIfNeeded();
    void toggleLaunchAtLogin();
    void refreshLaunchAtLoginMenu();

    // ---- sign-in state, status polling, dashboard --------------------------------------------
    /// The application state as text pairs, in the order the dashboard's query carries them.
    using StatePairs = std::vector<std::pair<std::string, std::string>>;

    /// Period of the status refresh.
    static constexpr double kStatusPollSeconds = 8.0;
    /// Period of the ChatGPT access-token refresh while ChatGPT is the speech source.
    static constexpr double kChatGPTRefreshSeconds = 720;
    /// When the Claude account is checked again: after an answer, and after "unknown".
    static constexpr double kClaudeRecheckSeconds = 600;
    static constexpr double kClaudeUnknownRecheckSeconds = 60;

    void startStatusPolling();
    rt::Task<void> refreshMenuStatus();
    rt::Task<void> refreshGrokState();
    void refreshClaudeAccount(bool force);
    void noteClaudeAccount(const ClaudeAccount& account);
    void syncClaudePrefFlag();
    void noteGrok(bool signedIn);
    void syncChatGPTRefresh();
    /// Hands a ChatGPT access token to the local core; shows "Save token failed" when it fails.
    /// True when it was saved.
    rt::Task<bool> saveChatGPTToken(std::string token);
    void openChatGPTLogin();
    void openClaudeLogin(bool forceRelogin);
    void openGrokLogin();
    void openDashboard();
    [[nodiscard]] StatePairs appState() const;
    [[nodiscard]] std::string dashboardURL() const;
    /// The application state as the dashboard page's JSON object.
    [[nodiscard]] nlohmann::json appStateJSON() const;
    void pushAppState();
    void openPermissions(bool force);
    void refreshPermissionsMenu();
    /// The three permissions now (Accessibility asked without prompting).
    [[nodiscard]] PermissionsSnapshot permissionsSnapshot() const;
    /// Runs one AI request on a fixed sample ("translate", "fix" or "write") and reports it to
    /// the dashboard page.
    rt::Task<void> runAITest(std::string task);
    /// Links of other applications ("veska-voice-local://config").
    void handleExternalURL(const std::string& url);
    /// Links of the dashboard page.
    void handleDeepLink(const std::string& url);
    /// The stored voice with each word capitalised, as shown.
    [[nodiscard]] std::string voiceName() const;

    [[nodiscard]] const AppEnvironment& environment() const { return env_; }
    [[nodiscard]] static bool running(const rt::JoinHandle<void>& handle) { return handle.valid() && !handle.done(); }

private:
    /// What a finishing task needs of its take, frozen when the take ends.
    struct Take {
        std::optional<ports::RunningApp> targetApp;
        std::optional<TranslateLang> target;
        bool compose = false;
        bool fix = false;
        ContextTask context;
    };

    [[nodiscard]] Take freezeTake() const;
    [[nodiscard]] std::string hudChip() const;
    void warmTakeConnection();
    [[nodiscard]] bool micGranted() const;
    [[nodiscard]] bool accessibilityGranted() const;
    [[nodiscard]] bool inputMonitoringGranted() const;
    void refreshCancelEntry();
    void scheduleReturnToIdle(double seconds);
    void clearTakeContext();
    void suppressFn();
    /// The outcome of an AI step, or of a take without one, as the HUD state to show.
    [[nodiscard]] HUDState reportAfterInsert(const Take& take, bool aiFailed, bool pasteWithoutMonitoring) const;
    rt::Task<AIStepResult> runAIStep(std::string text, Take take);
    [[nodiscard]] bool keyboardPasteWithoutMonitoring(const std::optional<ports::RunningApp>& app);
    void noteGrokAfterSuccess(AITask task);
    /// The sessions of the configured AI sources.
    [[nodiscard]] SessionFactory sessions();
    /// Runs one AI call: its answer, or nothing when it failed (the failure recorded for the
    /// Grok sign-in state, a success too). Cancellation passes through.
    rt::Task<std::optional<std::string>> attemptAI(rt::Task<std::string> call, AITask task);
    /// Registers the login item; false when the service refused.
    bool registerLoginItem();
    void noteAIError(const std::exception_ptr& error);
    [[nodiscard]] std::optional<std::string> targetName() const;

    rt::Task<void> chatGPTStart(ContextTask context);
    rt::Task<void> finishChatGPT(std::string path, Take take, std::uint64_t work);
    rt::Task<void> openClaudeMic(std::shared_ptr<VoiceStream> session);
    void claudeMicOpened(std::shared_ptr<VoiceStream> session);
    rt::Task<void> connectClaude(std::shared_ptr<VoiceStream> session);
    rt::Task<void> finishClaude(std::shared_ptr<VoiceStream> session, std::shared_ptr<LiveTyper> typer, Take take,
                                std::uint64_t work);
    rt::Task<void> settleAndCopy(std::shared_ptr<LiveTyper> typer, std::string text);
    rt::Task<void> retractTyper(std::shared_ptr<LiveTyper> typer);
    rt::Task<void> checkClaudeAfterNeedLogin(std::uint64_t action);
    rt::Task<std::optional<ComposeContext>> readComposeContext(std::optional<std::string> remembered);
    rt::Task<void> askMicAccess();

    void statusTick();
    [[nodiscard]] bool sttReadyForDisplay() const;
    /// Applies the preferences the status refresh fetched.
    void applyStatusPrefs(const nlohmann::json& prefs);
    /// Whether the speech source is ready after a refresh, and the account shown for it; nothing
    /// when the refresh could not tell (the previous state stays).
    [[nodiscard]] std::optional<std::pair<bool, std::optional<std::string>>> sttReadiness(
        const std::optional<nlohmann::json>& status);
    rt::Task<void> checkClaudeAccount();
    rt::Task<void> savePrefsQuietly(nlohmann::json prefs);
    rt::Task<void> chatGPTLoggedIn(std::string token);
    rt::Task<void> claudeLoggedIn();
    rt::Task<void> showDashboard();
    [[nodiscard]] std::function<void(const std::string&)> postDeepLink();

    AppEnvironment env_;
    rt::Timer returnToIdle_;
    /// Numbers the finishing tasks, so a task knows whether it is still the current one.
    std::uint64_t workSerial_ = 0;
    rt::JoinHandle<void> statusRefresh_;
    std::shared_ptr<AppState*> self_ = std::make_shared<AppState*>(this);
    rt::Scope scope_;
};

}  // namespace veska
