#include "main/appsim/AppRecorders.h"

#include "runtime/Sleep.h"

namespace veska::appsim {

void RecordingStatusMenu::setIcon(const std::string& symbolName, bool setupBadge) {
    if (symbolName != symbol || setupBadge != badge) {
        log_.add("menuIcon", {{"symbol", symbolName}, {"badge", setupBadge}});
    }
    symbol = symbolName;
    badge = setupBadge;
}

rt::Task<void> RecordingSignInStatus::refreshMenuStatus() {
    ++calls["refreshMenuStatus"];
    co_return;
}

void RecordingSignInStatus::noteClaudeAccount(const ClaudeAccount& account) {
    ++calls["noteClaudeAccount"];
    lastAccount = account;
}

void RecordingSignInStatus::noteGrok(bool signedIn) {
    ++calls["noteGrok"];
    lastGrok = signedIn;
    log_.add("grokSignIn", {{"signedIn", signedIn}});
}

void RecordingSignInStatus::openClaudeLogin(bool forceRelogin) {
    ++calls["openClaudeLogin"];
    log_.add("window", {{"name", "claudeLogin"}, {"force", forceRelogin}});
}

void RecordingSignInStatus::openDashboard() {
    ++calls["openDashboard"];
    log_.add("window", {{"name", "dashboard"}});
}

void FakePermissionsWindow::show(bool force) {
    ++shows;
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
