#include "main/app/Interim.h"

#include "main/app/Unbuilt.h"

namespace veska::app {

void InterimChatGPTLogin::show(bool /*forceRelogin*/) {
    if (hud != nullptr) hud->show(HUDState::info(notInThisVersion("Cửa sổ đăng nhập", "The sign-in window")));
}

void InterimWebLogin::showLogin(bool /*forceRelogin*/) {
    if (hud != nullptr) hud->show(HUDState::info(notInThisVersion("Cửa sổ đăng nhập", "The sign-in window")));
}

void InterimDashboard::show(const std::string& /*urlString*/) {
    if (hud != nullptr) hud->show(HUDState::info(notInThisVersion("Bảng cài đặt", "The settings dashboard")));
}

}  // namespace veska::app
