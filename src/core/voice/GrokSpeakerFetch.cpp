// The read-aloud requests of GrokSpeaker: one streamed speech request per part, its audio and
// how it ended.
#include <limits>

#include <nlohmann/json.hpp>

#include "core/ui/AppStrings.h"
#include "core/voice/GrokSpeaker.h"

namespace veska {

namespace {

constexpr char kSpeechPath[] = "/v1/tts";
constexpr int kSampleRate = 24000;

/// Scheme, host and port of `url`, without a trailing "/".
std::string originOf(const std::string& url) {
    const std::size_t scheme = url.find("://");
    if (scheme == std::string::npos) return url;
    const std::size_t pathStart = url.find_first_of("/?#", scheme + 3);
    return pathStart == std::string::npos ? url : url.substr(0, pathStart);
}

/// The error of a part that ended without any audio, other than a retried 401 or 403.
GrokSpeakError silentPartError(int status, bool failed) {
    if (status == 0 || (status == 200 && failed)) return GrokSpeakError::unreachable();
    if (status == 401 || status == 403) return GrokSpeakError::signedOut();
    if (status == 429) return GrokSpeakError::rateLimited();
    return GrokSpeakError::failed(AppStrings::pick("Grok không đọc được đoạn này", "Grok couldn't read this"));
}

}  // namespace

void GrokSpeaker::fetchPart(std::uint64_t job) {
    if (job != jobID_ || partIndex_ >= parts_.size()) return;
    partBytes_ = 0;
    task_ = scope_.spawn(services_.main, fetch(job));
}

ports::HttpRequest GrokSpeaker::speechRequest(const Credentials& credentials, bool first) const {
    const nlohmann::json body = {
        {"text", parts_[partIndex_]},
        {"voice_id", voice_},
        {"output_format", {{"codec", "pcm"}, {"sample_rate", kSampleRate}}},
        {"language", "auto"},
        {"speed", 1},  // the rate is applied while playing
        {"optimize_streaming_latency", first ? 1 : 0},
        {"text_normalization", true},
    };
    ports::HttpRequest request;
    request.method = ports::HttpMethod::post;
    request.url = consoleURL(kSpeechPath);
    request.headers = consoleHeaders(credentials, kSpeechPath, "POST", /*hasBody=*/true);
    request.headers.add("x-cluster", originOf(services_.config.url(Service::xaiAPI)));
    request.body = body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    request.timeoutSeconds = kSpeechTransferSeconds;
    request.idleTimeoutSeconds = kSpeechIdleSeconds;
    return request;
}

rt::Task<void> GrokSpeaker::fetch(std::uint64_t job) {
    const bool first = partIndex_ == 0;
    auto credentials = co_await accessToken(/*force=*/false);
    if (!credentials) {
        finish(job, credentials.error());
        co_return;
    }
    if (job != jobID_) co_return;
    int status = 0;
    std::optional<ports::HttpErrorKind> error;
    try {
        ports::HttpResponse response = co_await services_.http.send(speechRequest(*credentials, first));
        status = response.status;
        // Only a successful answer carries audio; the body of a refusal is not played.
        if (status >= 200 && status < 300) {
            while (true) {
                std::optional<std::string> chunk = co_await response.body.nextChunk();
                if (!chunk) break;
                receive(job, *chunk);
                if (job != jobID_) co_return;
            }
        }
    } catch (const ports::HttpError& failure) {
        if (failure.kind() == ports::HttpErrorKind::cancelled) co_return;
        error = failure.kind();
    }
    partDone(job, status, error);
}

void GrokSpeaker::receive(std::uint64_t id, std::string_view data) {
    if (!current(id) || data.empty()) return;
    partBytes_ += data.size();
    if (recordKey_) {
        if (recording_.size() + data.size() <= kCacheLimitBytes) {
            recording_.append(data);
        } else {
            recordKey_.reset();
            recording_ = std::string();
        }
    }
    if (player_) player_->append(data);
    if (started_) return;
    started_ = true;
    if (onStart_) onStart_(true);
}

void GrokSpeaker::partDone(std::uint64_t id, int status, std::optional<ports::HttpErrorKind> error) {
    if (!current(id)) return;
    const bool complete = status == 200 && !error;
    if (partBytes_ == 0) {
        if (complete) {
            finish(id, std::nullopt);
            return;
        }
        if ((status == 401 || status == 403) && !retried_) {
            retried_ = true;
            tokenAt_ = -std::numeric_limits<double>::infinity();
            fetchPart(id);
            return;
        }
        recordKey_.reset();
        finish(id, silentPartError(status, error.has_value()));
        return;
    }
    // Some audio came: the part counts as done, but an incomplete reading is not cached.
    if (!complete) recordKey_.reset();
    retried_ = false;
    ++partIndex_;
    if (partIndex_ < parts_.size()) {
        fetchPart(id);
        return;
    }
    store();
    inputDone();
}

}  // namespace veska
