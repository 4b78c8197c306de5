// What the web engine module offers the program: the shared web profile's cookie store and the
// two windows that show web pages. Nothing here needs Qt WebEngine's headers.
#pragma once

#include <memory>
#include <string>

#include "core/app/ChatGPTLoginView.h"
#include "core/app/DashboardWebView.h"
#include "ports/WebCookieStore.h"

namespace veska::platform {

/// The app's one web profile (its engine started when the parts are made) and the views on it.
/// Lives on the Qt GUI thread, after the application object, for as long as the program runs
/// web pages; the views it makes must go before it.
class WebEngineParts {
public:
    virtual ~WebEngineParts() = default;

    /// The profile's cookie store, used from the main executor.
    [[nodiscard]] virtual ports::WebCookieStore& cookies() = 0;
    /// The settings dashboard's window (built on `create`), its frame kept in `framesFile`.
    [[nodiscard]] virtual std::unique_ptr<DashboardWebView> dashboardView(const std::string& framesFile) = 0;
    /// The ChatGPT sign-in window (built on `create`).
    [[nodiscard]] virtual std::unique_ptr<ChatGPTLoginView> chatgptLoginView() = 0;
};

/// The web engine module: its file in the app's PlugIns folder, the version of this interface
/// it must report, and its entry point, which starts the profile stored in `storagePath` (a
/// directory, created if needed) and returns the parts, owned by the caller. Bump the version
/// whenever this interface, or any type the module shares with the program, changes.
inline constexpr const char* kWebEngineModuleName = "veska-webengine";
inline constexpr int kWebEngineModuleVersion = 1;
inline constexpr const char* kWebEnginePartsEntry = "veska_webengine_parts";
using WebEnginePartsEntry = WebEngineParts*(const char* storagePath);

}  // namespace veska::platform
