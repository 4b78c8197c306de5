// The web engine's parts on Qt WebEngine.
#include "platform/linux/webengine/QtWebEngineParts.h"

#include "platform/linux/webengine/QtChatGPTLoginView.h"
#include "platform/linux/webengine/QtDashboardWebView.h"

namespace veska::platform {

std::unique_ptr<DashboardWebView> QtWebEngineParts::dashboardView(const std::string& framesFile) {
    return std::make_unique<QtDashboardWebView>([this] { return profile_.profile(); }, framesFile);
}

std::unique_ptr<ChatGPTLoginView> QtWebEngineParts::chatgptLoginView() {
    return std::make_unique<QtChatGPTLoginView>([this] { return profile_.profile(); });
}

}  // namespace veska::platform
