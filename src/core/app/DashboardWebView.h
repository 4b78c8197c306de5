// The dashboard window's web view as the platform draws it: a window holding one page.
#pragma once

#include <functional>
#include <string>

namespace veska {

/// The window and web view of the settings dashboard. `ConfigDashboardWindowController` decides
/// what it loads and runs; the platform only builds, loads and evaluates. Lives on the main
/// executor; every callback is called there.
class DashboardWebView {
public:
    virtual ~DashboardWebView() = default;

    /// Asked before every navigation of the page (links, redirects, loads); false cancels it.
    std::function<bool(const std::string& url)> decideNavigation;
    /// A navigation of the page completed.
    std::function<void()> onNavigationFinished;

    /// Whether the window and its web view exist. Closing the window by hand discards both.
    [[nodiscard]] virtual bool exists() const = 0;
    /// Builds the window (780 × 720, titled, closable, miniaturisable, resizable, centred, its
    /// frame remembered as "ConfigDashboard") around a web view drawing no background.
    virtual void create(const std::string& title) = 0;
    /// Loads `url` in the web view, giving up after `timeoutSeconds`.
    virtual void load(const std::string& url, double timeoutSeconds) = 0;
    /// Brings the window to the front and activates the application.
    virtual void bringToFront() = 0;
    /// Runs `javaScript` in the page; its result and errors are ignored.
    virtual void evaluate(const std::string& javaScript) = 0;
};

}  // namespace veska
