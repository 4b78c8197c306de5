// A minimal HTTPS server on a free loopback port with a certificate made for the test.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <thread>

namespace veska::platform {

/// Answers every request on a TLS connection with 200 "ok". Its certificate is self-signed
/// (made at construction, P-256) for `hostNames` (subject alternative names such as
/// "DNS:localhost,IP:127.0.0.1") and written as PEM to `certificateFile()`, so a client can be
/// told to trust it. Runs on a thread of its own until destroyed.
class LoopbackTlsServer {
public:
    LoopbackTlsServer(const std::filesystem::path& directory, const std::string& hostNames);
    ~LoopbackTlsServer();
    LoopbackTlsServer(const LoopbackTlsServer&) = delete;
    LoopbackTlsServer& operator=(const LoopbackTlsServer&) = delete;

    /// "https://127.0.0.1:PORT".
    [[nodiscard]] std::string baseUrl() const;
    [[nodiscard]] const std::filesystem::path& certificateFile() const { return certificateFile_; }
    /// Requests that arrived over a completed handshake and were answered.
    [[nodiscard]] int requestsAnswered() const;

    struct State;

private:
    std::unique_ptr<State> state_;
    std::filesystem::path certificateFile_;
    std::thread thread_;
};

}  // namespace veska::platform
