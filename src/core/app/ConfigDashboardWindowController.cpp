#include "core/app/ConfigDashboardWindowController.h"

#include <cctype>

#include "core/ui/AppStrings.h"
#include "text/Ascii.h"

namespace veska {

namespace {

[[nodiscard]] bool isSchemeChar(char c, bool first) {
    const auto byte = static_cast<unsigned char>(c);
    if (std::isalpha(byte) != 0) return true;
    return !first && (std::isdigit(byte) != 0 || c == '+' || c == '-' || c == '.');
}

[[nodiscard]] std::string lowerScheme(std::string_view url) {
    const auto colon = url.find(':');
    if (colon == std::string_view::npos) return {};
    return text::asciiLowered(url.substr(0, colon));
}

}  // namespace

ConfigDashboardWindowController::ConfigDashboardWindowController(DashboardWebView& view) : view_(view) {
    view_.decideNavigation = [this](const std::string& url) { return decide(url); };
    view_.onNavigationFinished = [this] { applyApp(); };
}

ConfigDashboardWindowController::~ConfigDashboardWindowController() {
    view_.decideNavigation = nullptr;
    view_.onNavigationFinished = nullptr;
}

bool ConfigDashboardWindowController::parsesAsURL(std::string_view text) {
    const auto colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0 || colon + 1 == text.size()) return false;
    for (std::size_t i = 0; i < colon; ++i) {
        if (!isSchemeChar(text[i], i == 0)) return false;
    }
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7f) return false;
    }
    return true;
}

bool ConfigDashboardWindowController::isDeepLink(std::string_view url) {
    return lowerScheme(url) == kDeepLinkScheme;
}

void ConfigDashboardWindowController::show(const std::string& urlString) {
    const std::string url = parsesAsURL(urlString) ? urlString : std::string(kDefaultURL);
    lastURL_ = url;
    if (!view_.exists()) view_.create(AppStrings::dashboardTitle());
    view_.load(url, kLoadTimeoutSeconds);
    view_.bringToFront();
}

void ConfigDashboardWindowController::reload() {
    if (!lastURL_ || !view_.exists()) return;
    view_.load(*lastURL_, kLoadTimeoutSeconds);
}

void ConfigDashboardWindowController::pushPerms(const PermissionsSnapshot& snapshot) {
    if (!view_.exists()) return;
    view_.evaluate(setPermsScript(snapshot));
}

void ConfigDashboardWindowController::applyApp() {
    if (!appJSON || !view_.exists()) return;
    view_.evaluate(setAppScript(*appJSON));
}

std::string ConfigDashboardWindowController::setAppScript(std::string_view appJSON) {
    return "window.__veskaSetApp && window.__veskaSetApp(" + std::string(appJSON) + ")";
}

std::string ConfigDashboardWindowController::setPermsScript(const PermissionsSnapshot& snapshot) {
    const auto literal = [](bool value) { return value ? "true" : "false"; };
    return std::string("window.__veskaSetPerms && window.__veskaSetPerms({mic:") + literal(snapshot.mic) +
           ",ax:" + literal(snapshot.ax) + ",im:" + literal(snapshot.im) + "})";
}

bool ConfigDashboardWindowController::decide(const std::string& url) {
    if (!isDeepLink(url)) return true;
    if (onDeepLink) onDeepLink(url);
    return false;
}

}  // namespace veska
