// Stand-ins for the status item, the sign-in status and the windows until their own
// implementations are wired in: each says on the HUD what is missing when the user asks for it.
#pragma once

#include "core/app/AppCollaborators.h"
#include "core/ui/FloatingHUD.h"

namespace veska::app {

class InterimSignInStatus final : public SignInStatus {
public:
    explicit InterimSignInStatus(FloatingHUD& hud) : hud_(hud) {}
    void refreshPermissionsMenu() override {}
    void startStatusPolling() override {}
    rt::Task<void> refreshMenuStatus() override { co_return; }
    void refreshClaudeAccount(bool /*force*/) override {}
    void noteClaudeAccount(const ClaudeAccount& /*account*/) override {}
    void noteGrok(bool /*signedIn*/) override {}
    void openClaudeLogin(bool forceRelogin) override;
    void openDashboard() override;

private:
    FloatingHUD& hud_;
};

class InterimStatusMenu final : public StatusMenu {
public:
    void install() override {}
    void setIcon(const std::string& /*symbolName*/, bool /*setupBadge*/) override {}
    void setCancelEnabled(bool /*enabled*/) override {}
    void setLaunchAtLoginChecked(bool /*checked*/) override {}
};

class InterimDashboard final : public DashboardWindow {
public:
    void pushAppState() override {}
};

}  // namespace veska::app
