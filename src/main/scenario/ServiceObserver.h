// Observing the fake servers: the requests and connections they got, and how each ended.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "main/scenario/Timeline.h"

namespace veska::scenario {

/// Reports, from the servers' own records, every request that arrived and how its exchange
/// ended, and every WebSocket connection, the frames the server received on it and the
/// changes of its state. Whoever sent them (a step, or the product) makes no difference.
class ServiceObserver final : public Observer {
public:
    explicit ServiceObserver(ScenarioWorld& world) : world_(world) {}
    void sync(TraceWriter& writer, double now) override;

private:
    /// Per HTTP server: the next request index not yet reported, and the requests reported
    /// as open (records are identified by index: the server may drop its oldest).
    struct SeenRequests {
        std::size_t next = 0;
        std::map<std::size_t, sim::HttpExchangeState> open;
    };
    struct SeenConnection {
        sim::WsConnectionState state = sim::WsConnectionState::connecting;
        std::size_t frames = 0;
    };
    void http(TraceWriter& writer, double now, const sim::SimHttpServer& server);
    void webSocket(TraceWriter& writer, double now, const sim::SimWebSocketServer& server);

    ScenarioWorld& world_;
    std::map<std::string, SeenRequests> requests_;
    std::map<std::string, std::vector<SeenConnection>> connections_;
};

}  // namespace veska::scenario
