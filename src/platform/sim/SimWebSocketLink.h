// One live simulated WebSocket connection: the client's inbox and the server's scripted end.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/sim/SimWebSocketServer.h"
#include "runtime/Channel.h"
#include "runtime/Executor.h"

namespace veska::sim {

/// What the client's `receive` takes out: a frame, or the failure that ended the connection.
struct WsInbound {
    std::optional<ports::WebSocketFrame> frame;
    ports::WebSocketErrorKind error = ports::WebSocketErrorKind::network;
};

/// Both ends of one open connection. The server side runs the behaviour's steps and
/// reactions as timers on the network lane and records what the client sends; the client
/// side reads `inbox`. Once either side closes or the connection is lost, nothing more is
/// delivered or recorded. Lives on the loop's thread.
class SimWebSocketLink final : public SimWsPeer, public std::enable_shared_from_this<SimWebSocketLink> {
public:
    SimWebSocketLink(rt::Executor& network, SimWebSocketServer& server, std::size_t index, WsBehaviour behaviour,
                     std::size_t maxMessageBytes, std::string protocol);

    /// Marks the connection open and starts the behaviour's steps.
    void open();
    [[nodiscard]] bool isOpen() const { return open_; }
    [[nodiscard]] bool lost() const { return lost_; }
    [[nodiscard]] const std::string& protocol() const { return protocol_; }
    [[nodiscard]] rt::Channel<WsInbound>& inbox() { return inbox_; }

    /// The client sends a text or binary message.
    void clientSend(const ports::WebSocketFrame& frame);
    /// The client closes: its close frame is recorded, unread frames are discarded.
    void clientClose(int code, std::string reason);

    void deliver(ports::WebSocketFrame frame) override;
    void ping(std::string payload) override;
    void drop() override;

private:
    void run(const std::vector<WsStep>& steps);
    void perform(const WsStep& step);
    void react(const ports::WebSocketFrame& frame);
    void recordFrame(WsFrameKind kind, std::string data, int code = 0, std::string reason = {});
    void end(WsConnectionState state);

    rt::Executor& network_;
    SimWebSocketServer& server_;
    std::size_t index_;
    WsBehaviour behaviour_;
    std::vector<bool> fired_;
    std::size_t maxMessageBytes_;
    std::string protocol_;
    bool open_ = false;
    bool lost_ = false;
    rt::Channel<WsInbound> inbox_;
    std::vector<rt::Timer> timers_;
};

}  // namespace veska::sim
