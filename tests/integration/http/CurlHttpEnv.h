// The HTTP contract environment on real sockets: the libcurl client and two loopback servers.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "contract/HttpContractEnv.h"
#include "platform/linux/http/CurlHttpClient.h"
#include "runtime/RunLoop.h"
#include "support/LoopbackHttpServer.h"

namespace veska::platform {

/// Real time, pumped on the test's thread. Loopback addresses bypass any proxy the
/// environment names.
class CurlHttpEnv final : public contract::HttpContractEnv {
public:
    CurlHttpEnv() { ::setenv("no_proxy", "127.0.0.1,localhost", 1); }

    rt::Executor& executor() override { return loop_; }
    /// Checks `done` every few milliseconds too, since the servers change state on threads of
    /// their own without waking the loop.
    bool runUntil(const std::function<bool()>& done, double maxSeconds) override {
        const double end = loop_.now() + maxSeconds;
        while (true) {
            const double left = end - loop_.now();
            if (loop_.runUntil(done, std::min(left, kPollSeconds))) return true;
            if (left <= kPollSeconds) return done();
        }
    }
    void advance(double seconds) override { loop_.runFor(seconds); }

    ports::HttpClient& client() override { return client_; }
    std::string baseUrl(int server) override { return servers_[server].baseUrl(); }
    std::string unreachableUrl() override {
        return "http://127.0.0.1:" + std::to_string(testing::closedLoopbackPort()) + "/";
    }
    void route(sim::HttpRoute route, int server) override { servers_[server].route(std::move(route)); }
    std::vector<sim::RecordedHttpRequest> requests(int server) override {
        return servers_[server].requests();
    }

    CurlHttpClient& curl() { return client_; }
    testing::LoopbackHttpServer& server(int index) { return servers_[index]; }
    rt::RunLoop& loop() { return loop_; }

private:
    static constexpr double kPollSeconds = 0.005;

    rt::RunLoop loop_;
    testing::LoopbackHttpServer servers_[2];
    CurlHttpClient client_;
};

struct CurlHttpFactory {
    static std::unique_ptr<contract::HttpContractEnv> make() { return std::make_unique<CurlHttpEnv>(); }
};

}  // namespace veska::platform
