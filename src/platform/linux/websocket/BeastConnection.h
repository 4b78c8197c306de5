// One Beast WebSocket connection on the network thread, and what it reports to its owner.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ssl/context.hpp>

#include "platform/linux/websocket/WebSocketUrl.h"
#include "ports/WebSocketClient.h"
#include "runtime/Channel.h"
#include "runtime/Completion.h"

namespace veska::platform {

/// What the network thread hands to the task reading the connection.
struct WsIncoming {
    enum class Kind { message, peerClose, failure };
    Kind kind = Kind::message;
    ports::WebSocketFrame frame;
    ports::WebSocketErrorKind error = ports::WebSocketErrorKind::network;
};

/// The network side of one connection. Every member function may be called from any thread;
/// the work runs on the network thread.
class BeastConnection {
public:
    virtual ~BeastConnection() = default;

    /// Opens; `opened` resolves with the chosen sub-protocol or fails with `WebSocketError`.
    virtual void open(WebSocketUrl url, ports::WebSocketRequest request, rt::Completion<std::string> opened) = 0;
    /// Sends after the frames sent before; `sent` resolves or fails with `WebSocketError`.
    virtual void write(ports::WebSocketFrame frame, rt::Completion<void> sent) = 0;
    /// Sends a close frame and ends the connection; nothing more is reported.
    virtual void close(int code, std::string reason) = 0;
    /// Gives up opening.
    virtual void abandon() = 0;

    rt::Channel<WsIncoming> incoming;
    std::atomic<bool> ended{false};

    static std::shared_ptr<BeastConnection> make(boost::asio::io_context& io, boost::asio::ssl::context& tls,
                                                 bool secure);
};

}  // namespace veska::platform
