// The WebSocket client port over Boost.Beast with OpenSSL, on one network thread of its own.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>

#include "ports/WebSocketClient.h"

namespace veska::platform {

/// Opens ws:// and wss:// connections. Every connection runs on the client's network thread;
/// results reach the calling task on its own executor. Secure connections verify the server's
/// certificate and host name against the system's trusted certificates (plus `extraTrusted`,
/// a PEM file, when given). The client outlives its connections.
class BeastWebSocketClient final : public ports::WebSocketClient {
public:
    struct Options {
        /// Certificates trusted besides the system's (tests use one made for loopback).
        std::optional<std::filesystem::path> extraTrusted;
    };

    BeastWebSocketClient();
    explicit BeastWebSocketClient(Options options);
    ~BeastWebSocketClient() override;
    BeastWebSocketClient(const BeastWebSocketClient&) = delete;
    BeastWebSocketClient& operator=(const BeastWebSocketClient&) = delete;

    rt::Task<std::unique_ptr<ports::WebSocket>> connect(ports::WebSocketRequest request) override;

    struct Network;

private:
    std::unique_ptr<Network> network_;
};

}  // namespace veska::platform
