// The Claude web session: cookies, the account check, the dictation language, signing out.
#include "core/voice/ClaudeSession.h"

#include <algorithm>

#include <nlohmann/json.hpp>

#include "core/app/ServiceConfig.h"
#include "core/voice/ClaudeVoiceSession.h"
#include "core/web/WebIdentity.h"

namespace veska {

namespace {

bool isSessionCookie(const ports::WebCookie& cookie, std::string_view host, double now) {
    if (!cookieDomainIsHost(cookie.domain, host)) return false;
    if (cookie.expires && !(*cookie.expires > now)) return false;
    return cookie.path.starts_with("/");
}

ClaudeSession::Account readAccount(const std::string& body, std::optional<std::string>& language) {
    const nlohmann::json root = nlohmann::json::parse(body, nullptr, /*allow_exceptions=*/false);
    if (!root.is_object()) return ClaudeSession::Account::unknown();
    language = std::string();
    if (auto settings = root.find("settings"); settings != root.end() && settings->is_object()) {
        auto code = settings->find("voice_language_code");
        if (code != settings->end() && code->is_string()) language = code->get<std::string>();
    }
    std::optional<std::string> email;
    if (auto found = root.find("email_address"); found != root.end() && found->is_string()) {
        email = found->get<std::string>();
    }
    return ClaudeSession::Account::signedIn(std::move(email));
}

}  // namespace

ClaudeSession::ClaudeSession(ClaudeSessionServices services)
    : services_(std::move(services)), host_(urlHost(services_.claudeURL)) {}

rt::Task<std::optional<ClaudeSession::Credentials>> ClaudeSession::credentials() {
    std::vector<ports::WebCookie> all = co_await services_.cookies.all();
    const double now = services_.main.wallNow();
    Credentials found;
    bool hasSessionKey = false;
    for (const auto& cookie : all) {
        if (!isSessionCookie(cookie, host_, now)) continue;
        if (cookie.name == "sessionKey" && !cookie.value.empty()) hasSessionKey = true;
        if (cookie.name == "lastActiveOrg") found.organization = cookie.value;
        if (!found.cookieHeader.empty()) found.cookieHeader += "; ";
        found.cookieHeader += cookie.name + "=" + cookie.value;
    }
    if (!hasSessionKey) co_return std::nullopt;
    co_return found;
}

rt::Task<ClaudeSession::Account> ClaudeSession::checkAccount() {
    std::optional<Credentials> credentials = co_await this->credentials();
    if (!credentials) co_return Account::signedOut();
    ports::HttpRequest request;
    request.url = joinURL(services_.claudeURL, "/api/account");
    request.timeoutSeconds = kAccountTimeoutSeconds;
    request.headers.add("Cookie", credentials->cookieHeader);
    request.headers.add("User-Agent", std::string(kBrowserUserAgent));
    request.headers.add("Accept", "application/json");
    ports::HttpResponse response;
    ports::HttpBodyText body;
    try {
        response = co_await services_.http.send(std::move(request));
        if (response.status == 200) body = co_await response.body.readAll(kMaxAccountBytes);
    } catch (const ports::HttpError&) {
        co_return Account::unknown();
    }
    if (response.status == 401) co_return Account::signedOut();
    if (response.status == 403) {
        // A browser check (Cloudflare) is not a sign-out; only the service's own JSON refusal is.
        const bool mitigated = response.headers.contains("cf-mitigated");
        const bool json = response.headers.value("Content-Type").value_or("").find("json") != std::string::npos;
        co_return !mitigated && json ? Account::signedOut() : Account::unknown();
    }
    if (response.status != 200 || body.truncated) co_return Account::unknown();
    std::optional<std::string> language;
    Account account = readAccount(body.bytes, language);
    if (language) setAccountLanguage(std::move(language));
    co_return account;
}

std::string ClaudeSession::dictationLanguage() const {
    if (auto language = accountLanguage(); language && !language->empty()) return *language;
    const auto& supported = ClaudeVoiceSession::supportedLanguages();
    for (std::string tag : services_.languages.preferredLanguages()) {
        std::replace(tag.begin(), tag.end(), '_', '-');
        if (supported.contains(tag)) return tag;
        if (tag.starts_with("zh-Hans")) return "zh-CN";
        std::string base = tag.substr(0, tag.find('-'));
        if (supported.contains(base)) return base;
    }
    return "en";
}

rt::Task<void> ClaudeSession::clearClaudeCookies() {
    std::vector<ports::WebCookie> all = co_await services_.cookies.all();
    for (auto& cookie : all) {
        if (!cookieDomainIsHost(cookie.domain, host_) && !cookieDomainWithin(cookie.domain, services_.companyDomain)) {
            continue;
        }
        co_await services_.cookies.remove(std::move(cookie));
    }
    setAccountLanguage(std::nullopt);
}

std::optional<std::string> ClaudeSession::accountLanguage() const {
    std::lock_guard lock(mutex_);
    return accountLanguage_;
}

void ClaudeSession::setAccountLanguage(std::optional<std::string> language) {
    std::lock_guard lock(mutex_);
    accountLanguage_ = std::move(language);
}

}  // namespace veska
