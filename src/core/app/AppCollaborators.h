// The components the controller drives, each behind an interface its real implementation
// (voice stream, local core, AI engines, windows, status menu) plugs into.
#pragma once

#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "core/ai/AISource.h"
#include "core/ai/AITask.h"
#include "core/ai/TextSession.h"
#include "core/ai/TranslateLang.h"
#include "core/app/StatusItemView.h"
#include "runtime/Task.h"

namespace veska {

// ---- Claude voice stream ------------------------------------------------------------------

/// Why a Claude voice dictation failed.
enum class ClaudeVoiceError {
    needLogin,  ///< no usable Claude session (no cookie, or 401/403 while connecting)
    noMic,      ///< the microphone could not be opened
    connect,    ///< the WebSocket could not be opened, dropped, or took too long to open
    server,     ///< the service sent an error message
};

/// The Claude web session's cookies, ready for a request.
struct ClaudeCredentials {
    std::string cookieHeader;                 ///< the value of a "Cookie" header
    std::optional<std::string> organization;  ///< the organisation id, when the cookies name one

    bool operator==(const ClaudeCredentials&) const = default;
};

/// Who is signed in to the Claude web service.
struct ClaudeAccount {
    enum class Kind { signedIn, signedOut, unknown };
    Kind kind = Kind::unknown;
    std::string email;  ///< only for `signedIn`

    [[nodiscard]] static ClaudeAccount signedIn(std::string email) { return {Kind::signedIn, std::move(email)}; }
    [[nodiscard]] static ClaudeAccount signedOut() { return {Kind::signedOut, {}}; }
    [[nodiscard]] static ClaudeAccount unknown() { return {Kind::unknown, {}}; }

    bool operator==(const ClaudeAccount&) const = default;
};

/// What `VoiceStream::finish` hands back: the final text, or why there is none.
struct VoiceResult {
    std::optional<std::string> text;       ///< present on success (may be empty)
    std::optional<ClaudeVoiceError> error;  ///< present on failure
};

/// One live dictation over the Claude voice stream. Created by `ClaudeWeb::makeVoiceSession`,
/// used from the main executor in this order: set the callbacks → `startMic` → `connect` or
/// `failBeforeConnect(needLogin)` → … → `finish` or `cancel`. Every callback is called on the
/// main executor; `onFailure` at most once; none after `cancel` or once `finish` has returned.
class VoiceStream {
public:
    virtual ~VoiceStream() = default;

    /// The whole current transcript, each time it changes.
    std::function<void(const std::string& text)> onText;
    /// The microphone level, 0…1, for every captured buffer.
    std::function<void(double level)> onLevel;
    /// The stream failed while the user was speaking.
    std::function<void(ClaudeVoiceError error)> onFailure;

