#include "core/web/ChatGPTSession.h"

#include <algorithm>

#include "text/Ascii.h"

namespace veska {

namespace {

[[nodiscard]] std::optional<std::string> nonEmptyString(const nlohmann::json& object, const char* key) {
    auto it = object.find(key);
    if (it == object.end() || !it->is_string()) return std::nullopt;
    std::string value = it->get<std::string>();
    if (value.empty()) return std::nullopt;
    return value;
}

}  // namespace

ChatGPTSession::ChatGPTSession(rt::Executor& main, WebCookieJar& jar, ports::HttpClient& http,
                               ChatGPTSessionConfig config)
    : main_(main), jar_(jar), http_(http), config_(std::move(config)) {}

ChatGPTSession::~ChatGPTSession() { refreshTimer_.cancel(); }

std::string ChatGPTSession::loginURL() const { return config_.origin + std::string(kLoginPath); }

bool ChatGPTSession::isChatGPTDomain(std::string_view domain, const std::vector<std::string>& domains) {
    const std::string lower = text::asciiLowered(domain);
    return std::any_of(domains.begin(), domains.end(), [&](const std::string& registrable) {
        return !registrable.empty() && lower.find(text::asciiLowered(registrable)) != std::string::npos;
    });
}

rt::Task<std::vector<ports::WebCookie>> ChatGPTSession::allChatGPTCookies() {
    std::vector<ports::WebCookie> all = co_await jar_.all();
    std::vector<ports::WebCookie> mine;
    for (ports::WebCookie& cookie : all) {
        if (isChatGPTDomain(cookie.domain, config_.cookieDomains)) mine.push_back(std::move(cookie));
    }
    co_return mine;
}

rt::Task<bool> ChatGPTSession::hasSessionCookie() {
    const std::vector<ports::WebCookie> cookies = co_await allChatGPTCookies();
    co_return std::any_of(cookies.begin(), cookies.end(),
                          [](const ports::WebCookie& cookie) { return cookie.name.starts_with(kSessionCookiePrefix); });
}

std::optional<std::string> ChatGPTSession::tokenFrom(const nlohmann::json& session) {
    if (!session.is_object()) return std::nullopt;
    if (auto token = nonEmptyString(session, "accessToken")) return token;
    if (auto token = nonEmptyString(session, "access_token")) return token;
    auto nested = session.find("token");
    if (nested == session.end() || !nested->is_object()) return std::nullopt;
    return nonEmptyString(*nested, "accessToken");
}

rt::Task<std::optional<ChatGPTToken>> ChatGPTSession::fetchAccessToken() {
    const std::vector<ports::WebCookie> cookies = co_await allChatGPTCookies();
    if (cookies.empty()) co_return std::nullopt;
    std::string cookieHeader;
    for (const ports::WebCookie& cookie : cookies) {
        if (!cookieHeader.empty()) cookieHeader += "; ";
        cookieHeader += cookie.name + "=" + cookie.value;
    }
    ports::HttpRequest request;
    request.url = config_.origin + std::string(kSessionPath);
    request.timeoutSeconds = kTimeoutSeconds;
    request.headers.set("User-Agent", std::string(kUserAgent));
    request.headers.set("Referer", config_.origin + "/");
    request.headers.set("Cookie", std::move(cookieHeader));
    std::string body;
    try {
        ports::HttpResponse response = co_await http_.send(std::move(request));
        if (response.status != 200) co_return std::nullopt;
        ports::HttpBodyText text = co_await response.body.readAll(kMaxAnswerBytes);
        if (text.truncated) co_return std::nullopt;
        body = std::move(text.bytes);
    } catch (const std::exception&) {
        // No answer (or a malformed cookie header the client refused): no token.
        co_return std::nullopt;
    }
    nlohmann::json session = nlohmann::json::parse(body, nullptr, false);
    if (!session.is_object()) co_return std::nullopt;
    std::optional<std::string> token = tokenFrom(session);
    if (!token) co_return std::nullopt;
    co_return ChatGPTToken{std::move(*token), std::move(session)};
}

rt::Task<void> ChatGPTSession::clearChatGPTCookies() {
    const std::vector<ports::WebCookie> cookies = co_await allChatGPTCookies();
    if (cookies.empty()) co_return;
    std::vector<rt::JoinHandle<void>> deletions;
    deletions.reserve(cookies.size());
    for (const ports::WebCookie& cookie : cookies) deletions.push_back(rt::spawn(main_, jar_.remove(cookie)));
    for (rt::JoinHandle<void>& deletion : deletions) co_await deletion.join();
}

void ChatGPTSession::startAutoRefresh(double everySeconds, OnToken onUpdate) {
    onToken_ = std::move(onUpdate);
    refreshTimer_.cancel();
    refreshOn_ = true;
    refreshTimer_ = main_.every(everySeconds, [this] {
        refreshing_ = scope_.spawn(main_, refreshOnce());
    });
    refreshing_ = scope_.spawn(main_, refreshOnce());
}

void ChatGPTSession::stopAutoRefresh() {
    refreshTimer_.cancel();
    refreshOn_ = false;
    refreshing_ = {};
}

rt::Task<void> ChatGPTSession::refreshOnce() {
    std::optional<ChatGPTToken> token = co_await fetchAccessToken();
    if (!token || !onToken_) co_return;
    OnToken onToken = onToken_;
    onToken(token->token, token->session);
}

}  // namespace veska
