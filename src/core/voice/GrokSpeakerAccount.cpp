// The Grok account half of GrokSpeaker: key, proofs, access token, realtime secrets, voices.
#include <cmath>

#include <nlohmann/json.hpp>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include "core/ai/BrowserUserAgent.h"
#include "core/ai/TranslateError.h"
#include "core/voice/GrokSpeaker.h"
#include "runtime/Check.h"

namespace veska {

namespace {

GrokSpeaker* sharedInstance = nullptr;

constexpr char kTokenPath[] = "/v1/dpop/token";
constexpr char kSecretPath[] = "/v1/realtime/client_secrets";
constexpr char kVoicesPath[] = "/v1/tts/voices";
/// Longest console answer read; a longer one is cut and then fails to parse.
constexpr std::size_t kMaxAnswerBytes = std::size_t{1024} * 1024;
constexpr std::size_t kCoordinateBytes = 32;
constexpr std::size_t kJtiBytes = 16;

nlohmann::json parsed(const std::string& body) {
    return nlohmann::json::parse(body, nullptr, /*allow_exceptions=*/false);
}

/// The string member `name` of a JSON object; nothing when absent or of another type.
std::optional<std::string> stringMember(const nlohmann::json& object, const char* name) {
    if (!object.is_object()) return std::nullopt;
    auto it = object.find(name);
    if (it == object.end() || !it->is_string()) return std::nullopt;
    return it->get<std::string>();
}

/// Each word (between spaces, tabs and line ends) with its first letter upper-case and the
/// rest lower-case.
std::string capitalized(const std::string& text) {
    icu::UnicodeString source = icu::UnicodeString::fromUTF8(text);
    icu::UnicodeString out;
    bool wordStart = true;
    for (int32_t i = 0; i < source.length();) {
        const UChar32 c = source.char32At(i);
        i += U16_LENGTH(c);
        const bool separator = c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == 0x2028 || c == 0x2029;
        if (separator) {
            out.append(c);
            wordStart = true;
            continue;
        }
        icu::UnicodeString letter(c);
        if (wordStart) {
            letter.toUpper();
        } else {
            letter.toLower();
        }
        out.append(letter);
        wordStart = false;
    }
    std::string utf8;
    out.toUTF8String(utf8);
    return utf8;
}

}  // namespace

GrokSpeaker::GrokSpeaker(Services services)
    : services_(std::move(services)) {
    VESKA_CHECK(sharedInstance == nullptr, "only one Grok speaker may exist");
    sharedInstance = this;
}

GrokSpeaker::~GrokSpeaker() {
    if (sharedInstance == this) sharedInstance = nullptr;
}

const crypto::P256Key& GrokSpeaker::key() const {
    if (!key_) key_ = crypto::P256Key::generate();
    return *key_;
}

GrokSpeaker* GrokSpeaker::shared() {
    return sharedInstance;
}

std::map<std::string, std::string> GrokSpeaker::jwk() const {
    const std::string& raw = key().publicRaw();
    return {{"kty", "EC"},
            {"crv", "P-256"},
            {"x", crypto::b64u(std::string_view(raw).substr(0, kCoordinateBytes))},
            {"y", crypto::b64u(std::string_view(raw).substr(kCoordinateBytes))}};
}

std::string GrokSpeaker::proof(std::string_view path, std::string_view method, std::string_view token) const {
    const nlohmann::json header = {{"typ", "dpop+jwt"}, {"alg", "ES256"}, {"jwk", jwk()}};
    const nlohmann::json claims = {
        {"jti", crypto::b64u(crypto::secureRandom(kJtiBytes))},
        {"htm", std::string(method)},
        {"htu", consoleOrigin() + std::string(path)},
        {"iat", static_cast<std::int64_t>(std::floor(services_.main.wallNow()))},
        {"ath", crypto::b64u(crypto::sha256(token))},
    };
    const std::string signingInput = crypto::b64u(header.dump()) + "." + crypto::b64u(claims.dump());
    return signingInput + "." + crypto::b64u(key().signRaw(signingInput));
}

std::string GrokSpeaker::consoleOrigin() const {
    const std::string& base = services_.config.url(Service::xaiConsole);
    const std::size_t scheme = base.find("://");
    if (scheme == std::string::npos) return base;
    const std::size_t pathStart = base.find_first_of("/?#", scheme + 3);
    return pathStart == std::string::npos ? base : base.substr(0, pathStart);
}

std::string GrokSpeaker::consoleURL(std::string_view path) const {
    return joinURL(services_.config.url(Service::xaiConsole), path);
}

ports::HttpHeaders GrokSpeaker::consoleHeaders(const std::string& cookieHeader, bool hasBody) const {
    const std::string origin = consoleOrigin();
    ports::HttpHeaders headers{{"User-Agent", kBrowserUserAgent}, {"Origin", origin}, {"Referer", origin + "/"},
                               {"Cookie", cookieHeader}};
    if (hasBody) headers.add("content-type", "application/json");
    return headers;
}

ports::HttpHeaders GrokSpeaker::consoleHeaders(const Credentials& credentials, std::string_view path,
                                               std::string_view method, bool hasBody) const {
    ports::HttpHeaders headers = consoleHeaders(credentials.cookieHeader, hasBody);
    headers.add("authorization", "DPoP " + credentials.token);
    headers.add("dpop", proof(path, method, credentials.token));
    return headers;
}

ports::HttpRequest GrokSpeaker::consoleRequest(const Credentials& credentials, std::string_view path,
                                               std::string_view method, std::string body) const {
    ports::HttpRequest request;
    request.method = method == "POST" ? ports::HttpMethod::post : ports::HttpMethod::get;
    request.url = consoleURL(path);
    request.headers = consoleHeaders(credentials, path, method, !body.empty());
    request.body = std::move(body);
    request.timeoutSeconds = kRequestTimeoutSeconds;
    return request;
}

rt::Task<std::optional<GrokSpeaker::Answer>> GrokSpeaker::exchange(ports::HttpRequest request) {
    try {
        ports::HttpResponse response = co_await services_.http.send(std::move(request));
        Answer answer{response.status, std::move(response.headers), {}};
        ports::HttpBodyText text = co_await response.body.readAll(kMaxAnswerBytes);
        answer.body = std::move(text.bytes);
        co_return answer;
    } catch (const ports::HttpError&) {
        co_return std::nullopt;
    }
}

rt::Task<tl::expected<GrokSpeaker::Credentials, GrokSpeakError>> GrokSpeaker::accessToken(bool force) {
    std::optional<std::string> cookie =
        co_await GrokSession::cookieHeader(&services_.cookies, services_.config.names.xaiDomain);
    if (!cookie) co_return tl::unexpected(GrokSpeakError::signedOut());
    if (!force && token_ && services_.main.now() - tokenAt_ < kTokenReuseSeconds) {
        co_return Credentials{*token_, *cookie};
    }

    ports::HttpRequest request;
    request.method = ports::HttpMethod::post;
    request.url = consoleURL(kTokenPath);
    request.headers = consoleHeaders(*cookie, /*hasBody=*/true);
    request.body = nlohmann::json{{"jwk", jwk()}}.dump();
    request.timeoutSeconds = kRequestTimeoutSeconds;
    std::optional<Answer> answer = co_await exchange(std::move(request));
    if (!answer) co_return tl::unexpected(GrokSpeakError::unreachable());

    if (answer->status == 200) {
        if (std::optional<std::string> fresh = stringMember(parsed(answer->body), "access_token")) {
            token_ = *fresh;
            tokenAt_ = services_.main.now();
            co_return Credentials{std::move(*fresh), std::move(*cookie)};
        }
    }
    if (answer->status == 401) co_return tl::unexpected(GrokSpeakError::signedOut());
    const bool jsonRefusal = answer->headers.value("Content-Type").value_or("").find("json") != std::string::npos;
    if (answer->status == 403 && jsonRefusal && !answer->headers.contains("cf-mitigated")) {
        co_return tl::unexpected(GrokSpeakError::signedOut());
    }
    co_return tl::unexpected(GrokSpeakError::unreachable());
}

rt::Task<tl::expected<std::string, GrokSpeakError>> GrokSpeaker::realtimeSecret(std::string model) {
    auto credentials = co_await accessToken(/*force=*/false);
    if (!credentials) co_return tl::unexpected(credentials.error());
    const std::string body = nlohmann::json{{"session", {{"model", model}}}}.dump();
    for (bool retried = false;; retried = true) {
        std::optional<Answer> answer = co_await exchange(consoleRequest(*credentials, kSecretPath, "POST", body));
        if (!answer) co_return tl::unexpected(GrokSpeakError::unreachable());
        if (answer->status == 200) {
            std::optional<std::string> secret = stringMember(parsed(answer->body), "value");
            if (secret && !secret->empty()) co_return std::move(*secret);
            co_return tl::unexpected(GrokSpeakError::unreachable());
        }
        if (answer->status == 401) {
            if (retried) co_return tl::unexpected(GrokSpeakError::signedOut());
            credentials = co_await accessToken(/*force=*/true);
            if (!credentials) co_return tl::unexpected(credentials.error());
            continue;
        }
        if (answer->status == 429) co_return tl::unexpected(GrokSpeakError::rateLimited());
        co_return tl::unexpected(GrokSpeakError::unreachable());
    }
}

rt::Task<std::vector<GrokSession::Voice>> GrokSpeaker::voices() {
    auto credentials = co_await accessToken(/*force=*/false);
    if (!credentials) co_return GrokSession::defaultVoices();
    std::optional<Answer> answer = co_await exchange(consoleRequest(*credentials, kVoicesPath, "GET", {}));
    if (!answer) co_return GrokSession::defaultVoices();
    const nlohmann::json root = parsed(answer->body);
    if (!root.is_object() || !root.contains("voices") || !root["voices"].is_array()) {
        co_return GrokSession::defaultVoices();
    }
    std::vector<GrokSession::Voice> found;
    for (const nlohmann::json& element : root["voices"]) {
        std::optional<std::string> id = stringMember(element, "voice_id");
        if (!id) continue;
        std::optional<std::string> name = stringMember(element, "name");
        found.push_back({*id, name ? *name : capitalized(*id)});
    }
    if (found.empty()) co_return GrokSession::defaultVoices();
    co_return found;
}

rt::Task<std::string> GrokSpeaker::textSessionSecret(std::string model) {
    auto secret = co_await realtimeSecret(std::move(model));
    if (secret) co_return std::move(*secret);
    if (secret.error().kind() == GrokSpeakError::Kind::signedOut) throw TranslateError::signedOut();
    throw TranslateError::unreachable();
}

}  // namespace veska
