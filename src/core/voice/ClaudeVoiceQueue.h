// The queue side of a Claude voice session: microphone, chunks, socket, transcript, finish.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/voice/ClaudeVoiceSession.h"
#include "core/voice/VoiceConverter.h"
#include "runtime/Channel.h"
#include "runtime/Completion.h"
#include "runtime/Spawn.h"

namespace veska {

/// Everything of one session that lives on its queue `q`: the capture, the connection, the
/// audio not yet sent, the transcript and the waits of `finish`. Touched only on `q`, and
/// released there by its session. Closures that outlive a call hold it weakly. Owns its
/// tasks (capture reading, opening and receiving, writing) in a scope, its last member.
class ClaudeVoiceQueue : public std::enable_shared_from_this<ClaudeVoiceQueue> {
public:
    using Result = ClaudeVoiceSession::Result;

    /// `owner` is only reached on the main executor, while `ownerAlive` holds.
    ClaudeVoiceQueue(const ClaudeVoiceServices& services, ClaudeVoiceSession* owner,
                     std::weak_ptr<const bool> ownerAlive);
    ~ClaudeVoiceQueue();
    ClaudeVoiceQueue(const ClaudeVoiceQueue&) = delete;
    ClaudeVoiceQueue& operator=(const ClaudeVoiceQueue&) = delete;

    /// Opens the microphone and starts reading it; runs on `q`. Throws `ClaudeVoiceFailure`.
    static rt::Task<void> openMic(std::weak_ptr<ClaudeVoiceQueue> weak);
    /// Ends the capture; what it captured before is still converted and queued.
    void stopMic();
    void connect(ports::WebSocketRequest request);
    void markConnectFailed(ClaudeVoiceError error);
    /// Once the capture has drained: sends the rest, waits for the socket, asks for the end.
    void finishOnQueue(rt::Completion<Result> done);
    void cancelOnQueue();

    /// Resolves a pending `finish` once; with `connect` if it is dropped unresolved.
    struct FinalDelivery {
        explicit FinalDelivery(rt::Completion<Result> completion) : done(std::move(completion)) {}
        FinalDelivery(const FinalDelivery&) = delete;
        FinalDelivery& operator=(const FinalDelivery&) = delete;
        ~FinalDelivery() { done.resolve(tl::unexpected(ClaudeVoiceError::connect)); }

        rt::Completion<Result> done;
    };

private:
    /// One WebSocket: the connection once open, and the messages waiting to be written.
    struct Socket {
        std::unique_ptr<ports::WebSocket> connection;
        rt::Channel<ports::WebSocketFrame> outbox;
    };

    // Capture.
    rt::Task<void> readMic();
    void consume(const ports::AudioBuffer& buffer);
    void append(const std::vector<std::int16_t>& samples);
    void sendAudio(std::string bytes);

    // Connection.
    rt::Task<void> runSocket(std::shared_ptr<Socket> socket, ports::WebSocketRequest request);
    rt::Task<void> writeLoop(std::shared_ptr<Socket> socket);
    void didOpen();
    void sendText(std::string text);
    void socketGone(std::optional<int> status);
    [[nodiscard]] bool isCurrent(const std::shared_ptr<Socket>& socket) const { return socket == socket_ && !ended_; }

    // Transcript.
    void handle(const std::string& text);
    void promoteInterim();
    void publish();
    void reportFailure(ClaudeVoiceError error);

    // Finishing.
    void finishAfterMic(const std::shared_ptr<FinalDelivery>& delivery);
    void waiterWork(const std::shared_ptr<FinalDelivery>& delivery);
    void requestFinal(const std::shared_ptr<FinalDelivery>& delivery);
    void resolveFinal();
    void deliverFinal(const std::shared_ptr<FinalDelivery>& delivery);
    void teardown();

    /// Runs `fn` on the main executor with the session, if it still exists then.
    void postToOwner(std::function<void(ClaudeVoiceSession&)> fn);
    /// Runs `fn` on `q` after `seconds`, with this object if it still exists then.
    rt::Timer after(double seconds, std::function<void(ClaudeVoiceQueue&)> fn);

    rt::Executor& main_;
    rt::Executor& q_;
    ports::AudioCapture& mic_;
    ports::WebSocketClient& webSockets_;
    ClaudeVoiceSession* owner_;
    std::weak_ptr<const bool> ownerAlive_;

    std::unique_ptr<ports::AudioCaptureStream> engine_;  ///< the running capture
    std::optional<VoiceConverter> converter_;
    bool micReading_ = false;                            ///< the capture is still being read
    std::vector<std::function<void()>> afterMic_;        ///< run once the capture is drained
    std::shared_ptr<Socket> socket_;
    rt::JoinHandle<void> urlSession_;                    ///< opening, then receiving
    bool opened_ = false;
    std::optional<ClaudeVoiceError> connectFailed_;
    bool closeSent_ = false;
    bool ended_ = false;
    bool reportedFailure_ = false;
    std::deque<std::string> pendingAudio_;
    std::size_t pendingBytes_ = 0;
    std::string chunk_;
    std::string committed_;
    std::string interim_;
    rt::Timer keepAlive_;
    std::vector<std::function<void()>> openWaiters_;
    std::function<void()> finalWaiter_;
    rt::Timer noDataTimer_;
    rt::Timer openTimeout_;
    rt::Timer finalBound_;
    std::vector<std::weak_ptr<FinalDelivery>> deliveries_;
    rt::Scope scope_;
};

}  // namespace veska
