// The status item's menu entries in both interface languages.
#include "core/ui/AppStrings.h"

namespace veska::AppStrings {

std::string menuStop() {
    return pick("Dừng (Esc)", "Stop (Esc)");
}
std::string menuSettings() {
    return pick("Cài đặt…", "Settings…");
}
std::string menuPermissions() {
    return pick("Quyền…", "Permissions…");
}
std::string menuSignInChatGPT() {
    return pick("Đăng nhập ChatGPT…", "Sign in to ChatGPT…");
}
std::string menuOpenAtLogin() {
    return pick("Mở cùng hệ thống", "Open at login");
}
std::string menuQuit() {
    return pick("Thoát Veska", "Quit Veska");
}

}  // namespace veska::AppStrings
