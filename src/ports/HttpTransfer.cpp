// The meeting point of an HTTP adapter and the task reading the answer.
#include "ports/HttpTransfer.h"

#include <utility>

namespace veska::ports {

bool HttpTransfer::deliverHead(HttpHead head) {
    {
        std::lock_guard lock(mutex_);
        if (phase_ != Phase::waitingHead) return false;
        phase_ = Phase::body;
    }
    head_.resolve(std::move(head));
    return true;
}

bool HttpTransfer::deliverChunk(std::string bytes) {
    std::lock_guard lock(mutex_);
    if (phase_ != Phase::body) return false;
    if (bytes.empty()) return true;
    const std::size_t size = bytes.size();
    if (buffered_.fetch_add(size) + size > kPauseBufferedBytes) paused_ = true;
    events_.send(Event{Event::Kind::chunk, std::move(bytes), HttpErrorKind::network});
    return true;
}

void HttpTransfer::deliverEnd() {
    std::lock_guard lock(mutex_);
    if (phase_ == Phase::waitingHead) {
        // An answer that ends before its head is not an HTTP answer.
        phase_ = Phase::finished;
        head_.failWith(HttpError(HttpErrorKind::badResponse));
        events_.close();
        return;
    }
    if (phase_ != Phase::body) return;
    phase_ = Phase::finished;
    events_.send(Event{Event::Kind::end, {}, HttpErrorKind::network});
    events_.close();
}

void HttpTransfer::deliverError(HttpErrorKind kind) {
    std::lock_guard lock(mutex_);
    if (phase_ == Phase::waitingHead) {
        phase_ = Phase::finished;
        head_.failWith(HttpError(kind));
        events_.close();
        return;
    }
    if (phase_ != Phase::body) return;
    phase_ = Phase::finished;
    events_.send(Event{Event::Kind::error, {}, kind});
    events_.close();
}

void HttpTransfer::onAbort(std::function<void()> abort) {
    {
        std::lock_guard lock(mutex_);
        if (phase_ != Phase::cancelled) {
            abort_ = std::move(abort);
            return;
        }
    }
    if (abort) abort();
}

void HttpTransfer::onDrained(std::function<void()> resume) {
    std::lock_guard lock(mutex_);
    resume_ = std::move(resume);
}

bool HttpTransfer::cancelled() const {
    std::lock_guard lock(mutex_);
    return phase_ == Phase::cancelled;
}

void HttpTransfer::cancel() {
    std::function<void()> abort;
    {
        std::lock_guard lock(mutex_);
        if (phase_ == Phase::cancelled) return;
        const bool running = phase_ != Phase::finished;
        if (phase_ == Phase::waitingHead) head_.failWith(HttpError(HttpErrorKind::cancelled));
        phase_ = Phase::cancelled;
        if (running) abort = std::move(abort_);
        abort_ = nullptr;
        resume_ = nullptr;
        while (events_.tryReceive()) {
        }
        events_.close();
        buffered_ = 0;
    }
    if (abort) abort();
}

void HttpTransfer::taken(std::size_t bytes) {
    std::function<void()> resume;
    {
        std::lock_guard lock(mutex_);
        const std::size_t before = buffered_.load();
        buffered_ = before > bytes ? before - bytes : 0;
        if (!paused_ || buffered_.load() > kResumeBufferedBytes) return;
        paused_ = false;
        resume = resume_;
    }
    if (resume) resume();
}

}  // namespace veska::ports
