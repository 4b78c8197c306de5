// The HTTP client of the simulated network: requests answered by SimHttpServers on virtual time.
#pragma once

#include <memory>
#include <vector>

#include "platform/sim/SimHttpServer.h"
#include "ports/HttpClient.h"
#include "runtime/Executor.h"

namespace veska::sim {

/// Sends requests to the attached servers, picked by the URL's origin; a URL whose origin no
/// server holds fails like an unknown host (network). Every step of an exchange (head, pieces,
/// time-outs) is a timer on `network`, the lane standing in for the network thread, so the
/// exchange unfolds in virtual time exactly as its behaviour says. Lives on the loop's thread.
class SimHttpClient final : public ports::HttpClient {
public:
    explicit SimHttpClient(rt::Executor& network);
    /// Transfers still running fail with a network failure.
    ~SimHttpClient() override;
    SimHttpClient(const SimHttpClient&) = delete;
    SimHttpClient& operator=(const SimHttpClient&) = delete;

    void attach(SimHttpServer& server);
    /// Takes a server off the network: its origin becomes an unknown host.
    void detach(const SimHttpServer& server);
    /// Exchanges still going on.
    [[nodiscard]] std::size_t activeTransfers() const;

    struct State;

protected:
    void start(ports::HttpRequest request, std::shared_ptr<ports::HttpTransfer> transfer) override;

private:
    std::shared_ptr<State> state_;
};

}  // namespace veska::sim
