// The queue side of a Claude voice session: capture, chunking, the socket and its messages.
#include "core/voice/ClaudeVoiceQueue.h"

#include "text/Utf.h"

namespace veska {

namespace {

constexpr std::string_view kKeepAlive = R"({"type":"KeepAlive"})";

}  // namespace

ClaudeVoiceQueue::ClaudeVoiceQueue(const ClaudeVoiceServices& services, ClaudeVoiceSession* owner,
                                   std::weak_ptr<const bool> ownerAlive)
    : main_(services.main),
      q_(services.q),
      mic_(services.mic),
      webSockets_(services.webSockets),
      owner_(owner),
      ownerAlive_(std::move(ownerAlive)) {}

ClaudeVoiceQueue::~ClaudeVoiceQueue() {
    // A finish still waiting ends with `connect` now, not when its timers are dropped.
    for (auto& weak : deliveries_) {
        if (auto delivery = weak.lock()) delivery->done.resolve(tl::unexpected(ClaudeVoiceError::connect));
    }
    if (socket_ && socket_->connection) socket_->connection->close(ports::kCloseNormal);
}

void ClaudeVoiceQueue::postToOwner(std::function<void(ClaudeVoiceSession&)> fn) {
    main_.post([owner = owner_, alive = ownerAlive_, fn = std::move(fn)] {
        if (alive.lock()) fn(*owner);
    });
}

rt::Timer ClaudeVoiceQueue::after(double seconds, std::function<void(ClaudeVoiceQueue&)> fn) {
    return q_.postAfter(seconds, [weak = weak_from_this(), fn = std::move(fn)] {
        if (auto self = weak.lock()) fn(*self);
    });
}

// ---- capture ----

rt::Task<void> ClaudeVoiceQueue::openMic(std::weak_ptr<ClaudeVoiceQueue> weak) {
    auto self = weak.lock();
    if (!self || self->ended_ || self->engine_) throw ClaudeVoiceFailure(ClaudeVoiceError::noMic);
    ports::AudioCapture& mic = self->mic_;
    self.reset();
    std::optional<ports::AudioFormat> format = co_await mic.deviceFormat();
    if (!format || !(format->sampleRate > 0) || format->channels <= 0) throw ClaudeVoiceFailure(ClaudeVoiceError::noMic);
    if (!VoiceConverter::make(*format)) throw ClaudeVoiceFailure(ClaudeVoiceError::noMic);
    std::unique_ptr<ports::AudioCaptureStream> stream;
    try {
        stream = co_await mic.start(ports::AudioCaptureRequest{std::nullopt, ClaudeVoiceSession::kMicFrames});
    } catch (const ports::AudioError&) {
        throw ClaudeVoiceFailure(ClaudeVoiceError::noMic);
    }
    std::optional<VoiceConverter> converter = VoiceConverter::make(stream->format());
    self = weak.lock();
    if (!converter || !self || self->ended_) {
        stream->stop();
        throw ClaudeVoiceFailure(ClaudeVoiceError::noMic);
    }
    self->engine_ = std::move(stream);
    self->converter_ = std::move(converter);
    self->micReading_ = true;
    self->scope_.start(self->q_, self->readMic());
}

void ClaudeVoiceQueue::stopMic() {
    if (engine_) engine_->stop();
}

rt::Task<void> ClaudeVoiceQueue::readMic() {
    while (true) {
        std::optional<ports::AudioBuffer> buffer;
        try {
            buffer = co_await engine_->next();
        } catch (const ports::AudioError&) {
            break;  // the device went away: the dictation goes on with what was heard
        }
        if (!buffer) break;
        consume(*buffer);
    }
    micReading_ = false;
    engine_.reset();
    auto waiting = std::exchange(afterMic_, {});
    for (auto& fn : waiting) fn();
}

void ClaudeVoiceQueue::consume(const ports::AudioBuffer& buffer) {
    if (!converter_) return;
    std::optional<std::vector<std::int16_t>> samples = converter_->convert(buffer);
    if (!samples || samples->empty()) return;
    const float level = VoiceConverter::level(*samples);
    postToOwner([level](ClaudeVoiceSession& session) {
        if (session.onLevel) session.onLevel(level);
    });
    append(*samples);
}

void ClaudeVoiceQueue::append(const std::vector<std::int16_t>& samples) {
    if (ended_ || closeSent_) return;
    chunk_.reserve(chunk_.size() + samples.size() * 2);
    for (std::int16_t sample : samples) {
        const auto bits = static_cast<std::uint16_t>(sample);
        chunk_ += static_cast<char>(bits & 0xFF);  // little-endian, as "linear16" wants
        chunk_ += static_cast<char>(bits >> 8);
    }
    if (chunk_.size() >= ClaudeVoiceSession::kChunkBytes) sendAudio(std::exchange(chunk_, {}));
}

void ClaudeVoiceQueue::sendAudio(std::string bytes) {
    if (bytes.empty()) return;
    if (opened_ && socket_) {
        socket_->outbox.send(ports::WebSocketFrame::binary(std::move(bytes)));
        return;
    }
    if (connectFailed_) return;
    pendingBytes_ += bytes.size();
    pendingAudio_.push_back(std::move(bytes));
    while (pendingBytes_ > ClaudeVoiceSession::kMaxPendingBytes) {
        pendingBytes_ -= pendingAudio_.front().size();
        pendingAudio_.pop_front();
    }
}

// ---- connection ----

void ClaudeVoiceQueue::connect(ports::WebSocketRequest request) {
    if (ended_) return;
    socket_ = std::make_shared<Socket>();
    urlSession_ = scope_.spawn(q_, runSocket(socket_, std::move(request)));
}

rt::Task<void> ClaudeVoiceQueue::runSocket(std::shared_ptr<Socket> socket, ports::WebSocketRequest request) {
    std::unique_ptr<ports::WebSocket> connection;
    std::optional<int> refusal;
    bool failed = false;
    try {
        connection = co_await webSockets_.connect(std::move(request));
    } catch (const ports::WebSocketError& error) {
        failed = true;
        if (error.kind() == ports::WebSocketErrorKind::refused) refusal = error.status();
    }
    if (failed) {
        if (isCurrent(socket)) socketGone(refusal);
        co_return;
    }
    if (!isCurrent(socket)) co_return;
    socket->connection = std::move(connection);
    scope_.start(q_, writeLoop(socket));
    didOpen();
    while (true) {
        ports::WebSocketFrame frame;
        try {
            frame = co_await socket->connection->receive();
        } catch (const ports::WebSocketError&) {
            break;
        }
        if (!isCurrent(socket)) co_return;
        if (frame.kind == ports::WebSocketFrameKind::close) break;
        if (frame.kind == ports::WebSocketFrameKind::binary && !text::isValidUtf8(frame.data)) continue;
        handle(frame.data);
    }
    if (isCurrent(socket)) socketGone(std::nullopt);
}

rt::Task<void> ClaudeVoiceQueue::writeLoop(std::shared_ptr<Socket> socket) {
    while (true) {
        std::optional<ports::WebSocketFrame> frame = co_await socket->outbox.receive();
        if (!frame) co_return;
        try {
            co_await socket->connection->send(std::move(*frame));
        } catch (const ports::WebSocketError&) {
            continue;  // a message that cannot be sent is dropped; the receive side reports the loss
        }
    }
}

void ClaudeVoiceQueue::sendText(std::string text) {
    if (socket_) socket_->outbox.send(ports::WebSocketFrame::text(std::move(text)));
}

void ClaudeVoiceQueue::didOpen() {
    opened_ = true;
    sendText(std::string(kKeepAlive));
    for (auto& bytes : pendingAudio_) socket_->outbox.send(ports::WebSocketFrame::binary(std::move(bytes)));
    pendingAudio_.clear();
    pendingBytes_ = 0;
    keepAlive_ = q_.every(ClaudeVoiceSession::kKeepAliveSeconds, [weak = weak_from_this()] {
        auto self = weak.lock();
        if (self && !self->closeSent_ && self->socket_) self->sendText(std::string(kKeepAlive));
    });
    auto waiters = std::exchange(openWaiters_, {});
    for (auto& waiter : waiters) waiter();
}

void ClaudeVoiceQueue::socketGone(std::optional<int> status) {
    keepAlive_.cancel();
    if (!opened_) {
        const bool refused = status == 401 || status == 403;
        markConnectFailed(refused ? ClaudeVoiceError::needLogin : ClaudeVoiceError::connect);
        return;
    }
    if (closeSent_) {
        resolveFinal();
        return;
    }
    if (!ended_) reportFailure(ClaudeVoiceError::connect);
}

void ClaudeVoiceQueue::markConnectFailed(ClaudeVoiceError error) {
    if (opened_ || connectFailed_) return;
    connectFailed_ = error;
    pendingAudio_.clear();
    pendingBytes_ = 0;
    auto waiters = std::exchange(openWaiters_, {});
    if (waiters.empty()) {
        reportFailure(error);
        return;
    }
    for (auto& waiter : waiters) waiter();
}

void ClaudeVoiceQueue::reportFailure(ClaudeVoiceError error) {
    if (reportedFailure_ || ended_) return;
    reportedFailure_ = true;
    postToOwner([error](ClaudeVoiceSession& session) {
        if (session.onFailure) session.onFailure(error);
    });
}

}  // namespace veska
