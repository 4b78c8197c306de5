// Start-up: the application's kind, the controller, the status item, the gesture wiring, the
// deferred start-up task and the watchdog that keeps the key tap alive; and quitting.
#pragma once

#include <memory>

#include "core/app/AppState.h"
#include "core/desktop/DesktopServices.h"
#include "core/desktop/HotKeyMonitor.h"
#include "ports/SystemLanguages.h"
#include "runtime/Spawn.h"

namespace veska {

/// Created by the entry point before the event loop runs; lives as long as the process, on the
/// main executor. Owns the gesture monitor and the controller.
class AppDelegate {
public:
    /// The watchdog's period, in seconds.
    static constexpr double kWatchdogSeconds = 3.0;

    AppDelegate(AppEnvironment env, ApplicationShell& shell, const DesktopServices& desktop,
                const ports::SystemLanguages& systemLanguages);
    AppDelegate(const AppDelegate&) = delete;
    AppDelegate& operator=(const AppDelegate&) = delete;
    ~AppDelegate();

    /// The start-up sequence; starts the start-up task and returns.
    void applicationDidFinishLaunching();
    /// Cancels everything, then asks the application to end.
    void quit();

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
    void checkPermissionsOnStart();
    void watchdog();
    rt::Task<void> quitTask();

    AppEnvironment env_;
    ApplicationShell& shell_;
    const ports::SystemLanguages& systemLanguages_;
    std::unique_ptr<HotKeyMonitor> hotkeys_;
    std::unique_ptr<AppState> appState_;
    rt::Timer watchdog_;
    rt::JoinHandle<void> startup_;
    std::shared_ptr<AppDelegate*> self_ = std::make_shared<AppDelegate*>(this);
    rt::Scope scope_;
};

}  // namespace veska
