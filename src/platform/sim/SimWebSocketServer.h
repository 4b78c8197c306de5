// A simulated WebSocket server at one origin: scripted endpoints, live control, a record.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/sim/SimSecretMask.h"
#include "platform/sim/SimWebSocketScript.h"
#include "ports/WebSocketClient.h"

namespace veska::sim {

enum class WsFrameKind { text, binary, close, pong };

/// A frame the server received from the client.
struct RecordedWsFrame {
    double at = 0;
    WsFrameKind kind = WsFrameKind::text;
    std::string data;
    int closeCode = 0;
    std::string closeReason;
};

enum class WsConnectionState {
    connecting,
    open,
    refused,         // the upgrade was refused
    failed,          // dropped during the upgrade, TLS failure, timed out, bad answer
    abandoned,       // the client gave up while opening
    closedByClient,
    closedByServer,
    dropped,         // lost without a close handshake
};

/// One connection as the server saw it.
struct RecordedWsConnection {
    std::size_t index = 0;
    double at = 0;
    std::string url;
    std::string path;
    std::string query;
    ports::HttpHeaders headers;
    std::vector<std::string> offeredProtocols;
    std::string protocol;
    WsConnectionState state = WsConnectionState::connecting;
    std::vector<RecordedWsFrame> frames;
    /// Frames not recorded because `kMaxRecordedFrames` were already.
    std::size_t framesDropped = 0;
    double endedAt = 0;
    std::shared_ptr<const SimSecretMask> mask;

    /// Text frames received, in order.
    [[nodiscard]] std::vector<std::string> texts() const;
    /// A one-line description with credentials masked.
    [[nodiscard]] std::string describe() const;
};

// NOLINTNEXTLINE(readability-identifier-naming): the name gtest looks for
void PrintTo(const RecordedWsConnection& connection, std::ostream* out);

/// The server's end of one live connection; the simulated client implements it.
class SimWsPeer {
public:
    virtual ~SimWsPeer() = default;
    /// Sends a text, binary or close frame to the client.
    virtual void deliver(ports::WebSocketFrame frame) = 0;
    virtual void ping(std::string payload) = 0;
    virtual void drop() = 0;
};

/// The WebSocket server of one origin ("wss://api.example"). A connection to a path no
/// endpoint takes is refused with 404. Besides scripts, a test can act on a live connection
/// (`sendText`, `close`, `drop`...). Lives on the loop's thread and outlives its clients.
class SimWebSocketServer {
public:
    /// Frames recorded per connection; later ones are only counted.
    static constexpr std::size_t kMaxRecordedFrames = 100'000;

    explicit SimWebSocketServer(const std::string& origin);

    [[nodiscard]] const std::string& origin() const { return origin_; }

    /// Adds an endpoint; one with the same path and query replaces the earlier one.
    void endpoint(WsEndpoint endpoint);
    [[nodiscard]] const std::vector<RecordedWsConnection>& connections() const { return connections_; }
    [[nodiscard]] SimSecretMask& secrets() { return *mask_; }

    /// Acts on live connection `index` now; false when it is not open.
    bool sendText(std::size_t index, std::string text);
    bool sendBinary(std::size_t index, std::string bytes);
    bool close(std::size_t index, int code, std::string reason = {});
    bool drop(std::size_t index);

    // ---- for the simulated clients ----
    std::pair<std::size_t, WsBehaviour> accept(RecordedWsConnection connection);
    RecordedWsConnection* record(std::size_t index);
    void attachPeer(std::size_t index, std::weak_ptr<SimWsPeer> peer) { peers_[index] = std::move(peer); }

private:
    struct EndpointState {
        WsEndpoint endpoint;
        std::size_t served = 0;
    };
    std::shared_ptr<SimWsPeer> peer(std::size_t index);

    std::string origin_;
    std::vector<EndpointState> endpoints_;
    std::vector<RecordedWsConnection> connections_;
    std::map<std::size_t, std::weak_ptr<SimWsPeer>> peers_;
    std::shared_ptr<SimSecretMask> mask_ = std::make_shared<SimSecretMask>();
};

[[nodiscard]] std::string_view stateName(WsConnectionState state);

}  // namespace veska::sim