    /// Opens the microphone; nothing when it runs, `noMic` when it could not be opened.
    virtual rt::Task<std::optional<ClaudeVoiceError>> startMic() = 0;
    /// Opens the voice stream with the session's cookies; returns at once.
    virtual void connect(std::string cookieHeader, std::optional<std::string> organization,
                         std::string language) = 0;
    /// No credentials: the stream counts as failed with `error` (audio is dropped).
    virtual void failBeforeConnect(ClaudeVoiceError error) = 0;
    /// Stops the microphone, asks for the final words and gives the finished text.
    virtual rt::Task<VoiceResult> finish() = 0;
    /// Abandons the dictation without a result; releases the microphone and the connection.
    virtual void cancel() = 0;
};

/// The Claude web session: voice streams, credentials, account, dictation language.
class ClaudeWeb {
public:
    virtual ~ClaudeWeb() = default;
    [[nodiscard]] virtual std::unique_ptr<VoiceStream> makeVoiceSession() = 0;
    /// The session cookies of the shared web store; nothing when there is no session cookie.
    virtual rt::Task<std::optional<ClaudeCredentials>> credentials() = 0;
    /// Asks the service who is signed in; never throws (`unknown` when it cannot tell).
    virtual rt::Task<ClaudeAccount> checkAccount() = 0;
    /// The language code dictation sends to the voice stream.
    [[nodiscard]] virtual std::string dictationLanguage() = 0;
    /// The service's name in messages ("claude.ai").
    [[nodiscard]] virtual std::string displayName() = 0;
};

/// The Grok console session, as far as the sign-in status needs it.
class GrokWeb {
public:
    virtual ~GrokWeb() = default;
    /// Whether the shared web store holds a Grok console session cookie.
    virtual rt::Task<bool> hasSession() = 0;
};

// ---- Local core -----------------------------------------------------------------------------

/// The file recorder of the ChatGPT speech source (16 kHz mono AAC in an MPEG-4 file, metered).
/// Used from the main executor.
class MicRecorder {
public:
    virtual ~MicRecorder() = default;
    /// Asks for microphone access (the system's question the first time) and gives the answer.
    virtual rt::Task<bool> requestAccess() = 0;
    /// Starts recording into a new temporary file; throws (an `AudioError`) when it cannot, and
    /// then nothing is recording.
    virtual rt::Task<void> start() = 0;
    /// True between a successful `start` and `stop`.
    [[nodiscard]] virtual bool isRecording() const = 0;
    /// Stops at once (`isRecording` becomes false) and hands over the file being recorded;
    /// nothing when no recording ran. The file is complete once `fileFinished` returns; the
    /// caller deletes it with `deleteFile` when done.
    virtual std::optional<std::string> stop() = 0;
    /// Waits until the file handed out by the last `stop` is complete; throws when it could not
    /// be finished. Returns at once when nothing is pending.
    virtual rt::Task<void> fileFinished() = 0;
    /// Refreshes the meter and gives the average power of channel 0 in dB (−160 for silence).
    [[nodiscard]] virtual double averagePowerDb() = 0;
    /// Removes a file this recorder made; a missing file is no error.
    virtual void deleteFile(const std::string& path) = 0;
};

/// The local core: started or found, its preferences, and file transcription. Errors thrown by
/// `prefs` and `transcribe` derive from `std::exception` and `what()` is the user-facing
/// description (the local core's error messages); nothing secret is in it.
class LocalCore {
public:
    virtual ~LocalCore() = default;
    /// Makes sure a core answers, starting one when needed; never throws, reports nothing.
    virtual rt::Task<void> ensureCore() = 0;
    /// GET the preferences: the object under "prefs" when present, otherwise the whole object.
    virtual rt::Task<nlohmann::json> prefs() = 0;
    /// Transcribes a recorded file; the recognised text (not trimmed).
    virtual rt::Task<std::string> transcribe(std::string filePath) = 0;
    /// GET "/v1/status": the status document (an object).
    virtual rt::Task<nlohmann::json> status() = 0;
    /// PUT "/v1/config/prefs" with `prefs`, merged into the core's preferences.
    virtual rt::Task<void> savePrefs(nlohmann::json prefs) = 0;
    /// PUT "/v1/config/secrets" with `secrets`, an object of string values.
    virtual rt::Task<void> saveSecrets(nlohmann::json secrets) = 0;
    /// The core's base URL, without a trailing "/" (the dashboard page lives at its root).
    [[nodiscard]] virtual std::string baseURL() const = 0;
};

// ---- AI engines -----------------------------------------------------------------------------

/// The configured AI sources, their connections and their sessions.
class AIEngines {
public:
    virtual ~AIEngines() = default;
    /// The source configured for `task`, read from the configuration now.
    [[nodiscard]] virtual AISource source(AITask task) = 0;
    /// Opens (or keeps open) the connection `source` will need, so a later request starts warm.
    /// Returns at once; failures are silent.
    virtual void warm(AISource source) = 0;
    /// The session for `task` on its configured source; throws `TranslateError` when it cannot.
    [[nodiscard]] virtual std::unique_ptr<TextSession> makeSession(AITask task) = 0;
};

// ---- Permissions ----------------------------------------------------------------------------

/// The three permissions Veska needs, as read at one moment.
struct PermissionsSnapshot {
    bool mic = false;  ///< microphone authorised
    bool ax = false;   ///< Accessibility trusted (asked without prompting)
    bool im = false;   ///< Input Monitoring granted

