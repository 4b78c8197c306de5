// The WebSocket client of the simulated network: connections to SimWebSocketServers.
#pragma once

#include <memory>
#include <vector>

#include "platform/sim/SimWebSocketServer.h"
#include "ports/WebSocketClient.h"
#include "runtime/Executor.h"

namespace veska::sim {

/// Opens connections to the attached servers, picked by the URL's origin; an origin no
/// server holds fails like an unknown host (network). The upgrade, the scripted steps and
/// the time-out are timers on `network`, the lane standing in for the network thread.
/// Lives on the loop's thread; connections it opened may outlive it.
class SimWebSocketClient final : public ports::WebSocketClient {
public:
    explicit SimWebSocketClient(rt::Executor& network) : network_(network) {}

    void attach(SimWebSocketServer& server);
    void detach(const SimWebSocketServer& server);

    rt::Task<std::unique_ptr<ports::WebSocket>> connect(ports::WebSocketRequest request) override;

private:
    [[nodiscard]] SimWebSocketServer* find(const std::string& origin) const;

    rt::Executor& network_;
    std::vector<SimWebSocketServer*> servers_;
};

}  // namespace veska::sim
