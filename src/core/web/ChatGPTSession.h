// The user's ChatGPT web session: its cookies in the shared web store, the access token they
// give, and the token's periodic refresh.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/web/WebCookieJar.h"
#include "ports/HttpClient.h"
#include "runtime/Executor.h"
#include "runtime/Spawn.h"
#include "runtime/Task.h"

namespace veska {

/// Where the ChatGPT web service is and which cookies are its own.
struct ChatGPTSessionConfig {
    /// The service's origin, without a trailing "/" (the sign-in and session paths hang off it).
    std::string origin;
    /// Registrable domains whose cookies belong to the session (the service's and OpenAI's).
    std::vector<std::string> cookieDomains{"chatgpt.com", "openai.com"};
};

/// The web application's access token and the session answer it came in.
struct ChatGPTToken {
    std::string token;
    /// The whole session answer (a JSON object).
    std::optional<nlohmann::json> session;
};

/// Reads the ChatGPT cookies of the shared store, exchanges them for an access token and keeps
/// the token fresh on a timer. Lives on the main executor for the process; the cookie jar and
/// the HTTP client outlive it. Network and parsing failures give no token and report nothing.
class ChatGPTSession {
public:
    using OnToken = std::function<void(const std::string& token, const std::optional<nlohmann::json>& session)>;

    /// The name every chunk of the session cookie starts with.
    static constexpr std::string_view kSessionCookiePrefix = "__Secure-next-auth.session-token";
    static constexpr std::string_view kSessionPath = "/api/auth/session";
    static constexpr std::string_view kLoginPath = "/auth/login";
    static constexpr std::string_view kUserAgent =
        "Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/605.1.15 (KHTML, like Gecko) Version/17.0 "
        "Safari/605.1.15";
    static constexpr double kTimeoutSeconds = 60;
    /// The longest session answer read.
    static constexpr std::size_t kMaxAnswerBytes = std::size_t{1} << 20;

    ChatGPTSession(rt::Executor& main, WebCookieJar& jar, ports::HttpClient& http, ChatGPTSessionConfig config);
    ChatGPTSession(const ChatGPTSession&) = delete;
    ChatGPTSession& operator=(const ChatGPTSession&) = delete;
    ~ChatGPTSession();

    [[nodiscard]] const ChatGPTSessionConfig& config() const { return config_; }
    /// The sign-in page's URL.
    [[nodiscard]] std::string loginURL() const;

    /// Every cookie of the store whose domain contains one of the configured domains.
    rt::Task<std::vector<ports::WebCookie>> allChatGPTCookies();
    /// Whether a ChatGPT cookie is (a chunk of) the session cookie.
    rt::Task<bool> hasSessionCookie();
    /// Exchanges the ChatGPT cookies for the access token; nothing on any failure.
    rt::Task<std::optional<ChatGPTToken>> fetchAccessToken();
    /// Deletes every ChatGPT cookie, all at once, and returns when each deletion is done.
    rt::Task<void> clearChatGPTCookies();

    /// Fetches a token now and every `everySeconds`, handing each to `onUpdate`; replaces a
    /// refresh already running.
    void startAutoRefresh(double everySeconds, OnToken onUpdate);
    /// Stops the refresh (and a fetch it has under way).
    void stopAutoRefresh();
    [[nodiscard]] bool autoRefreshRunning() const { return refreshOn_; }

    /// The token of a session answer: the first non-empty of "accessToken", "access_token" and
    /// "token"."accessToken"; nothing when none is a non-empty string.
    [[nodiscard]] static std::optional<std::string> tokenFrom(const nlohmann::json& session);
    /// Whether `domain` belongs to one of `domains` (contains it, in any letter case).
    [[nodiscard]] static bool isChatGPTDomain(std::string_view domain, const std::vector<std::string>& domains);

private:
    rt::Task<void> refreshOnce();

    rt::Executor& main_;
    WebCookieJar& jar_;
    ports::HttpClient& http_;
    ChatGPTSessionConfig config_;
    OnToken onToken_;
    rt::Timer refreshTimer_;
    bool refreshOn_ = false;
    rt::JoinHandle<void> refreshing_;
    rt::Scope scope_;
};

}  // namespace veska
