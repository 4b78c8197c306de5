// A wss:// server on a free loopback port that plays the scripts of the simulated network.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/sim/SimWebSocketScript.h"
#include "platform/sim/SimWebSocketServer.h"

namespace veska::testing {

/// Serves `sim::WsEndpoint` scripts over TLS (a P-256 certificate for 127.0.0.1 made at
/// construction and written to `certificateFile()`), in real time, on a thread of its own, and
/// records connections as the simulated server does. A connection that arrives while the
/// endpoint set last has `tlsFailure` as its next behaviour gets bytes that are not TLS.
class LoopbackWsServer {
public:
    explicit LoopbackWsServer(const std::filesystem::path& directory);
    ~LoopbackWsServer();
    LoopbackWsServer(const LoopbackWsServer&) = delete;
    LoopbackWsServer& operator=(const LoopbackWsServer&) = delete;

    /// "wss://127.0.0.1:PORT".
    [[nodiscard]] std::string baseUrl() const;
    [[nodiscard]] const std::filesystem::path& certificateFile() const { return certificateFile_; }
    void endpoint(sim::WsEndpoint endpoint);
    [[nodiscard]] std::vector<sim::RecordedWsConnection> connections() const;

    struct State;

private:
    std::filesystem::path certificateFile_;
    std::shared_ptr<State> state_;
};

}  // namespace veska::testing
