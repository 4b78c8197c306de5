// An HTTP/1.1 server on a free loopback port that answers with the simulated network's scripts.
#pragma once

#include <atomic>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/sim/SimHttpScript.h"
#include "platform/sim/SimHttpServer.h"

namespace veska::testing {

/// Serves `sim::HttpRoute`s over real sockets, so a real HTTP client meets the same scripts
/// as the simulated one: heads, timed pieces, drops, silence, malformed answers, refused
/// connections, and (by a redirect to a TLS port that answers in plain text) failed TLS
/// handshakes. Records each request and how its exchange went, as the simulated server does;
/// a client that closes the connection early leaves the state `cancelled`. Each connection runs
/// on a thread of its own; the destructor closes them all and joins.
class LoopbackHttpServer {
public:
    LoopbackHttpServer();
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    /// "http://127.0.0.1:PORT".
    [[nodiscard]] std::string baseUrl() const;
    [[nodiscard]] int port() const { return port_; }
    void route(sim::HttpRoute route);
    [[nodiscard]] std::vector<sim::RecordedHttpRequest> requests() const;
    /// Connections accepted so far.
    [[nodiscard]] int connections() const { return connections_.load(); }

    struct Connection;

private:
    void acceptLoop();
    void serve(int fd);

    int listenFd_ = -1;
    int stopPipe_[2] = {-1, -1};
    int port_ = 0;
    std::atomic<int> connections_{0};
    mutable std::mutex mutex_;  // guards server_ and workers_
    std::unique_ptr<sim::SimHttpServer> server_;
    std::list<std::thread> workers_;
    std::thread acceptor_;

    friend struct Connection;
};

/// A loopback port where nothing listens.
[[nodiscard]] int closedLoopbackPort();

}  // namespace veska::testing
