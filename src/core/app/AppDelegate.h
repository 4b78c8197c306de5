// Start-up: the application's kind, the controller, the status item, the gesture wiring, the
// deferred start-up task and the watchdog that keeps the key tap alive; and quitting.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/app/AppState.h"
#include "core/desktop/DesktopServices.h"
#include "core/desktop/HotKeyMonitor.h"
#include "runtime/Spawn.h"

namespace veska {

/// Created by the entry point before the event loop runs; lives as long as the process, on the
/// main executor. Owns the gesture monitor and the controller.
class AppDelegate {
public:
    /// The watchdog's period, in seconds.
    static constexpr double kWatchdogSeconds = 3.0;

    /// The action of an update notice that installs the update.
    static constexpr std::string_view kInstallUpdateAction = "veska.update.install";
    /// The action of a click on the notice itself.
    static constexpr std::string_view kDefaultNotificationAction = "default";

    /// How a notice is presented while Veska is the active application.
    struct NotificationPresentation {
        bool banner = true;
        bool sound = true;
    };

    AppDelegate(AppEnvironment env, ApplicationShell& shell, const DesktopServices& desktop);
    AppDelegate(const AppDelegate&) = delete;
    AppDelegate& operator=(const AppDelegate&) = delete;
    ~AppDelegate();

    /// The start-up sequence; starts the start-up task and returns.
    void applicationDidFinishLaunching();
    /// Cancels everything, then asks the application to end.
    void quit();

    /// A command of the status item's menu.
    void perform(StatusAction action);
    /// A text service: "translateText" translates `text`, "readAloud" reads it; any other
    /// name does nothing.
    void performService(std::string_view service, const std::string& text);
    /// A notice is about to be shown: as a banner with sound, even while Veska is active.
    [[nodiscard]] static NotificationPresentation notificationWillPresent() { return {}; }
    /// The user answered a notice with `actionIdentifier`.
    void notificationResponse(std::string_view actionIdentifier);
    /// Links handed to the application by the system.
    void openURLs(const std::vector<std::string>& urls);

    [[nodiscard]] HotKeyMonitor& hotkeys() { return *hotkeys_; }
    /// The controller; exists once the launch callback has run.
    [[nodiscard]] AppState* appState() { return appState_.get(); }
    /// Whether the start-up task has finished.
    [[nodiscard]] bool startupDone() const { return startup_.valid() && startup_.done(); }

private:
    void wireGestures();
    void wirePanels();
    /// Runs `action` on the controller in a new main-executor turn, if it still exists.
    void hop(std::function<void(AppState&)> action);
    rt::Task<void> startupTask();
    rt::Task<void> refreshPermissionsWhenSettled();
    void checkPermissionsOnStart();
    void watchdog();
    rt::Task<void> quitTask();

    AppEnvironment env_;
    ApplicationShell& shell_;
    std::unique_ptr<HotKeyMonitor> hotkeys_;
    std::unique_ptr<AppState> appState_;
    rt::Timer watchdog_;
    rt::JoinHandle<void> startup_;
    std::shared_ptr<AppDelegate*> self_ = std::make_shared<AppDelegate*>(this);
    rt::Scope scope_;
};

}  // namespace veska
