// Requests and WebSocket connections the scenario's own steps make, and what came back.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "main/scenario/Scenario.h"
#include "main/scenario/Timeline.h"
#include "runtime/Spawn.h"

namespace veska::scenario {

/// What one request step got back so far.
struct ResponseState {
    int status = 0;
    std::string body;
    bool ended = false;
    std::optional<std::string> error;
};

/// One connection opened by a step: "connecting", "open", "closed" or "failed".
struct SocketState {
    std::string state = "connecting";
    std::optional<std::string> error;
    int status = 0;
    std::vector<std::string> received;
    std::unique_ptr<ports::WebSocket> socket;
};

/// Sends requests and opens connections through the world's simulated clients, reads every
/// answer as it streams in and writes it to the trace ("response", "responseBody",
/// "responseEnd", "responseError"; "wsOpen", "wsMessage", "wsClose", "wsError"). Each runs as a
/// task on the main lane owned by this object's scope. Lives on the loop's thread.
class ClientExchanges {
public:
    /// Most body bytes kept per answer for expectations (the trace shows every byte).
    static constexpr std::size_t kMaxKeptBodyBytes = std::size_t{16} * 1024 * 1024;

    ClientExchanges(ScenarioWorld& world, Timeline& timeline) : world_(world), timeline_(timeline) {}

    void request(const SendRequest& step);
    void connect(const Connect& step);
    /// Sends a message on an open connection; the reason it cannot, otherwise.
    std::optional<std::string> send(const SendFrame& step);
    std::optional<std::string> disconnect(const Disconnect& step);
    /// Cancels a request still going on, or a connection still opening.
    std::optional<std::string> cancel(const std::string& id);

    [[nodiscard]] const ResponseState* response(const std::string& id) const;
    [[nodiscard]] const SocketState* socket(const std::string& id) const;

private:
    rt::Task<void> exchange(std::string id, ports::HttpRequest request);
    rt::Task<void> session(std::string id, ports::WebSocketRequest request);
    rt::Task<void> receive(std::string id);
    rt::Task<void> sendFrame(std::string id, ports::WebSocketFrame frame);

    ScenarioWorld& world_;
    Timeline& timeline_;
    std::map<std::string, ResponseState> responses_;
    std::map<std::string, SocketState> sockets_;
    std::map<std::string, rt::JoinHandle<void>> tasks_;
    rt::Scope scope_;
};

}  // namespace veska::scenario
