// Stand-ins for the status item, the sign-in status and the windows until their own
// implementations are wired in: each says on the HUD what is missing when the user asks for it.
#pragma once

#include "core/app/AppCollaborators.h"
#include "core/ui/FloatingHUD.h"

namespace veska::app {

/// The ChatGPT, Claude and Grok sign-in windows. `hud` is set once the HUD exists.
class InterimChatGPTLogin final : public ChatGPTLoginWindow {
public:
    void show(bool forceRelogin) override;
    void close() override {}
    FloatingHUD* hud = nullptr;
};

class InterimWebLogin final : public WebLoginWindow {
public:
    void showLogin(bool forceRelogin) override;
    FloatingHUD* hud = nullptr;
};

class InterimStatusMenu final : public StatusMenu {
public:
    void install() override {}
    void setIcon(const std::string& /*symbolName*/, bool /*setupBadge*/) override {}
    void setCancelEnabled(bool /*enabled*/) override {}
    void setLaunchAtLoginChecked(bool /*checked*/) override {}
    void updateStatus(const PermissionsSnapshot& /*snapshot*/, bool /*sttReady*/, const std::string& /*provider*/,
                      bool /*workRunning*/) override {}
    void showPopover() override {}
};

class InterimDashboard final : public DashboardWindow {
public:
    void show(const std::string& urlString) override;
    void reload() override {}
    void pushPerms(const PermissionsSnapshot& /*snapshot*/) override {}
    void applyApp() override {}
    [[nodiscard]] bool isOpen() const override { return false; }
    FloatingHUD* hud = nullptr;
};

}  // namespace veska::app
