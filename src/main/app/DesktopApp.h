// Veska on the desktop: every real adapter, the controller on top of them, and their order of
// construction and destruction.
#pragma once

#include <memory>
#include <string>

#include "core/ai/MakeSession.h"
#include "core/app/AIProviders.h"
#include "core/app/AppDelegate.h"
#include "core/app/ChatGPTLoginWindowController.h"
#include "core/app/ConfigDashboardWindowController.h"
#include "core/app/FileMicRecorder.h"
#include "core/app/LocalCoreService.h"
#include "core/app/MenuBarController.h"
#include "core/app/PermissionsSetupWindowController.h"
#include "core/app/ServiceConfig.h"
#include "core/app/StatusPopoverModel.h"
#include "core/desktop/SelectionService.h"
#include "core/ui/FloatingHUD.h"
#include "core/voice/ClaudeSession.h"
#include "core/voice/ClaudeWebService.h"
#include "core/voice/GrokSpeaker.h"
#include "core/voice/GrokWebSession.h"
#include "core/web/ChatGPTSession.h"
#include "core/web/WebCookieJar.h"
#include "main/app/ConfinedPorts.h"
#include "main/app/LazyWebProfile.h"
#include "main/app/ModuleWebViews.h"
#include "main/app/Unbuilt.h"
#include "platform/linux/JsonFilePreferences.h"
#include "platform/linux/PosixLocalMachine.h"
#include "platform/linux/PosixSystemLanguages.h"
#include "platform/linux/ProcessEnvironment.h"
#include "platform/linux/atspi/AtspiAccessibility.h"
#include "platform/linux/audiocapture/PulseAudioCapture.h"
#include "platform/linux/audioplayer/PulseAudioPlayer.h"
#include "platform/linux/autostart/XdgAutostartLoginItem.h"
#include "platform/linux/http/CurlHttpClient.h"
#include "platform/linux/hud/QtHUDPanel.h"
#include "platform/linux/inhibit/LogindInhibitor.h"
#include "platform/linux/permissions/LinuxPermissions.h"
#include "platform/linux/process/PosixProcesses.h"
#include "platform/linux/qt/QtMainExecutor.h"
#include "platform/linux/qt/QtPasteboard.h"
#include "platform/linux/recorder/PulseFileRecorder.h"
#include "platform/linux/tray/QtStatusItem.h"
#include "platform/linux/websocket/BeastWebSocketClient.h"
#include "platform/linux/windows/QtApplicationShell.h"
#include "platform/linux/windows/QtLanguageMenu.h"
#include "platform/linux/windows/QtPermissionsView.h"
#include "platform/linux/x11/X11KeyEventSource.h"
#include "platform/linux/x11/X11Workspace.h"
#include "platform/linux/x11/XTestKeyPoster.h"
#include "runtime/ThreadExecutor.h"

namespace veska::app {

/// The whole application, built on the GUI thread after the QApplication and destroyed before
/// it. The serial queues are threads of their own; everything else lives on the main executor
/// (the GUI thread). Fields are in dependency order: each is built from the ones above it and
/// destroyed before them.
class DesktopApp {
public:
    /// Nothing (and `error` says why) when the desktop cannot be reached: no X display, or one
    /// without the XInput 2.2 and XTest extensions Veska's keys need.
    /// `statusItem`, the tray icon, is made (and shown) before the app so that it is up while
    /// the rest is being built; it must outlive the app.
    [[nodiscard]] static std::unique_ptr<DesktopApp> create(platform::QtStatusItem& statusItem, std::string& error);
    ~DesktopApp();
    DesktopApp(const DesktopApp&) = delete;
    DesktopApp& operator=(const DesktopApp&) = delete;

    /// The start-up sequence; the event loop runs the rest.
    void launch();
    /// Cancels every job, then leaves the event loop.
    void quit();

    [[nodiscard]] AppDelegate& delegate() { return *delegate_; }

private:
    struct X11Parts;
    explicit DesktopApp(platform::QtStatusItem& statusItem);
    /// Throws `DesktopUnavailable` when the display lacks what Veska needs.
    [[nodiscard]] static std::unique_ptr<X11Parts> openX11(rt::Executor& main,
                                                           const ports::Preferences& prefs,
                                                           const std::string& configDir);

    platform::ProcessEnvironment env_;
    platform::PosixSystemLanguages languages_{env_};
    ServiceConfig services_;
    std::string configDir_;
    platform::JsonFilePreferences prefs_;
    platform::QtMainExecutor main_;
    rt::ThreadExecutor lookups_{"veska.selection"};
    rt::ThreadExecutor liveTyperQueue_{"veska.live-typer"};
    rt::ThreadExecutor claudeQueue_{"veska.claude-voice"};
    /// libatspi's one thread. It only ever runs accessibility calls and waits for nothing, so
    /// the threads that wait for it (the GUI thread, the look-ups and the live typer, which also
    /// wait for one another) can never wait in a circle.
    rt::ThreadExecutor accessibilityThread_{"veska.accessibility"};

    // The desktop.
    std::unique_ptr<X11Parts> x11_;
    platform::QtPasteboard qtPasteboard_;
    ConfinedPasteboard pasteboard_;
    platform::AtspiAccessibility atspi_;
    ConfinedAccessibility accessibility_;
    platform::PulseAudioCapture capture_;
    platform::LinuxPermissions permissions_;
    platform::XdgAutostartLoginItem loginItem_;

    // Services.
    platform::CurlHttpClient http_;
    platform::BeastWebSocketClient webSockets_;
    platform::PosixLocalMachine machine_;
    platform::PosixProcesses processes_;
    platform::PulseFileRecorder fileRecorder_;
    platform::PulseAudioPlayer player_;
    platform::LogindInhibitor inhibitor_;
    /// The web engine module: loaded, and its engine started, on the first real need.
    LazyWebProfile web_;
    WebCookieJar cookies_{web_};

    // The product's parts.
    LocalCoreService core_;
    FileMicRecorder mic_;
    ClaudeSession claudeSession_;
    ClaudeWebService claude_;
    GrokSpeaker speaker_;
    GrokWebSession grokWeb_;
    ChatGPTSession chatgpt_;
    AIProviders ai_;
    DesktopServices desktop_;
    SelectionService selection_;
    std::unique_ptr<platform::QtHUDPanel> hudPanel_;
    std::unique_ptr<FloatingHUD> hud_;

    // Windows, menus and the parts this version does not have.
    platform::QtApplicationShell shell_;
    platform::QtLanguageMenu languageMenu_;
    AbsentUpdater updater_;
    platform::QtStatusItem& statusItem_;
    MenuBarController menuBar_{statusItem_, updater_};
    StatusPopoverModel popover_;
    platform::QtPermissionsView permissionsView_;
    std::unique_ptr<PermissionsSetupWindowController> permissionsWindow_;
    ModuleDashboardWebView dashboardView_;
    ConfigDashboardWindowController dashboard_{dashboardView_};
    AbsentTranslationCard card_;
    ModuleChatGPTLoginView chatgptLoginView_;
    std::unique_ptr<ChatGPTLoginWindowController> chatgptLogin_;
    std::unique_ptr<UnbuiltWebLoginWindow> claudeLogin_;
    std::unique_ptr<UnbuiltWebLoginWindow> grokLogin_;
    std::unique_ptr<UnbuiltSelectionActions> actions_;

    std::unique_ptr<AppDelegate> delegate_;
};

}  // namespace veska::app
