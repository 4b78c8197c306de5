// The WebSocket contract environment on the simulated network and virtual time.
#pragma once

#include <memory>

#include "contract/WebSocketContractEnv.h"
#include "platform/sim/SimWebSocketClient.h"
#include "runtime/VirtualLoop.h"

namespace veska::sim {

class SimWebSocketEnv final : public contract::WebSocketContractEnv {
public:
    SimWebSocketEnv() { client_.attach(server_); }

    rt::Executor& executor() override { return loop_.main(); }
    bool runUntil(const std::function<bool()>& done, double maxSeconds) override {
        return loop_.runUntil(done, maxSeconds);
    }
    void advance(double seconds) override { loop_.runFor(seconds); }

    ports::WebSocketClient& client() override { return client_; }
    std::string baseUrl() override { return server_.origin(); }
    std::string unreachableUrl() override { return "ws://nobody.test/"; }
    void endpoint(WsEndpoint endpoint) override { server_.endpoint(std::move(endpoint)); }
    std::vector<RecordedWsConnection> connections() override { return server_.connections(); }

    rt::VirtualLoop& loop() { return loop_; }
    SimWebSocketServer& server() { return server_; }

private:
    rt::VirtualLoop loop_;
    SimWebSocketServer server_{"ws://voice.test"};
    SimWebSocketClient client_{loop_.lane("network")};
};

struct SimWebSocketFactory {
    static std::unique_ptr<contract::WebSocketContractEnv> make() { return std::make_unique<SimWebSocketEnv>(); }
};

}  // namespace veska::sim
