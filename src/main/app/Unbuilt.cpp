#include "main/app/Unbuilt.h"

#include "core/ui/AppStrings.h"

namespace veska::app {

std::string notInThisVersion(std::string_view viFeature, std::string_view enFeature) {
    return AppStrings::pick(std::string(viFeature) + " chưa có trong phiên bản Veska này",
                            std::string(enFeature) + " is not in this version of Veska");
}

void UnbuiltSelectionActions::tell(std::string_view viFeature, std::string_view enFeature) {
    hud_.show(HUDState::info(notInThisVersion(viFeature, enFeature)));
}

void UnbuiltSelectionActions::readSelection() {
    tell("Đọc to", "Reading aloud");
}
void UnbuiltSelectionActions::translateSelection() {
    tell("Dịch vùng chọn", "Translating the selection");
}
void UnbuiltSelectionActions::fixSelection() {
    tell("Sửa vùng chọn", "Fixing the selection");
}
void UnbuiltSelectionActions::cycleReadingRate() {
    tell("Đọc to", "Reading aloud");
}
void UnbuiltSelectionActions::listenOriginal() {
    tell("Đọc to", "Reading aloud");
}
void UnbuiltSelectionActions::listenTranslation() {
    tell("Đọc to", "Reading aloud");
}
void UnbuiltSelectionActions::replaceWithTranslation() {
    tell("Thẻ dịch", "The translation card");
}
void UnbuiltSelectionActions::signInForTranslation() {
    tell("Cửa sổ đăng nhập", "The sign-in window");
}
void UnbuiltSelectionActions::showTranslateTargetMenu() {
    tell("Thẻ dịch", "The translation card");
}
void UnbuiltSelectionActions::translateFromService(const std::string& /*text*/) {
    tell("Dịch vùng chọn", "Translating the selection");
}
void UnbuiltSelectionActions::readText(const std::string& /*text*/) {
    tell("Đọc to", "Reading aloud");
}

void UnbuiltWebLoginWindow::showLogin(bool /*forceRelogin*/) {
    hud_.show(HUDState::info(notInThisVersion("Cửa sổ đăng nhập", "The sign-in window")));
}

}  // namespace veska::app
