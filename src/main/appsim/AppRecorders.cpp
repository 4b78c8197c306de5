#include "main/appsim/AppRecorders.h"

#include "runtime/Sleep.h"

namespace veska::appsim {

void RecordingStatusItemView::setImage(const std::string& symbolName, const DesignTokens::StatusBarImage& image) {
    const bool withBadge = image.badgeDot.has_value();
    if (symbolName != symbol || withBadge != badge) {
        log_.add("menuIcon", {{"symbol", symbolName}, {"badge", withBadge}});
    }
    symbol = symbolName;
    badge = withBadge;
}

rt::Task<bool> FakeGrokWeb::hasSession() {
    co_await rt::yieldNow();
    co_return session;
}

void RecordingDashboardView::create(const std::string& windowTitle) {
    windowOpen = true;
    title = windowTitle;
}

void RecordingDashboardView::load(const std::string& url, double /*timeoutSeconds*/) {
    loads.push_back(url);
    log_.add("window", {{"name", "dashboard"}});
    if (onNavigationFinished) onNavigationFinished();
}

bool RecordingDashboardView::click(const std::string& url) {
    const bool allowed = !decideNavigation || decideNavigation(url);
    if (allowed) load(url, 60);
    return allowed;
}

void FakeChatGPTLoginWindow::show(bool forceRelogin) {
    ++shows;
    open = true;
    log_.add("window", {{"name", "chatgptLogin"}, {"force", forceRelogin}});
}

void FakeChatGPTLoginWindow::succeed(const std::string& token) {
    open = false;
    if (onSuccess) onSuccess(token, nlohmann::json{{"accessToken", token}});
}

void FakeChatGPTLoginWindow::cancel() {
    open = false;
    if (onCancel) onCancel();
}

void FakeWebLoginWindow::showLogin(bool forceRelogin) {
    ++shows;
    open = true;
    lastForce = forceRelogin;
    log_.add("window", {{"name", name_}, {"force", forceRelogin}});
}

void FakeWebLoginWindow::succeed() {
    open = false;
    if (onLoginSuccess) onLoginSuccess();
}

void FakeWebLoginWindow::cancel() {
    open = false;
    if (onLoginCancel) onLoginCancel();
}

void FakePermissionsWindow::show(bool force) {
    ++shows;
    open = true;
    log_.add("window", {{"name", "permissions"}, {"force", force}});
}

void FakeLanguageMenu::show(const std::optional<TranslateLang>& current, bool includeAsSpoken, bool includeAuto,
                            Pick pick) {
    open = true;
    shownCurrent = current;
    shownAsSpoken = includeAsSpoken;
    shownAuto = includeAuto;
    pick_ = std::move(pick);
}

void FakeLanguageMenu::choose(std::optional<TranslateLang> lang) {
    open = false;
    if (auto pick = std::move(pick_)) pick(std::move(lang));
}

void FakeApplicationShell::terminate() {
    terminated = true;
    log_.add("terminated");
}

void SimHUDPanel::animateAlpha(double target, double seconds, std::function<void()> done) {
    std::weak_ptr<bool> alive = alive_;
    main_.postAfter(seconds, [this, alive, target, done = std::move(done)] {
        if (alive.expired()) return;
        alpha = target;
        if (done) done();
    }).release();
}

}  // namespace veska::appsim
