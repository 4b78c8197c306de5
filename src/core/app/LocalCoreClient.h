// The HTTP client of the local core: health, dashboard, preferences, secrets, status, transcription.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "core/app/LocalError.h"
#include "ports/HttpClient.h"
#include "runtime/Task.h"

namespace veska {

/// A multipart body ready to send: its bytes and the request's content type.
struct MultipartUpload {
    std::string contentType;
    std::string body;
};

/// The form the core's transcription route takes: one part "file" named "audio.m4a" of type
/// "audio/mp4" holding `audio`, between "Boundary-" + `uuid` lines.
[[nodiscard]] MultipartUpload transcriptionUpload(std::string_view audio, std::string_view uuid);

/// Talks to the local core at `baseURL` (no trailing "/"; paths are appended as text). Every
/// request has a 60-second time-out and carries "Authorization: Bearer <token>" when the token
/// is not empty. One instance, owned by the controller on the main executor; the HTTP client
/// must outlive it. Errors: `LocalError` for answers the core gives, `ports::HttpError` for
/// transport failures, the JSON parser's error where noted.
class LocalCoreClient {
public:
    LocalCoreClient(ports::HttpClient& http, std::string baseURL, std::string token);

    std::string baseURL;

    [[nodiscard]] const std::string& token() const { return token_; }

    /// GET "/healthz": its "ok" when that is a boolean, false otherwise. A body that is not
    /// JSON throws the parser's error.
    rt::Task<bool> health();
    /// True when `health()` holds and GET "/" answers 200 with a UTF-8 page containing "<html"
    /// in any letter case. Never throws (cancellation aside): any failure is false.
    rt::Task<bool> dashboardReady();
    /// GET "/v1/config": the object under "prefs" when there is one, otherwise the whole
    /// object. A root that is not an object throws `LocalError::decode()`.
    rt::Task<nlohmann::json> prefs();
    /// GET "/v1/status": the status document as it came (an object).
    rt::Task<nlohmann::json> status();
    /// POST "/v1/audio/transcriptions" with the file at `filePath`: the answer's "text". A file
    /// that cannot be read throws `std::system_error`; an answer without a string "text"
    /// throws `LocalError::decode()`.
    rt::Task<std::string> transcribe(std::string filePath);
    /// PUT "/v1/config/prefs" with `prefs` (merged into the core's preferences).
    rt::Task<void> savePrefs(nlohmann::json prefs);
    /// PUT "/v1/config/secrets" with `secrets`, an object of string values.
    rt::Task<void> saveSecrets(nlohmann::json secrets);

    /// Time limit of every request.
    static constexpr double kTimeoutSeconds = 60;
    /// Longest answer read; the rest of a longer one is dropped.
    static constexpr std::size_t kMaxResponseBytes = std::size_t{8} * 1024 * 1024;

private:
    struct Fetched {
        int status = 0;
        std::string body;
    };

    /// GET without looking at the status.
    rt::Task<Fetched> get(std::string path);
    /// Any method; a status of 400 or above throws `LocalError::http`.
    rt::Task<std::string> request(std::string path, ports::HttpMethod method, std::optional<std::string> body,
                                  std::optional<std::string> contentType);
    rt::Task<Fetched> exchange(ports::HttpRequest request);
    [[nodiscard]] ports::HttpRequest makeRequest(std::string_view path, ports::HttpMethod method) const;

    ports::HttpClient& http_;
    std::string token_;
};

}  // namespace veska
