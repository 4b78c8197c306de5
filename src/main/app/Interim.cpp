#include "main/app/Interim.h"

#include "main/app/Unbuilt.h"

namespace veska::app {

void InterimSignInStatus::openClaudeLogin(bool /*forceRelogin*/) {
    hud_.show(HUDState::info(notInThisVersion("Cửa sổ đăng nhập", "The sign-in window")));
}

void InterimSignInStatus::openDashboard() {
    hud_.show(HUDState::info(notInThisVersion("Bảng cài đặt", "The settings dashboard")));
}

}  // namespace veska::app
