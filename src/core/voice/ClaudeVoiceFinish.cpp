// The queue side of a Claude voice session: transcript messages, finishing, cancel, teardown.
#include <nlohmann/json.hpp>

#include "core/voice/ClaudeVoiceQueue.h"
#include "core/voice/ClaudeVoiceText.h"

namespace veska {

namespace {
constexpr std::string_view kCloseStream = R"({"type":"CloseStream"})";
}  // namespace

// ---- transcript ----

void ClaudeVoiceQueue::handle(const std::string& text) {
    const nlohmann::json message = nlohmann::json::parse(text, nullptr, /*allow_exceptions=*/false);
    if (!message.is_object()) return;
    auto type = message.find("type");
    if (type == message.end() || !type->is_string()) return;
    const auto& kind = type->get_ref<const std::string&>();
    if (kind == "TranscriptText" || kind == "TranscriptInterim") {
        auto data = message.find("data");
        if (data == message.end() || !data->is_string()) return;
        interim_ = ClaudeVoiceText::withoutCommitted(data->get_ref<const std::string&>(), committed_);
        if (closeSent_) noDataTimer_.cancel();
        publish();
        return;
    }
    if (kind == "TranscriptEndpoint") {
        promoteInterim();
        publish();
        if (closeSent_) resolveFinal();
        return;
    }
    if (kind == "TranscriptError" || kind == "error") {
        if (closeSent_) {
            resolveFinal();
            return;
        }
        reportFailure(ClaudeVoiceError::server);
    }
}

void ClaudeVoiceQueue::promoteInterim() {
    if (interim_.empty()) return;
    committed_ = ClaudeVoiceText::join(committed_, interim_);
    interim_.clear();
}

void ClaudeVoiceQueue::publish() {
    postToOwner([text = ClaudeVoiceText::normalize(ClaudeVoiceText::join(committed_, interim_))](
                    ClaudeVoiceSession& session) {
        if (session.onText) session.onText(text);
    });
}

// ---- finishing ----

void ClaudeVoiceQueue::finishOnQueue(rt::Completion<Result> done) {
    auto delivery = std::make_shared<FinalDelivery>(std::move(done));
    std::erase_if(deliveries_, [](const std::weak_ptr<FinalDelivery>& weak) { return weak.expired(); });
    deliveries_.push_back(delivery);
    if (micReading_) {
        // Buffers captured before the microphone stopped are still on their way.
        afterMic_.push_back([this, delivery] { finishAfterMic(delivery); });
        return;
    }
    finishAfterMic(delivery);
}

void ClaudeVoiceQueue::finishAfterMic(const std::shared_ptr<FinalDelivery>& delivery) {
    sendAudio(std::exchange(chunk_, {}));
    if (opened_ || connectFailed_) {
        waiterWork(delivery);
        return;
    }
    auto ran = std::make_shared<bool>(false);
    auto waiter = [weak = weak_from_this(), delivery, ran] {
        if (*ran) return;
        *ran = true;
        if (auto self = weak.lock()) self->waiterWork(delivery);
    };
    openWaiters_.push_back(waiter);
    openTimeout_ = after(ClaudeVoiceSession::kOpenWaitSeconds, [ran, waiter](ClaudeVoiceQueue& self) {
        if (*ran) return;
        if (!self.connectFailed_) self.connectFailed_ = ClaudeVoiceError::connect;
        self.openWaiters_.clear();
        waiter();
    });
}

void ClaudeVoiceQueue::waiterWork(const std::shared_ptr<FinalDelivery>& delivery) {
    if (connectFailed_) {
        teardown();
        delivery->done.resolve(tl::unexpected(*connectFailed_));
        return;
    }
    requestFinal(delivery);
}

void ClaudeVoiceQueue::requestFinal(const std::shared_ptr<FinalDelivery>& delivery) {
    if (!socket_ || closeSent_) {
        deliverFinal(delivery);
        return;
    }
    closeSent_ = true;
    finalWaiter_ = [this, delivery] { deliverFinal(delivery); };
    sendText(std::string(kCloseStream));
    noDataTimer_ = after(ClaudeVoiceSession::kNoDataSeconds, [](ClaudeVoiceQueue& self) { self.resolveFinal(); });
    finalBound_ = after(ClaudeVoiceSession::kFinalBoundSeconds, [](ClaudeVoiceQueue& self) { self.resolveFinal(); });
}

void ClaudeVoiceQueue::resolveFinal() {
    noDataTimer_.cancel();
    auto waiter = std::exchange(finalWaiter_, nullptr);
    if (waiter) waiter();
}

void ClaudeVoiceQueue::deliverFinal(const std::shared_ptr<FinalDelivery>& delivery) {
    promoteInterim();
    std::string text = ClaudeVoiceText::normalize(ClaudeVoiceText::join(committed_, interim_));
    teardown();
    delivery->done.resolve(std::move(text));
}

void ClaudeVoiceQueue::teardown() {
    ended_ = true;
    keepAlive_.cancel();
    noDataTimer_.cancel();
    pendingAudio_.clear();
    pendingBytes_ = 0;
    if (engine_) engine_->stop();
    if (socket_) {
        if (socket_->connection) socket_->connection->close(ports::kCloseNormal);
        socket_->outbox.close();
        socket_.reset();
    }
    urlSession_.cancel();  // abandons a socket still opening
}

void ClaudeVoiceQueue::cancelOnQueue() {
    teardown();
    auto waiters = std::exchange(openWaiters_, {});
    if (!connectFailed_) connectFailed_ = ClaudeVoiceError::connect;
    for (auto& waiter : waiters) waiter();
    resolveFinal();
}

}  // namespace veska
