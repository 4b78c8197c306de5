// Reading the body of an HTTP answer: pieces, lines (LF, CRLF or CR) and whole with a limit.
#include "ports/HttpBody.h"

#include <algorithm>
#include <utility>

namespace veska::ports {

HttpBody::HttpBody(HttpBody&& other) noexcept
    : transfer_(std::move(other.transfer_)),
      buffer_(std::move(other.buffer_)),
      start_(other.start_),
      scanned_(other.scanned_),
      ended_(other.ended_),
      cancelled_(other.cancelled_),
      failure_(other.failure_),
      received_(other.received_) {
    other.transfer_.reset();
}

HttpBody& HttpBody::operator=(HttpBody&& other) noexcept {
    if (this != &other) {
        cancel();
        transfer_ = std::move(other.transfer_);
        other.transfer_.reset();
        buffer_ = std::move(other.buffer_);
        start_ = other.start_;
        scanned_ = other.scanned_;
        ended_ = other.ended_;
        cancelled_ = other.cancelled_;
        failure_ = other.failure_;
        received_ = other.received_;
    }
    return *this;
}

void HttpBody::cancel() {
    if (!transfer_) return;
    cancelled_ = true;
    buffer_.clear();
    start_ = scanned_ = 0;
    transfer_->cancel();
}

void HttpBody::throwIfUnreadable() const {
    if (failure_ && start_ == buffer_.size()) throw HttpError(*failure_);
    if (cancelled_ || (transfer_ && transfer_->cancelled())) throw HttpError(HttpErrorKind::cancelled);
}

rt::Task<bool> HttpBody::fill() {
    if (failure_) throw HttpError(*failure_);
    if (ended_ || !transfer_) {
        ended_ = true;
        co_return false;
    }
    std::optional<HttpTransfer::Event> event = co_await transfer_->events().receive();
    if (!event) {
        // The channel closes without an end event only when the transfer was cancelled.
        throw HttpError(HttpErrorKind::cancelled);
    }
    switch (event->kind) {
        case HttpTransfer::Event::Kind::chunk:
            received_ += event->bytes.size();
            transfer_->taken(event->bytes.size());
            if (start_ > 0 && start_ * 2 >= buffer_.size()) {
                buffer_.erase(0, start_);
                scanned_ -= start_;
                start_ = 0;
            }
            buffer_ += event->bytes;
            co_return true;
        case HttpTransfer::Event::Kind::end:
            ended_ = true;
            co_return false;
        case HttpTransfer::Event::Kind::error:
            failure_ = event->error;
            throw HttpError(event->error);
    }
    co_return false;
}

std::string HttpBody::takeBuffered() {
    std::string out = buffer_.substr(start_);
    buffer_.clear();
    start_ = scanned_ = 0;
    return out;
}

rt::Task<std::optional<std::string>> HttpBody::nextChunk() {
    throwIfUnreadable();
    if (start_ < buffer_.size()) co_return takeBuffered();
    const bool more = co_await fill();
    if (!more) co_return std::nullopt;
    co_return takeBuffered();
}

std::optional<std::string> HttpBody::takeLine() {
    std::size_t i = std::max(scanned_, start_);
    for (; i < buffer_.size(); ++i) {
        const char c = buffer_[i];
        if (c != '\n' && c != '\r') continue;
        std::size_t next = i + 1;
        if (c == '\r') {
            // A CR at the end of what arrived may be the first half of a CRLF.
            if (next == buffer_.size() && !ended_) break;
            if (next < buffer_.size() && buffer_[next] == '\n') ++next;
        }
        std::string line = buffer_.substr(start_, i - start_);
        start_ = scanned_ = next;
        return line;
    }
    scanned_ = i;
    return std::nullopt;
}

rt::Task<std::optional<std::string>> HttpBody::nextLine() {
    throwIfUnreadable();
    while (true) {
        if (auto line = takeLine()) co_return line;
        if (ended_) {
            if (start_ == buffer_.size()) co_return std::nullopt;
            co_return takeBuffered();
        }
        if (buffer_.size() - start_ > kMaxHttpLineBytes) {
            cancel();
            failure_ = HttpErrorKind::tooLarge;
            throw HttpError(HttpErrorKind::tooLarge);
        }
        const bool more = co_await fill();
        if (!more && start_ == buffer_.size()) co_return std::nullopt;
    }
}

rt::Task<HttpBodyText> HttpBody::readAll(std::size_t maxBytes) {
    throwIfUnreadable();
    std::string out = takeBuffered();
    while (out.size() <= maxBytes) {
        const bool more = co_await fill();
        if (!more) break;
        out += takeBuffered();
    }
    if (out.size() <= maxBytes) co_return HttpBodyText{std::move(out), false};
    out.resize(maxBytes);
    cancel();
    co_return HttpBodyText{std::move(out), true};
}

}  // namespace veska::ports
