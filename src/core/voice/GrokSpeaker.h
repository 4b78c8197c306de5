// The Grok account (a P-256 key, proof-of-possession tokens, realtime secrets, voices) and
// reading aloud through Grok's speech endpoint.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <tl/expected.hpp>

#include "core/app/ServiceConfig.h"
#include "core/voice/Crypto.h"
#include "core/voice/GrokSession.h"
#include "core/voice/GrokSpeakError.h"
#include "core/voice/PCMStreamPlayer.h"
#include "ports/ActivityAssertion.h"
#include "ports/AudioPlayer.h"
#include "ports/HttpClient.h"
#include "ports/Preferences.h"
#include "ports/WebCookieStore.h"
#include "runtime/Executor.h"
#include "runtime/Spawn.h"
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
        ports::AudioPlayer* audio = nullptr;            ///< the speakers; none = readings fail to play
        ports::ActivityAssertion* activity = nullptr;   ///< keeps the system awake while reading
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

    using StartCallback = std::function<void(bool)>;
    using LevelCallback = std::function<void(double)>;
    /// No error: the reading finished normally.
    using FinishCallback = std::function<void(std::optional<GrokSpeakError>)>;

    /// Longest reading recorded for the cache, and the most the cache holds, in bytes.
    static constexpr std::size_t kCacheLimitBytes = std::size_t{64} * 1024 * 1024;
    /// Cached audio is replayed in slices of one second...
    static constexpr std::size_t kReplaySliceBytes = 48'000;
    /// ...never more than this far ahead of playback, checked this often.
    static constexpr double kReplayAheadSeconds = 3.0;
    static constexpr double kReplayWaitSeconds = 0.2;
    /// A speech request may stay silent this long, and last this long in all.
    static constexpr double kSpeechIdleSeconds = 30;
    static constexpr double kSpeechTransferSeconds = 900;

    /// Reads `text` aloud with `voice`, stopping any reading in progress first. `onStart(true)`
    /// comes with the first audio of a request, `onLevel` follows the sound, and `onFinish`
    /// comes once, when the reading has played to its end or failed; never after `stop`.
    void speak(std::string_view text, std::string voice, StartCallback onStart, LevelCallback onLevel,
               FinishCallback onFinish);
    /// Ends the reading in progress without calling its `onFinish`, and frees what it holds.
    void stop();
    /// Frees what the current reading holds: request, player, callbacks, activity. Safe when
    /// nothing is in progress.
    void release();
    /// Pauses or resumes the player; the new paused state (false with no playing player).
    bool togglePause();
    /// The current reading's player, for a rate change in the middle of a reading.
    [[nodiscard]] PCMStreamPlayer* player() const { return player_.get(); }
    /// A reading is in progress (its `onFinish` is still due).
    [[nodiscard]] bool reading() const { return static_cast<bool>(onFinish_); }
    /// The number of the current reading; each start and stop moves it on.
    [[nodiscard]] std::uint64_t jobID() const { return jobID_; }

    /// Audio of the request of reading `id` (nothing for an older reading).
    void receive(std::uint64_t id, std::string_view data);
    /// The request of reading `id` ended with `status` (0 without an answer) and `error`.
    void partDone(std::uint64_t id, int status, std::optional<ports::HttpErrorKind> error);

    /// The cache key of each reading kept, oldest first, and the audio bytes kept.
    [[nodiscard]] std::vector<std::string> cacheKeys() const;
    [[nodiscard]] std::size_t cacheBytes() const;

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

    /// The key the console's tokens are bound to, made on first use (making one costs the
    /// app's start-up a few milliseconds, and most runs never reach the console).
    [[nodiscard]] const crypto::P256Key& key() const;

    // account
    mutable std::optional<crypto::P256Key> key_;
    std::optional<std::string> token_;
    /// When `token_` was obtained (executor seconds); the distant past at first.
    double tokenAt_ = -std::numeric_limits<double>::infinity();

    // ---- read-aloud fields ----

    struct CacheEntry {
        std::string key;
        std::shared_ptr<const std::string> pcm;
    };

    /// Opens the player, then replays `cached` or fetches the first part.
    rt::Task<void> begin(std::uint64_t job, std::shared_ptr<PCMStreamPlayer> player,
                         std::shared_ptr<const std::string> cached);
    void fetchPart(std::uint64_t job);
    rt::Task<void> fetch(std::uint64_t job);
    [[nodiscard]] ports::HttpRequest speechRequest(const Credentials& credentials, bool first) const;
    rt::Task<void> replay(std::uint64_t job, std::shared_ptr<const std::string> pcm);
    void store();
    /// `release`, then `onFinish(error)`, if `job` is current and a reading is in progress.
    void finish(std::uint64_t job, std::optional<GrokSpeakError> error);
    /// The last part has been fetched or replayed: drain once the player is empty.
    void inputDone();
    [[nodiscard]] bool current(std::uint64_t job) const { return job == jobID_ && onFinish_; }

    /// The request of the current part; replaced for each part, cancelled by `release`.
    rt::JoinHandle<void> task_;
    /// Opening the player, then the replay of a cached reading.
    rt::JoinHandle<void> starting_;
    std::shared_ptr<PCMStreamPlayer> player_;
    std::uint64_t jobID_ = 0;
    std::vector<std::string> parts_;
    std::size_t partIndex_ = 0;
    std::uint64_t partBytes_ = 0;
    bool retried_ = false;
    std::string voice_ = "eve";
    bool started_ = false;
    std::unique_ptr<ports::Activity> activity_;
    std::deque<CacheEntry> cache_;
    std::string recording_;
    std::optional<std::string> recordKey_;
    StartCallback onStart_;
    LevelCallback onLevel_;
    FinishCallback onFinish_;

    /// Last: every task of the speaker stops before its fields go.
    rt::Scope scope_;
};

}  // namespace veska