    /// How many of the three are not granted.
    [[nodiscard]] int missingCount() const { return int{!mic} + int{!ax} + int{!im}; }
    bool operator==(const PermissionsSnapshot&) const = default;
};

// ---- Status menu and popover ----------------------------------------------------------------

/// The status item's icon and menu entries.
class StatusMenu {
public:
    virtual ~StatusMenu() = default;
    /// An entry of the status item's menu was chosen.
    std::function<void(StatusAction action)> onAction;
    /// Creates the status item and its menu; called once at start-up.
    virtual void install() = 0;
    /// The icon: a symbol image name, with or without the setup badge.
    virtual void setIcon(const std::string& symbolName, bool setupBadge) = 0;
    /// The cancel entry.
    virtual void setCancelEnabled(bool enabled) = 0;
    /// The launch-at-login entry's check mark.
    virtual void setLaunchAtLoginChecked(bool checked) = 0;
    /// Chooses the tooltip from what needs the user's attention and stores the setup badge;
    /// redraws the idle icon with it when no work runs (`workRunning` false).
    virtual void updateStatus(const PermissionsSnapshot& snapshot, bool sttReady, const std::string& provider,
                              bool workRunning) = 0;
    /// Opens the status popover (a click on an update notice).
    virtual void showPopover() = 0;
};

/// The status popover's model, as far as the controller writes it.
class PopoverModel {
public:
    virtual ~PopoverModel() = default;
    virtual void setOutput(const std::optional<TranslateLang>& lang) = 0;
    /// "normal", "prompt" or "email".
    virtual void setWriteMode(const std::string& mode) = 0;
    virtual void setCanStop(bool canStop) = 0;
    virtual void setLaunchAtLogin(bool on) = 0;
    /// The three permissions and how many of them are missing.
    virtual void setPermissions(bool micOK, bool axOK, bool imOK, int missingPerms) = 0;
    /// Whether the speech source is ready, the account shown for it and the source's name.
    virtual void setSpeech(bool sttReady, std::optional<std::string> email, const std::string& sttProvider) = 0;
    /// Whether read-aloud can run (Grok signed in) and the voice's shown name.
    virtual void setReading(bool readReady, const std::string& voiceName) = 0;
};

// ---- Windows ------------------------------------------------------------------------------

/// The permission setup window's controller. Main executor.
class PermissionsWindow {
public:
    virtual ~PermissionsWindow() = default;
    /// Called when every permission is granted: at `show(false)` instead of opening, on
    /// "Check again" and on "Done".
    std::function<void()> onAllGranted;
    /// Shows the window; with `force`, even when every permission is granted.
    virtual void show(bool force) = 0;
    /// Stops polling and takes the window off screen.
    virtual void close() = 0;
};

/// The settings dashboard window (a page of the local core) as the controller drives it. The
/// core implementation is `ConfigDashboardWindowController` over a platform web view.
class DashboardWindow {
public:
    virtual ~DashboardWindow() = default;
    /// Links of the page with the application's own URL scheme ("veska-voice-local://…").
    std::function<void(const std::string& url)> onDeepLink;
    /// The application's state as a JSON value, handed to the page by `applyApp`.
    std::optional<std::string> appJSON;

    /// Opens the window on `urlString` (the local core's default address when it does not parse).
    virtual void show(const std::string& urlString) = 0;
    /// Loads the last URL again, when the window is open.
    virtual void reload() = 0;
    /// Hands the three permissions to the page.
    virtual void pushPerms(const PermissionsSnapshot& snapshot) = 0;
    /// Hands `appJSON` to the page.
    virtual void applyApp() = 0;
    /// Whether the window (and its page) exists.
    [[nodiscard]] virtual bool isOpen() const = 0;
};

/// The ChatGPT sign-in window: shows the service's sign-in page and watches for the session.
/// Main executor; the callbacks are set before `show`.
class ChatGPTLoginWindow {
public:
    virtual ~ChatGPTLoginWindow() = default;
    /// The sign-in succeeded: the access token and the session answer (a JSON object).
    std::function<void(const std::string& token, const std::optional<nlohmann::json>& session)> onSuccess;
    /// The user cancelled or closed the window (not called by `close`).
    std::function<void()> onCancel;

