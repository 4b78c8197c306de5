// Live dictation over the Claude web service's voice stream: microphone in, transcript out.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include <tl/expected.hpp>

#include "core/voice/ClaudeVoiceError.h"
#include "ports/AudioCapture.h"
#include "ports/WebSocketClient.h"
#include "runtime/Executor.h"
#include "runtime/Task.h"

namespace veska {

class ClaudeVoiceQueue;

/// What a Claude voice session works through. Everything referenced outlives the session.
struct ClaudeVoiceServices {
    rt::Executor& main;
    /// The session's own serial queue, "veska.claude-voice": all protocol state lives there.
    rt::Executor& q;
    ports::AudioCapture& mic;
    ports::WebSocketClient& webSockets;
    /// Base URL of the Claude web service ("https://claude.ai"); the stream's "ws"/"wss" URL
    /// is derived from it.
    std::string claudeURL;
};

/// One live dictation: captures the microphone, converts it to 16 kHz mono 16-bit PCM,
/// streams it in 100 ms messages to the voice stream, assembles the interim and committed
/// transcripts into one running text and, on `finish`, asks for the final words.
///
/// The object itself lives on the main executor, where its callbacks are called; the
/// connection state lives on the queue `q` in a `ClaudeVoiceQueue` that this object owns and
/// releases there. Work queued for a session that is gone does nothing (a pending `finish`
/// then ends with `connect`). Call order: set the callbacks → `startMic` → `connect` or
/// `failBeforeConnect` → `finish` or `cancel`. A session is never reused.
class ClaudeVoiceSession {
public:
    using Result = tl::expected<std::string, ClaudeVoiceError>;

    static constexpr std::string_view kQueueLabel = "veska.claude-voice";
    static constexpr std::string_view kStreamPath = "/api/ws/speech_to_text/voice_stream";
    /// Frames per microphone buffer.
    static constexpr std::size_t kMicFrames = 2048;
    /// Audio leaves in messages of at least this many bytes (100 ms).
    static constexpr std::size_t kChunkBytes = 3200;
    /// Audio kept while the socket opens (60 s); the oldest goes first beyond it.
    static constexpr std::size_t kMaxPendingBytes = 1'920'000;
    static constexpr double kConnectTimeoutSeconds = 10;
    static constexpr double kKeepAliveSeconds = 8;
    /// How long `finish` waits for a socket still opening.
    static constexpr double kOpenWaitSeconds = 8;
    /// After "CloseStream": the wait for any transcript, and the bound on the whole close.
    static constexpr double kNoDataSeconds = 1.5;
    static constexpr double kFinalBoundSeconds = 5;

    /// The language codes the voice stream accepts.
    [[nodiscard]] static const std::set<std::string, std::less<>>& supportedLanguages();

    explicit ClaudeVoiceSession(const ClaudeVoiceServices& services);
    ~ClaudeVoiceSession();
    ClaudeVoiceSession(const ClaudeVoiceSession&) = delete;
    ClaudeVoiceSession& operator=(const ClaudeVoiceSession&) = delete;

    /// The whole current transcript, each time it changes (main executor).
    std::function<void(const std::string&)> onText;
    /// A failure while streaming; at most once per session (main executor).
    std::function<void(ClaudeVoiceError)> onFailure;
    /// The microphone level in 0…1, for every microphone buffer (main executor).
    std::function<void(float)> onLevel;

    /// Opens the microphone and starts capturing. Throws `ClaudeVoiceFailure(noMic)` when it
    /// has no usable format or cannot be opened. Called on the main executor.
    rt::Task<void> startMic();
    /// Builds the request here and opens the socket on the queue. Audio captured until it
    /// opens is kept and sent first.
    void connect(const std::string& cookieHeader, const std::optional<std::string>& organization,
                 const std::string& language);
    /// The connection failed before it could be tried (no credentials).
    void failBeforeConnect(ClaudeVoiceError error);
    /// Stops the microphone, sends the rest of the audio, asks for the final words and
    /// yields the final text or the failure. Called on the main executor.
    rt::Task<Result> finish();
    /// Abandons the dictation: no callback fires afterwards; a pending `finish` ends with the
    /// text so far when it was closing, otherwise with `connect`.
    void cancel();

    /// The upgrade request for the voice stream of `claudeURL`.
    [[nodiscard]] static ports::WebSocketRequest makeRequest(std::string_view claudeURL,
                                                             const std::string& cookieHeader,
                                                             const std::optional<std::string>& organization,
                                                             const std::string& language);

private:
    void stopMic();

    rt::Executor& main_;
    rt::Executor& q_;
    const std::string claudeURL_;
    bool micRunning_ = false;
    bool cancelled_ = false;
    /// Lets work posted to the main executor find this object only while it lives.
    std::shared_ptr<const bool> alive_ = std::make_shared<const bool>(true);
    std::shared_ptr<ClaudeVoiceQueue> queue_;
};

}  // namespace veska
