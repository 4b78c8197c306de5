// The WebSocket contract environment on real sockets: the Beast client and a loopback server.
#pragma once

#include <algorithm>

#include "LoopbackWsServer.h"
#include "contract/WebSocketContractEnv.h"
#include "platform/linux/websocket/BeastWebSocketClient.h"
#include "runtime/RunLoop.h"
#include "support/LoopbackHttpServer.h"
#include "support/TempDir.h"

namespace veska::platform {

/// Real time, pumped on the test's thread; the client trusts the server's own certificate.
class BeastWebSocketEnv final : public contract::WebSocketContractEnv {
public:
    rt::Executor& executor() override { return loop_; }
    bool runUntil(const std::function<bool()>& done, double maxSeconds) override {
        const double end = loop_.now() + maxSeconds;
        while (true) {
            const double left = end - loop_.now();
            if (loop_.runUntil(done, std::min(left, kPollSeconds))) return true;
            if (left <= kPollSeconds) return done();
        }
    }
    void advance(double seconds) override { loop_.runFor(seconds); }

    ports::WebSocketClient& client() override { return client_; }
    std::string baseUrl() override { return server_.baseUrl(); }
    std::string unreachableUrl() override {
        return "wss://127.0.0.1:" + std::to_string(testing::closedLoopbackPort()) + "/";
    }
    void endpoint(sim::WsEndpoint endpoint) override { server_.endpoint(std::move(endpoint)); }
    std::vector<sim::RecordedWsConnection> connections() override { return server_.connections(); }

    rt::RunLoop& loop() { return loop_; }
    testing::LoopbackWsServer& server() { return server_; }

private:
    static constexpr double kPollSeconds = 0.005;

    testing::TempDir dir_;
    rt::RunLoop loop_;
    testing::LoopbackWsServer server_{dir_.path()};
    BeastWebSocketClient client_{BeastWebSocketClient::Options{server_.certificateFile()}};
};

struct BeastWebSocketFactory {
    static std::unique_ptr<contract::WebSocketContractEnv> make() { return std::make_unique<BeastWebSocketEnv>(); }
};

}  // namespace veska::platform
