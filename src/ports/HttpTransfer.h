// The meeting point of an HTTP adapter and the task reading the answer: head, body, cancel.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "ports/HttpError.h"
#include "ports/HttpHeaders.h"
#include "runtime/Channel.h"
#include "runtime/Completion.h"

namespace veska::ports {

/// Status line and header fields of an answer, and the URL that gave it (after redirects).
struct HttpHead {
    int status = 0;
    HttpHeaders headers;
    std::string url;
};

/// Body bytes buffered beyond this tell the adapter to pause the transfer...
inline constexpr std::size_t kPauseBufferedBytes = std::size_t{4} * 1024 * 1024;
/// ...and once the reader has brought them down to this, `onDrained` lets it go on.
inline constexpr std::size_t kResumeBufferedBytes = std::size_t{1024} * 1024;

/// State of one transfer, shared by the adapter (which reports from any thread) and the
/// `HttpBody` that reads it (on its task's executor). Every `deliver...` call after the
/// transfer has ended or been cancelled is ignored, so nothing reaches the reader after a
/// cancel. Thread-safe.
class HttpTransfer {
public:
    struct Event {
        enum class Kind { chunk, end, error };
        Kind kind = Kind::chunk;
        std::string bytes;
        HttpErrorKind error = HttpErrorKind::network;
    };

    // ---- adapter side (any thread) ----

    /// The head has arrived; false when the transfer is no longer wanted.
    bool deliverHead(HttpHead head);
    /// A piece of the body as it arrived; false when the transfer is no longer wanted.
    bool deliverChunk(std::string bytes);
    /// The body is complete.
    void deliverEnd();
    /// The transfer failed; before the head this fails the request, after it the body.
    void deliverError(HttpErrorKind kind);
    /// `abort` runs once, on the reader's thread, when the reader cancels before the end; at
    /// once if that has already happened. It must return quickly and make the adapter stop.
    void onAbort(std::function<void()> abort);
    /// Runs `resume` (on the reader's thread) whenever the reader has drained a buffer that
    /// went past `kPauseBufferedBytes` down to `kResumeBufferedBytes`.
    void onDrained(std::function<void()> resume);
    [[nodiscard]] std::size_t bufferedBytes() const { return buffered_.load(); }
    [[nodiscard]] bool cancelled() const;

    // ---- reader side ----

    /// Resolves with the head, or fails with `HttpError`.
    [[nodiscard]] rt::Completion<HttpHead>& head() { return head_; }
    /// Body events in arrival order; closed after the last one or on cancel.
    [[nodiscard]] rt::Channel<Event>& events() { return events_; }
    /// Ends the transfer at once and discards whatever was not read yet.
    void cancel();
    /// The reader took `bytes` bytes of body out of the buffer.
    void taken(std::size_t bytes);

private:
    enum class Phase { waitingHead, body, finished, cancelled };

    mutable std::mutex mutex_;
    Phase phase_ = Phase::waitingHead;
    std::function<void()> abort_;
    std::function<void()> resume_;
    bool paused_ = false;
    std::atomic<std::size_t> buffered_{0};
    rt::Completion<HttpHead> head_;
    rt::Channel<Event> events_;
};

}  // namespace veska::ports
