// The web engine's parts on Qt WebEngine: the shared profile and the views on it.
#pragma once

#include "platform/linux/webengine/QtWebProfile.h"
#include "platform/linux/webengine/WebEngineParts.h"

namespace veska::platform {

/// Owns the shared `QtWebProfile`; every view it makes runs its page on that profile. GUI thread.
class QtWebEngineParts final : public WebEngineParts {
public:
    explicit QtWebEngineParts(const std::string& storagePath) : profile_(storagePath) {}

    [[nodiscard]] ports::WebCookieStore& cookies() override { return profile_; }
    [[nodiscard]] std::unique_ptr<DashboardWebView> dashboardView(const std::string& framesFile) override;
    [[nodiscard]] std::unique_ptr<ChatGPTLoginView> chatgptLoginView() override;

private:
    QtWebProfile profile_;
};

}  // namespace veska::platform
