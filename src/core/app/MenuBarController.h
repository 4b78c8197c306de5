// The status item's logic: its icon and badge, its tooltip, and its menu's two live entries.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "core/app/AppCollaborators.h"
#include "core/app/StatusItemView.h"
#include "core/ui/HUDState.h"

namespace veska {

/// Drives the platform's status item (`StatusItemView`) for the controller: which symbol it
/// shows and whether it carries the setup badge, which tooltip it has, and the state of the
/// menu's cancel and launch-at-login entries. Lives on the main executor for the process; the
/// view and the updater outlive it.
class MenuBarController final : public StatusMenu {
public:
    /// The symbol shown while nothing runs.
    static constexpr std::string_view kIdleSymbol = "waveform";

    MenuBarController(StatusItemView& view, UpdaterHooks& updater);
    MenuBarController(const MenuBarController&) = delete;
    MenuBarController& operator=(const MenuBarController&) = delete;
    ~MenuBarController() override;

    /// A click on the item: the status popover opens (set by whoever shows the popover).
    std::function<void()> onShowPopover;

    void install() override;
    void setIcon(const std::string& symbolName, bool setupBadge) override { applyBarIcon(symbolName, setupBadge); }
    void setCancelEnabled(bool enabled) override;
    void setLaunchAtLoginChecked(bool checked) override;
    void updateStatus(const PermissionsSnapshot& snapshot, bool sttReady, const std::string& provider,
                      bool workRunning) override;
    void showPopover() override;

    /// Draws `symbol` (a blank stand-in when the platform lacks it), with or without the badge.
    void applyBarIcon(const std::string& symbol, bool badge);
    /// The symbol of a HUD state.
    [[nodiscard]] static std::string hudSymbol(const HUDState& state);

    /// The tooltip for the given state: an update first, then missing permissions, then a
    /// speech source not signed in, otherwise the default.
    [[nodiscard]] static std::string tooltip(const std::optional<std::string>& updateVersion,
                                             const PermissionsSnapshot& snapshot, bool sttReady,
                                             std::string_view provider);

    [[nodiscard]] bool showSetupBadge() const { return showSetupBadge_; }
    [[nodiscard]] bool cancelEnabled() const { return cancelEnabled_; }
    [[nodiscard]] bool launchAtLoginChecked() const { return launchAtLoginChecked_; }

private:
    StatusItemView& view_;
    UpdaterHooks& updater_;
    bool installed_ = false;
    /// The symbol on screen.
    std::string symbol_{kIdleSymbol};
    bool showSetupBadge_ = false;
    bool cancelEnabled_ = false;
    bool launchAtLoginChecked_ = false;
};

}  // namespace veska
