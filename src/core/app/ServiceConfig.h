// The base URL of every remote service and the service names shown in messages.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json_fwd.hpp>

#include "core/ui/AppStrings.h"
#include "ports/Environment.h"

namespace veska {

/// The remote services Veska talks to.
enum class Service {
    claude,       ///< Claude web service: voice stream, account, sign-in
    xaiConsole,   ///< xAI console: tokens, client secrets, voices, speech
    xaiAccounts,  ///< xAI accounts sign-in page
    xaiAPI,       ///< xAI API: realtime WebSocket, regional clusters
    chatgpt,      ///< ChatGPT web service: session, sign-in, web page
    gemini,       ///< Gemini API
    deepseek,     ///< DeepSeek API
    update,       ///< the download site of updates
};

inline constexpr std::size_t kServiceCount = 8;

/// A snapshot of the service configuration, read once at start-up. Each base URL defaults to
/// the real service (a ".invalid" placeholder where there is none), is overridden by the
/// "services" object of v2.json (e.g. "gemini_url"), and the environment (e.g.
/// "VESKA_GEMINI_URL") wins over both. Base URLs never end with "/".
struct ServiceConfig {
    std::array<std::string, kServiceCount> urls;
    AppStrings::ServiceNames names;  ///< "claude_display_name" and "xai_domain" in "services"

    /// The real services and the default names.
    [[nodiscard]] static ServiceConfig defaults();

    /// Reads v2.json in the configuration directory and the environment. A missing or corrupt
    /// file, or a value that is not a non-empty string, leaves the default in place.
    [[nodiscard]] static ServiceConfig load(const ports::Environment& env);

    /// Same rules, with the text of v2.json given (nothing when the file could not be read).
    [[nodiscard]] static ServiceConfig resolve(const ports::Environment& env,
                                               const std::optional<std::string>& v2Json);

    /// The base URL of `service`, without a trailing "/".
    [[nodiscard]] const std::string& url(Service service) const;

    /// The environment variable of `service`, e.g. "VESKA_GEMINI_URL".
    [[nodiscard]] static std::string_view variable(Service service);
    /// The key of `service` in the "services" object, e.g. "gemini_url".
    [[nodiscard]] static std::string_view jsonKey(Service service);
};

/// The WebSocket form of an HTTP URL: "http" becomes "ws", "https" becomes "wss"; any other
/// URL is returned unchanged.
[[nodiscard]] std::string webSocketURL(std::string_view httpURL);

/// `base` and `path` joined by exactly one "/" ("https://a.b" + "v1/x" or "/v1/x").
[[nodiscard]] std::string joinURL(std::string_view base, std::string_view path);

}  // namespace veska
