// The WebSocket client port: open with headers and sub-protocols, exchange frames, close.
#pragma once

#include <cstddef>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ports/HttpHeaders.h"
#include "runtime/Task.h"

namespace veska::ports {

/// Close codes used by the product and by the endpoints.
inline constexpr int kCloseNormal = 1000;
inline constexpr int kCloseGoingAway = 1001;
inline constexpr int kCloseNoStatus = 1005;     // the peer's close frame carried no code
inline constexpr int kCloseAbnormal = 1006;     // never sent: the connection was lost
inline constexpr int kCloseTooBig = 1009;
/// Longest reason a close frame can carry (a control frame holds 125 bytes with the code).
inline constexpr std::size_t kMaxCloseReasonBytes = 123;

/// True for the codes an endpoint may put in a close frame it sends.
[[nodiscard]] constexpr bool isSendableCloseCode(int code) {
    if (code >= 3000 && code <= 4999) return true;
    return code >= 1000 && code <= 1014 && code != 1004 && code != 1005 && code != 1006;
}

/// Fields of the upgrade request that the client writes itself; a request that sets one fails
/// with `invalidHeader` (sub-protocols are offered through `WebSocketRequest::protocols`).
[[nodiscard]] inline bool isReservedWebSocketHeader(std::string_view name) {
    for (std::string_view reserved : {"Sec-WebSocket-Key", "Sec-WebSocket-Version", "Sec-WebSocket-Protocol",
                                      "Sec-WebSocket-Extensions", "Upgrade", "Connection", "Host"}) {
        if (HttpHeaders::sameName(name, reserved)) return true;
    }
    return false;
}

struct WebSocketRequest {
    /// "ws://" or "wss://" URL.
    std::string url;
    /// Extra fields of the upgrade request ("Cookie", "Origin", "User-Agent"...), none of them
    /// reserved (see `isReservedWebSocketHeader`).
    HttpHeaders headers;
    /// Offered sub-protocols ("Sec-WebSocket-Protocol"), most preferred first.
    std::vector<std::string> protocols;
    /// Limit on opening (connection and upgrade); 0 = none.
    double timeoutSeconds = 30;
    /// Longest message accepted; a longer one fails the connection with `tooLarge`.
    std::size_t maxMessageBytes = std::size_t{16} * 1024 * 1024;
};

enum class WebSocketFrameKind { text, binary, close };

/// A whole message, or the peer's close (code and reason).
struct WebSocketFrame {
    WebSocketFrameKind kind = WebSocketFrameKind::text;
    std::string data;
    int closeCode = 0;
    std::string closeReason;

    static WebSocketFrame text(std::string s) { return {WebSocketFrameKind::text, std::move(s), 0, {}}; }
    static WebSocketFrame binary(std::string s) { return {WebSocketFrameKind::binary, std::move(s), 0, {}}; }
    static WebSocketFrame close(int code, std::string reason = {}) {
        return {WebSocketFrameKind::close, {}, code, std::move(reason)};
    }
    friend bool operator==(const WebSocketFrame&, const WebSocketFrame&) = default;
};

enum class WebSocketErrorKind {
    invalidUrl,     // not a ws/wss URL
    invalidHeader,  // a header field the upgrade request cannot carry
    network,        // no connection, or the connection was lost without a close handshake
    tls,            // the secure connection could not be set up or verified
    timeout,        // opening took longer than the request's time-out
    refused,        // the server answered the upgrade with another HTTP status
    closed,         // the connection has been closed (by either side)
    cancelled,      // opening was cancelled by this side
    badResponse,    // the server broke the protocol (bad upgrade answer or frame)
    tooLarge,       // a message exceeded the request's limit
};

[[nodiscard]] constexpr const char* describe(WebSocketErrorKind kind) {
    switch (kind) {
        case WebSocketErrorKind::invalidUrl: return "invalid WebSocket URL";
        case WebSocketErrorKind::invalidHeader: return "invalid header field";
        case WebSocketErrorKind::network: return "connection lost";
        case WebSocketErrorKind::tls: return "secure connection failed";
        case WebSocketErrorKind::timeout: return "opening timed out";
        case WebSocketErrorKind::refused: return "upgrade refused";
        case WebSocketErrorKind::closed: return "connection closed";
        case WebSocketErrorKind::cancelled: return "cancelled";
        case WebSocketErrorKind::badResponse: return "protocol violation by the server";
        case WebSocketErrorKind::tooLarge: return "message too large";
    }
    return "WebSocket failure";
}

/// A WebSocket failure. For `refused` it carries the server's HTTP answer (status, header
/// fields and at most `kMaxRefusalBodyBytes` of body), so that a 401 or 403 can be told from
/// a 500 and from a network failure. Its text names the kind and status only.
class WebSocketError : public std::exception {
public:
    static constexpr std::size_t kMaxRefusalBodyBytes = std::size_t{64} * 1024;

