// A simulated HTTP server at one origin: scripted routes and a record of every request.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sim/SimHttpScript.h"
#include "platform/sim/SimSecretMask.h"

namespace veska::sim {

enum class HttpExchangeState {
    open,        // still going on
    completed,   // the whole answer was sent
    redirected,  // answered with a redirect the client followed
    cancelled,   // the client gave up
    timedOut,    // the client's time-out ended it
    failed,      // refused, dropped, malformed or a TLS failure
};

/// One request as the server saw it, and how its exchange went.
struct RecordedHttpRequest {
    std::size_t index = 0;
    double at = 0;  // executor time when it arrived
    ports::HttpMethod method = ports::HttpMethod::get;
    std::string url;
    std::string path;
    std::string query;
    ports::HttpHeaders headers;
    std::string body;
    HttpExchangeState state = HttpExchangeState::open;
    int status = 0;  // status answered; 0 when no head was sent
    std::size_t bodyBytesSent = 0;
    double endedAt = 0;
    std::shared_ptr<const SimSecretMask> mask;

    /// A one-line description with credentials masked.
    [[nodiscard]] std::string describe() const;
};

/// Printed (by test failures too) with credentials masked.
// NOLINTNEXTLINE(readability-identifier-naming): the name gtest looks for
void PrintTo(const RecordedHttpRequest& request, std::ostream* out);

/// The server of one origin ("https://api.example"). Routes are matched by path, and by
/// method and query where the route gives them (the most specific route wins); a request no
/// route matches gets 404. Lives on the loop's thread and outlives the clients attached to it.
class SimHttpServer {
public:
    /// Requests kept; older records are dropped first (their indices are not reused).
    static constexpr std::size_t kMaxRecordedRequests = 10'000;

    explicit SimHttpServer(const std::string& origin);

    [[nodiscard]] const std::string& origin() const { return origin_; }

    /// Adds a route; one with the same method, path and query replaces the earlier one (and
    /// its count of served requests starts again).
    void route(HttpRoute route);
    /// Shorthand: answer `method path` always with `status` and `body`.
    void reply(ports::HttpMethod method, std::string path, int status, std::string body,
               ports::HttpHeaders headers = {});
    void clearRoutes() { routes_.clear(); }

    [[nodiscard]] const std::vector<RecordedHttpRequest>& requests() const { return requests_; }
    /// The requests whose path is `path`, in arrival order.
    [[nodiscard]] std::vector<RecordedHttpRequest> requestsTo(std::string_view path) const;
    void clearRequests() {
        firstIndex_ += requests_.size();
        requests_.clear();
    }

    /// Secrets to hide when requests are printed.
    [[nodiscard]] SimSecretMask& secrets() { return *mask_; }

    // ---- for the simulated clients ----

    /// Records `request` and returns its index and the behaviour that answers it.
    std::pair<std::size_t, HttpBehaviour> accept(RecordedHttpRequest request);
    /// The record at `index`, or none after `clearRequests`.
    RecordedHttpRequest* record(std::size_t index);

private:
    struct RouteState {
        HttpRoute route;
        std::size_t served = 0;
    };
    [[nodiscard]] RouteState* match(const RecordedHttpRequest& request);

    std::string origin_;
    std::vector<RouteState> routes_;
    std::vector<RecordedHttpRequest> requests_;
    std::size_t firstIndex_ = 0;  // index of requests_[0]
    std::shared_ptr<SimSecretMask> mask_ = std::make_shared<SimSecretMask>();
};

[[nodiscard]] std::string_view stateName(HttpExchangeState state);

}  // namespace veska::sim
