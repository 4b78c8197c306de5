// The Grok account (a P-256 key, proof-of-possession tokens, realtime secrets, voices) and
// reading aloud through Grok's speech endpoint.
#pragma once

#include <limits>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <tl/expected.hpp>

#include "core/app/ServiceConfig.h"
#include "core/voice/Crypto.h"
#include "core/voice/GrokSession.h"
#include "core/voice/GrokSpeakError.h"
#include "ports/HttpClient.h"
#include "ports/Preferences.h"
#include "ports/WebCookieStore.h"
#include "runtime/Executor.h"
#include "runtime/Task.h"

namespace veska {

/// The one Grok account object of the process (`shared()`), on the main executor. It owns a
/// P-256 key made when it is created and never stored, trades the console session cookies for
/// an access token bound to that key, and signs a fresh proof for every console request. The
/// account half lives in GrokSpeakerAccount.cpp; the read-aloud half in GrokSpeakerReading*.cpp.
class GrokSpeaker {
public:
    /// What the speaker talks to. All of it outlives the speaker.
    struct Services {
        rt::Executor& main;               ///< its executor; also its clock
        ports::HttpClient& http;          ///< console requests
        ports::WebCookieStore& cookies;   ///< the web sign-in store holding the console session
        ports::Preferences& prefs;        ///< the reading rate
        ServiceConfig config;             ///< the console, accounts and API base URLs, the xAI domain
    };

    /// An access token and the cookie header it was fetched with.
    struct Credentials {
        std::string token;
        std::string cookieHeader;
        friend bool operator==(const Credentials&, const Credentials&) = default;
    };

    /// How long a token is reused, in seconds.
    static constexpr double kTokenReuseSeconds = 240;
    /// Time limit of one console request, in seconds.
    static constexpr double kRequestTimeoutSeconds = 30;

    /// Makes the key; becomes `shared()` until destroyed. Only one may exist at a time.
    explicit GrokSpeaker(Services services);
    ~GrokSpeaker();
    GrokSpeaker(const GrokSpeaker&) = delete;
    GrokSpeaker& operator=(const GrokSpeaker&) = delete;

    /// The one instance; null when none has been made.
    [[nodiscard]] static GrokSpeaker* shared();

    // ---- account ----

    /// The public key as a JSON Web Key: "kty", "crv", "x", "y".
    [[nodiscard]] std::map<std::string, std::string> jwk() const;
    /// A fresh proof (compact JWS, ES256) for a request of `method` to the console `path`,
    /// bound to `token`.
    [[nodiscard]] std::string proof(std::string_view path, std::string_view method, std::string_view token) const;

    /// The access token, reused for `kTokenReuseSeconds` unless `force`; with the cookie header.
    rt::Task<tl::expected<Credentials, GrokSpeakError>> accessToken(bool force);
    /// A client secret for a realtime session of `model`.
    rt::Task<tl::expected<std::string, GrokSpeakError>> realtimeSecret(std::string model);
    /// The console's voices; the default list when they cannot be had. Never empty.
    rt::Task<std::vector<GrokSession::Voice>> voices();

    /// `realtimeSecret` for the realtime text session: throws `TranslateError::signedOut()` when
    /// the account is signed out or rejected, `TranslateError::unreachable()` for any other failure.
    rt::Task<std::string> textSessionSecret(std::string model);

    /// The console origin (scheme, host and port; no trailing "/").
    [[nodiscard]] std::string consoleOrigin() const;
    /// The URL of the console `path`.
    [[nodiscard]] std::string consoleURL(std::string_view path) const;
    /// The console headers without credentials of the token: "User-Agent", "Origin",
    /// "Referer", "Cookie", and "content-type" when `hasBody`.
    [[nodiscard]] ports::HttpHeaders consoleHeaders(const std::string& cookieHeader, bool hasBody) const;
    /// Every console header: the ones above, "authorization" with the token, and a fresh
    /// "dpop" proof for `path` and `method`.
    [[nodiscard]] ports::HttpHeaders consoleHeaders(const Credentials& credentials, std::string_view path,
                                                    std::string_view method, bool hasBody) const;

    // ---- read-aloud (GrokSpeakerReading*.cpp) ----

private:
    /// The status, header fields and body (up to a limit) of a console answer.
    struct Answer {
        int status = 0;
        ports::HttpHeaders headers;
        std::string body;
    };
    /// Sends `request` and reads the whole answer; nothing on a transport failure.
    rt::Task<std::optional<Answer>> exchange(ports::HttpRequest request);
    /// A POST or GET of the console `path` with every console header.
    ports::HttpRequest consoleRequest(const Credentials& credentials, std::string_view path, std::string_view method,
                                      std::string body) const;

    Services services_;

    // account
    crypto::P256Key key_;
    std::optional<std::string> token_;
    /// When `token_` was obtained (executor seconds); the distant past at first.
    double tokenAt_ = -std::numeric_limits<double>::infinity();

    // ---- read-aloud fields ----
};

}  // namespace veska