    explicit WebSocketError(WebSocketErrorKind kind) : kind_(kind) {}
    WebSocketError(int status, HttpHeaders headers, std::string body)
        : kind_(WebSocketErrorKind::refused), status_(status), headers_(std::move(headers)), body_(std::move(body)) {
        if (body_.size() > kMaxRefusalBodyBytes) body_.resize(kMaxRefusalBodyBytes);
    }

    [[nodiscard]] WebSocketErrorKind kind() const { return kind_; }
    /// The refusing answer's status; 0 for other kinds.
    [[nodiscard]] int status() const { return status_; }
    /// The refusal's header fields and body; moved (or copied) out of a temporary error.
    [[nodiscard]] const HttpHeaders& headers() const& { return headers_; }
    [[nodiscard]] HttpHeaders headers() && { return std::move(headers_); }
    [[nodiscard]] HttpHeaders headers() const&& { return headers_; }
    [[nodiscard]] const std::string& body() const& { return body_; }
    [[nodiscard]] std::string body() && { return std::move(body_); }
    [[nodiscard]] std::string body() const&& { return body_; }
    [[nodiscard]] const char* what() const noexcept override { return describe(kind_); }

private:
    WebSocketErrorKind kind_;
    int status_ = 0;
    HttpHeaders headers_;
    std::string body_;
};

/// One open connection, used from the executor of the task that opened it. Messages come
/// out of `receive` in arrival order; the peer's close frame is the last thing it yields,
/// and nothing that arrives after a close (received or sent) is delivered. Pings are
/// answered by the implementation and never delivered. Destroying an open connection closes
/// it with `kCloseNormal`.
class WebSocket {
public:
    virtual ~WebSocket() = default;

    /// The sub-protocol the server chose; empty when none.
    [[nodiscard]] virtual std::string protocol() const = 0;
    /// False once either side closed or the connection was lost.
    [[nodiscard]] virtual bool isOpen() const = 0;
    /// The next message or the peer's close frame. Throws `WebSocketError`: `closed` after
    /// the close, `network` when the connection was lost, `tooLarge` for an oversized message.
    virtual rt::Task<WebSocketFrame> receive() = 0;
    /// Sends a text or binary message after those sent before it. Throws `closed` once the
    /// connection is closed, `network` once it is lost.
    virtual rt::Task<void> send(WebSocketFrame frame) = 0;
    /// Sends a close frame and ends the connection at once, without waiting for the peer's
    /// answer; a pending `receive` throws `closed`. Does nothing when no longer open.
    virtual void close(int code = kCloseNormal, std::string reason = {}) = 0;
};

class WebSocketClient {
public:
    virtual ~WebSocketClient() = default;
    /// Opens a connection; resumes on the calling task's executor. Throws `WebSocketError`.
    /// A task cancelled while opening abandons the connection.
    virtual rt::Task<std::unique_ptr<WebSocket>> connect(WebSocketRequest request) = 0;
};

}  // namespace veska::ports
