// The main-executor side of a Claude voice session, and the voice stream's upgrade request.
#include "core/voice/ClaudeVoiceSession.h"

#include "core/app/ServiceConfig.h"
#include "core/voice/ClaudeVoiceQueue.h"
#include "core/web/WebIdentity.h"
#include "runtime/RunOn.h"

namespace veska {

namespace {

bool isUnreservedQueryByte(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~';
}

std::string percentEncoded(std::string_view value) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (char c : value) {
        if (isUnreservedQueryByte(c)) {
            out += c;
            continue;
        }
        const auto byte = static_cast<unsigned char>(c);
        out += '%';
        out += kHex[byte >> 4];
        out += kHex[byte & 0x0F];
    }
    return out;
}

}  // namespace

const std::set<std::string, std::less<>>& ClaudeVoiceSession::supportedLanguages() {
    static const std::set<std::string, std::less<>> kLanguages = {
        "en", "en-IN", "en-GB", "zh-CN", "yue", "fr", "fr-CA", "de", "de-AT", "hi", "it",
        "ja", "ko", "pt", "pt-BR", "pt-PT", "ru", "es", "es-419", "tr", "uk"};
    return kLanguages;
}

ClaudeVoiceSession::ClaudeVoiceSession(const ClaudeVoiceServices& services)
    : main_(services.main), q_(services.q), claudeURL_(services.claudeURL) {
    queue_ = std::make_shared<ClaudeVoiceQueue>(services, this, alive_);
}

ClaudeVoiceSession::~ClaudeVoiceSession() {
    // The queue state is touched only on the queue: it is let go there.
    q_.post([queue = std::move(queue_)]() mutable { queue.reset(); });
}

rt::Task<void> ClaudeVoiceSession::startMic() {
    VESKA_CHECK(!micRunning_, "the microphone of a session is started once");
    std::weak_ptr<ClaudeVoiceQueue> weak = queue_;
    co_await rt::runOn(q_, ClaudeVoiceQueue::openMic(weak));
    if (cancelled_) co_return;  // cancelled meanwhile: the queue has already stopped it
    micRunning_ = true;
}

void ClaudeVoiceSession::stopMic() {
    if (!micRunning_) return;
    micRunning_ = false;
    q_.post([weak = std::weak_ptr<ClaudeVoiceQueue>(queue_)] {
        if (auto queue = weak.lock()) queue->stopMic();
    });
}

void ClaudeVoiceSession::connect(const std::string& cookieHeader, const std::optional<std::string>& organization,
                                 const std::string& language) {
    q_.post([weak = std::weak_ptr<ClaudeVoiceQueue>(queue_),
             request = makeRequest(claudeURL_, cookieHeader, organization, language)]() mutable {
        if (auto queue = weak.lock()) queue->connect(std::move(request));
    });
}

void ClaudeVoiceSession::failBeforeConnect(ClaudeVoiceError error) {
    q_.post([weak = std::weak_ptr<ClaudeVoiceQueue>(queue_), error] {
        if (auto queue = weak.lock()) queue->markConnectFailed(error);
    });
}

rt::Task<ClaudeVoiceSession::Result> ClaudeVoiceSession::finish() {
    stopMic();
    rt::Completion<Result> done;
    q_.post([weak = std::weak_ptr<ClaudeVoiceQueue>(queue_), done]() mutable {
        auto queue = weak.lock();
        if (!queue) {
            done.resolve(tl::unexpected(ClaudeVoiceError::connect));
            return;
        }
        queue->finishOnQueue(done);
    });
    Result result = co_await done.wait();
    co_return result;
}

void ClaudeVoiceSession::cancel() {
    onText = nullptr;
    onFailure = nullptr;
    onLevel = nullptr;
    cancelled_ = true;
    stopMic();
    q_.post([weak = std::weak_ptr<ClaudeVoiceQueue>(queue_)] {
        if (auto queue = weak.lock()) queue->cancelOnQueue();
    });
}

ports::WebSocketRequest ClaudeVoiceSession::makeRequest(std::string_view claudeURL, const std::string& cookieHeader,
                                                        const std::optional<std::string>& organization,
                                                        const std::string& language) {
    std::vector<std::pair<std::string_view, std::string>> query = {
        {"encoding", "linear16"},
        {"sample_rate", "16000"},
        {"channels", "1"},
        {"endpointing_ms", "300"},
        {"utterance_end_ms", "1000"},
        {"language", language},
        {"use_conversation_engine", "true"},
        {"stt_provider", "deepgram-nova3"},
        {"client_platform", "web_claude_ai"},
    };
    if (organization && !organization->empty()) query.emplace_back("organization_uuid", *organization);
    std::string url = joinURL(webSocketURL(urlOrigin(claudeURL)), kStreamPath);
    char separator = '?';
    for (const auto& [key, value] : query) {
        url += separator;
        url += key;
        url += '=';
        url += percentEncoded(value);
        separator = '&';
    }
    ports::WebSocketRequest request;
    request.url = std::move(url);
    request.timeoutSeconds = kConnectTimeoutSeconds;
    request.headers.add("Cookie", cookieHeader);
    request.headers.add("Origin", urlOrigin(claudeURL));
    request.headers.add("User-Agent", std::string(kBrowserUserAgent));
    return request;
}

}  // namespace veska
