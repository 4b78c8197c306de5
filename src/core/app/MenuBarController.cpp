#include "core/app/MenuBarController.h"

#include "core/ui/AppStrings.h"
#include "core/ui/DesignTokens.h"

namespace veska {

MenuBarController::MenuBarController(StatusItemView& view, UpdaterHooks& updater) : view_(view), updater_(updater) {}

MenuBarController::~MenuBarController() {
    view_.onAction = nullptr;
    view_.onActivate = nullptr;
}

void MenuBarController::install() {
    if (installed_) return;
    installed_ = true;
    view_.onAction = [this](StatusAction action) {
        if (onAction) onAction(action);
    };
    view_.onActivate = [this] { showPopover(); };
    view_.show();
    view_.setToolTip(AppStrings::menuTooltipDefault());
    setCancelEnabled(false);
    setLaunchAtLoginChecked(launchAtLoginChecked_);
    applyBarIcon(std::string(kIdleSymbol), showSetupBadge_);
}

void MenuBarController::setCancelEnabled(bool enabled) {
    cancelEnabled_ = enabled;
    view_.setCancelEnabled(enabled);
}

void MenuBarController::setLaunchAtLoginChecked(bool checked) {
    launchAtLoginChecked_ = checked;
    view_.setLaunchAtLoginChecked(checked);
}

void MenuBarController::applyBarIcon(const std::string& symbol, bool badge) {
    symbol_ = symbol;
    view_.setImage(symbol, DesignTokens::statusBarImage(view_.hasSymbol(symbol), badge));
}

std::string MenuBarController::hudSymbol(const HUDState& state) { return std::string(veska::hudSymbol(state)); }

std::string MenuBarController::tooltip(const std::optional<std::string>& updateVersion,
                                       const PermissionsSnapshot& snapshot, bool sttReady, std::string_view provider) {
    if (updateVersion) return AppStrings::menuTooltipUpdate(*updateVersion);
    if (snapshot.missingCount() > 0) return AppStrings::menuTooltipNeedsSetup(snapshot.missingCount());
    if (!sttReady) return AppStrings::menuTooltipSignIn(provider);
    return AppStrings::menuTooltipDefault();
}

void MenuBarController::updateStatus(const PermissionsSnapshot& snapshot, bool sttReady, const std::string& provider,
                                     bool workRunning) {
    std::optional<std::string> version;
    if (updater_.updateAvailable()) version = updater_.availableVersion().value_or(std::string());
    view_.setToolTip(tooltip(version, snapshot, sttReady, provider));
    showSetupBadge_ = version.has_value() || snapshot.missingCount() > 0 || !sttReady;
    // A state's symbol (done, error…) stays until the controller returns the icon to idle.
    if (!workRunning && symbol_ == kIdleSymbol) applyBarIcon(symbol_, showSetupBadge_);
}

void MenuBarController::showPopover() {
    if (onShowPopover) onShowPopover();
}

}  // namespace veska
