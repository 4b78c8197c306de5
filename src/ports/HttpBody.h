// Reading the body of an HTTP answer as it arrives: raw pieces, lines, or whole with a limit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "ports/HttpTransfer.h"
#include "runtime/Task.h"

namespace veska::ports {

/// Longest line `nextLine` accepts; a longer one fails the body with `tooLarge`.
inline constexpr std::size_t kMaxHttpLineBytes = std::size_t{1024} * 1024;

/// What `readAll` read: the body, or its first `maxBytes` bytes when it was longer.
struct HttpBodyText {
    std::string bytes;
    bool truncated = false;
};

/// The body of one answer, read by one task at a time on that task's executor. Reads resume
/// as data arrives; a transfer failure is thrown as `HttpError` by the read that reaches it,
/// and by every read after. Destroying the body (or `cancel`) ends the transfer at once: no
/// byte is handed out afterwards. Do not move a body while a read is suspended.
class HttpBody {
public:
    /// An empty body, as of a HEAD answer: the first read finds its end.
    HttpBody() = default;
    explicit HttpBody(std::shared_ptr<HttpTransfer> transfer) : transfer_(std::move(transfer)) {}
    HttpBody(HttpBody&& other) noexcept;
    HttpBody& operator=(HttpBody&& other) noexcept;
    HttpBody(const HttpBody&) = delete;
    HttpBody& operator=(const HttpBody&) = delete;
    ~HttpBody() { cancel(); }

    /// The next piece as it arrived (after a partly read line: the rest of that piece);
    /// nothing at the end of the body.
    rt::Task<std::optional<std::string>> nextChunk();
    /// The next line, without its end ("\n", "\r\n" or "\r"); a last line without an end is
    /// returned too; nothing at the end of the body. Empty lines are returned as such.
    rt::Task<std::optional<std::string>> nextLine();
    /// The rest of the body; a body longer than `maxBytes` is cut to that length, marked
    /// truncated, and its transfer cancelled.
    rt::Task<HttpBodyText> readAll(std::size_t maxBytes);

    /// Ends the transfer and discards what was not read; later reads throw `cancelled`.
    void cancel();
    /// Body bytes received so far (read or buffered by this reader).
    [[nodiscard]] std::uint64_t receivedBytes() const { return received_; }
    /// True once the end of the body was reached.
    [[nodiscard]] bool ended() const { return ended_; }

private:
    /// Waits for more body bytes; false at the end. Throws the transfer's failure.
    rt::Task<bool> fill();
    void throwIfUnreadable() const;
    /// A complete line from the buffer, if it holds one.
    std::optional<std::string> takeLine();
    std::string takeBuffered();

    std::shared_ptr<HttpTransfer> transfer_;
    std::string buffer_;
    std::size_t start_ = 0;    // bytes of buffer_ already handed out
    std::size_t scanned_ = 0;  // buffer_[start_, scanned_) holds no line end
    bool ended_ = false;
    bool cancelled_ = false;
    std::optional<HttpErrorKind> failure_;
    std::uint64_t received_ = 0;
};

}  // namespace veska::ports
