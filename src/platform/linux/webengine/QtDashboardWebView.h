// The dashboard window: a Qt WebEngine view of the local core's page on the shared profile.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "core/app/DashboardWebView.h"

class QWebEngineProfile;
class QWebEngineView;
class QWidget;
class QTimer;

namespace veska::platform {

/// Builds the window and its web view only when asked (`create`) and discards both when the
/// user closes the window, so no page (and no web engine process of its own) lives while the
/// dashboard is closed. The page runs on the profile `profile` gives (asked at each `create`),
/// the one every web view of the app shares. Its frame is kept in `framesFile` under
/// "ConfigDashboard". GUI thread.
class QtDashboardWebView final : public DashboardWebView {
public:
    static constexpr int kWidth = 780;
    static constexpr int kHeight = 720;

    QtDashboardWebView(std::function<QWebEngineProfile*()> profile, std::string framesFile);
    ~QtDashboardWebView() override;
    QtDashboardWebView(const QtDashboardWebView&) = delete;
    QtDashboardWebView& operator=(const QtDashboardWebView&) = delete;

    [[nodiscard]] bool exists() const override { return window_ != nullptr; }
    void create(const std::string& title) override;
    void load(const std::string& url, double timeoutSeconds) override;
    void bringToFront() override;
    void evaluate(const std::string& javaScript) override;

    /// The window and view while they exist (for tests).
    [[nodiscard]] QWidget* window() const { return window_; }
    [[nodiscard]] QWebEngineView* view() const { return view_; }

    class Page;
    class Window;

private:
    void discard();

    std::function<QWebEngineProfile*()> profile_;
    std::string framesFile_;
    QWidget* window_ = nullptr;
    QWebEngineView* view_ = nullptr;
    QTimer* loadTimer_ = nullptr;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace veska::platform
