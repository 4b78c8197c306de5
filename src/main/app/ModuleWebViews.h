// The dashboard and ChatGPT sign-in windows as the app holds them before the web engine module
// is loaded: stand-ins that load it when the window is first built and hand everything on.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "core/app/ChatGPTLoginView.h"
#include "core/app/DashboardWebView.h"
#include "main/app/LazyWebProfile.h"
#include "runtime/Executor.h"

namespace veska::app {

/// Says that a window could not open, and why: `title` is the window's, `detail` the reason.
using CannotOpen = std::function<void(const std::string& title, const std::string& detail)>;

/// Shows, in place of the window, a small message window saying it cannot open (not modal;
/// it closes itself). GUI thread.
void showCannotOpen(const std::string& title, const std::string& detail);

/// The dashboard's window. Its first `create` loads the web engine (through `web`) and makes the
/// real view, which is kept from then on; the navigation callbacks set here, before or after,
/// are the ones the real view calls. When the module cannot be used, `create` says so through
/// `cannotOpen` and the window does not exist. GUI thread.
class ModuleDashboardWebView final : public DashboardWebView {
public:
    ModuleDashboardWebView(LazyWebProfile& web, std::string framesFile, CannotOpen cannotOpen);
    ~ModuleDashboardWebView() override;
    ModuleDashboardWebView(const ModuleDashboardWebView&) = delete;
    ModuleDashboardWebView& operator=(const ModuleDashboardWebView&) = delete;

    [[nodiscard]] bool exists() const override { return view_ && view_->exists(); }
    void create(const std::string& title) override;
    void load(const std::string& url, double timeoutSeconds) override;
    void bringToFront() override;
    void evaluate(const std::string& javaScript) override;

private:
    LazyWebProfile& web_;
    std::string framesFile_;
    CannotOpen cannotOpen_;
    std::unique_ptr<DashboardWebView> view_;
};

/// The ChatGPT sign-in window, made like the dashboard's. When the module cannot be used,
/// `create` says so and the window counts as closed by the user (`onClosedByUser` is called
/// from `main`, after `create` has returned), so the sign-in ends as if they had closed it.
class ModuleChatGPTLoginView final : public ChatGPTLoginView {
public:
    ModuleChatGPTLoginView(rt::Executor& main, LazyWebProfile& web, CannotOpen cannotOpen);
    ~ModuleChatGPTLoginView() override;
    ModuleChatGPTLoginView(const ModuleChatGPTLoginView&) = delete;
    ModuleChatGPTLoginView& operator=(const ModuleChatGPTLoginView&) = delete;

    [[nodiscard]] bool exists() const override { return view_ && view_->exists(); }
    void create(const ChatGPTLoginContent& content) override;
    void setHelp(const std::optional<std::string>& text) override;
    void setProgressRunning(bool running) override;
    void bringToFront() override;
    void load(const std::string& url, double timeoutSeconds) override;
    void dismiss() override;

private:
    rt::Executor& main_;
    LazyWebProfile& web_;
    CannotOpen cannotOpen_;
    std::unique_ptr<ChatGPTLoginView> view_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace veska::app
