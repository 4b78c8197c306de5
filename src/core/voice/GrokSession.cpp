// The Grok console session's cookies, reading rates, default voices and sign-in page.
#include "core/voice/GrokSession.h"

#include <algorithm>

#include "core/app/UserDefaults.h"
#include "runtime/Sleep.h"
#include "text/Ascii.h"

namespace veska::GrokSession {

namespace {

constexpr char kSessionCookie[] = "sso";

bool inDomain(const ports::WebCookie& cookie, const std::string& domain) {
    return text::asciiLowered(cookie.domain).ends_with(text::asciiLowered(domain));
}

std::string percentEncoded(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        const bool plain = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
                           c == '-' || c == '.' || c == '_' || c == '~';
        if (plain) {
            out += c;
            continue;
        }
        out += '%';
        out += kHex[byte >> 4];
        out += kHex[byte & 15];
    }
    return out;
}

}  // namespace

const std::vector<Voice>& defaultVoices() {
    static const std::vector<Voice> voices{{"eve", "Eve"}, {"ara", "Ara"}, {"leo", "Leo"}, {"rex", "Rex"}};
    return voices;
}

double rate(const ports::Preferences& prefs) {
    const std::optional<double> stored = UserDefaults::ttsRate(prefs);
    if (stored && std::find(rates.begin(), rates.end(), *stored) != rates.end()) return *stored;
    return 1.0;
}

std::string loginURL(const ServiceConfig& config) {
    return joinURL(config.url(Service::xaiAccounts), "/sign-in") +
           "?redirect=" + percentEncoded(config.url(Service::xaiConsole));
}

rt::Task<std::optional<std::string>> cookieHeader(ports::WebCookieStore* store, std::string domain) {
    std::vector<ports::WebCookie> cookies = co_await store->all();
    const double now = (co_await rt::currentExecutor()).wallNow();
    std::string header;
    bool signedIn = false;
    for (const ports::WebCookie& cookie : cookies) {
        if (!inDomain(cookie, domain)) continue;
        if (cookie.expires && *cookie.expires <= now) continue;
        if (cookie.name == kSessionCookie && !cookie.value.empty()) signedIn = true;
        if (!header.empty()) header += "; ";
        header += cookie.name + "=" + cookie.value;
    }
    if (!signedIn) co_return std::nullopt;
    co_return header;
}

rt::Task<void> clearCookies(ports::WebCookieStore* store, std::string domain) {
    std::vector<ports::WebCookie> cookies = co_await store->all();
    for (ports::WebCookie& cookie : cookies) {
        if (!inDomain(cookie, domain)) continue;
        co_await store->deleteCookie(std::move(cookie));
    }
}

}  // namespace veska::GrokSession
