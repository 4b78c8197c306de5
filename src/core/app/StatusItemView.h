// The status item's view: the icon in the panel's tray, its tooltip, and the entries the user
// can reach from it. `MenuBarController` decides what it shows; the platform draws it.
#pragma once

#include <functional>
#include <string>

#include "core/ui/DesignTokens.h"

namespace veska {

/// The commands the status item offers (the delegate's actions of the same names).
enum class StatusAction {
    cancelWork,
    openDash,
    openPerms,
    loginGPT,
    toggleLaunchLogin,
    quit,
};

/// The status item as drawn by the platform. Lives on the main executor; every callback is
/// called there.
class StatusItemView {
public:
    virtual ~StatusItemView() = default;

    /// A click on the item (opens the status popover).
    std::function<void()> onActivate;
    /// An entry of the item's menu was chosen.
    std::function<void(StatusAction action)> onAction;

    /// Whether the platform can draw `symbolName` (a symbol of the HUD's icon set).
    [[nodiscard]] virtual bool hasSymbol(const std::string& symbolName) const = 0;
    /// Puts the item on screen (once, at start-up).
    virtual void show() = 0;
    /// The icon: `symbolName` drawn as `image` says (template tint, blank stand-in, badge dot).
    virtual void setImage(const std::string& symbolName, const DesignTokens::StatusBarImage& image) = 0;
    virtual void setToolTip(const std::string& text) = 0;
    /// The menu's cancel entry.
    virtual void setCancelEnabled(bool enabled) = 0;
    /// The check mark of the menu's launch-at-login entry.
    virtual void setLaunchAtLoginChecked(bool checked) = 0;
};

}  // namespace veska