    /// Opens the window; with `forceRelogin`, the ChatGPT cookies are removed first.
    virtual void show(bool forceRelogin) = 0;
    virtual void close() = 0;
};

/// A web sign-in window of one service (Claude or Grok). Main executor; the callbacks are set
/// before `showLogin`.
class WebLoginWindow {
public:
    virtual ~WebLoginWindow() = default;
    std::function<void()> onLoginSuccess;
    std::function<void()> onLoginCancel;
    /// Opens the window; with `forceRelogin`, the service's cookies are removed first.
    virtual void showLogin(bool forceRelogin) = 0;
};

/// The floating translation card, as far as the dictation side needs it.
class TranslationCardWindow {
public:
    virtual ~TranslationCardWindow() = default;
    [[nodiscard]] virtual bool isVisible() const = 0;
    virtual void close() = 0;

    std::function<void()> onListenOriginal;
    std::function<void()> onListenTranslation;
    std::function<void()> onReplace;
    std::function<void()> onSignIn;
    std::function<void()> onPickTarget;
    std::function<void()> onClose;
};

/// The language picker menu.
class LanguageMenu {
public:
    virtual ~LanguageMenu() = default;
    using Pick = std::function<void(std::optional<TranslateLang> lang)>;
    /// Shows the menu; `pick` gets the chosen language, or nothing for "as spoken".
    virtual void show(const std::optional<TranslateLang>& current, bool includeAsSpoken, bool includeAuto,
                      Pick pick) = 0;
};

// ---- Selection actions, reading, updates, the application ----------------------------------

/// The actions on selected text and reading aloud. The implementation bumps the controller's
/// `userAction` when it starts a job, and keeps `reading`, `screenTask`, `translateTask` in step.
class SelectionActions {
public:
    virtual ~SelectionActions() = default;
    virtual void readSelection() = 0;
    virtual void translateSelection() = 0;
    virtual void fixSelection() = 0;
    /// Stops a read-aloud job, if any.
    virtual void stopReading() = 0;
    virtual void cycleReadingRate() = 0;
    /// Pauses or resumes the read-aloud player; the paused state after the call.
    virtual bool togglePause() = 0;
    virtual void listenOriginal() = 0;
    virtual void listenTranslation() = 0;
    virtual void replaceWithTranslation() = 0;
    virtual void signInForTranslation() = 0;
    virtual void showTranslateTargetMenu() = 0;
    /// Cancels the running translation, if any.
    virtual void cancelTranslation() = 0;
    /// Translates `text` as if it were selected in the frontmost application (text service).
    virtual void translateFromService(const std::string& text) = 0;
    /// Reads `text` aloud (text service).
    virtual void readText(const std::string& text) = 0;
};

/// The self-updater, as far as start-up and the menu icon need it.
class UpdaterHooks {
public:
    virtual ~UpdaterHooks() = default;
    [[nodiscard]] virtual bool canNotify() = 0;
    virtual void registerNotificationCategories() = 0;
    virtual void startChecking() = 0;
    [[nodiscard]] virtual bool updateAvailable() = 0;
    /// The version of the update that waits, if any.
    [[nodiscard]] virtual std::optional<std::string> availableVersion() = 0;
    /// Installs the waiting update (the update notice's install action).
    virtual void install() = 0;
};

/// The application object: its kind, its text services, its end.
class ApplicationShell {
public:
    virtual ~ApplicationShell() = default;
    /// No Dock icon, no main menu.
    virtual void setAccessory() = 0;
    /// Offers the text services and makes Veska the delegate of update notices.
    virtual void provideServices() = 0;
    virtual void installNotificationDelegate() = 0;
    virtual void terminate() = 0;
};

}  // namespace veska
