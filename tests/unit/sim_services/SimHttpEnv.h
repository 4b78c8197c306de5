// The HTTP contract environment on the simulated network and virtual time.
#pragma once

#include <memory>

#include "contract/HttpContractEnv.h"
#include "platform/sim/SimHttpClient.h"
#include "runtime/VirtualLoop.h"

namespace veska::sim {

class SimHttpEnv final : public contract::HttpContractEnv {
public:
    SimHttpEnv() {
        client_.attach(servers_[0]);
        client_.attach(servers_[1]);
    }

    rt::Executor& executor() override { return loop_.main(); }
    bool runUntil(const std::function<bool()>& done, double maxSeconds) override {
        return loop_.runUntil(done, maxSeconds);
    }
    void advance(double seconds) override { loop_.runFor(seconds); }

    ports::HttpClient& client() override { return client_; }
    std::string baseUrl(int server) override { return servers_[server].origin(); }
    std::string unreachableUrl() override { return "http://nobody.test/"; }
    void route(HttpRoute route, int server) override { servers_[server].route(std::move(route)); }
    std::vector<RecordedHttpRequest> requests(int server) override { return servers_[server].requests(); }

    rt::VirtualLoop& loop() { return loop_; }
    SimHttpServer& server(int index) { return servers_[index]; }
    SimHttpClient& simClient() { return client_; }

private:
    rt::VirtualLoop loop_;
    SimHttpServer servers_[2] = {SimHttpServer("http://service.test"), SimHttpServer("https://other.test:8443")};
    SimHttpClient client_{loop_.lane("network")};
};

struct SimHttpFactory {
    static std::unique_ptr<contract::HttpContractEnv> make() { return std::make_unique<SimHttpEnv>(); }
};

}  // namespace veska::sim
