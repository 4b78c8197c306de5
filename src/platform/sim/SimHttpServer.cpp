// The simulated HTTP server: route matching, behaviours in order, and the request record.
#include "platform/sim/SimHttpServer.h"

#include <algorithm>
#include <ostream>

#include "platform/sim/SimUrl.h"
#include "runtime/Check.h"

namespace veska::sim {

namespace {

bool sameKey(const HttpRoute& a, const HttpRoute& b) {
    return a.method == b.method && a.path == b.path && a.query == b.query;
}

}  // namespace

std::string_view stateName(HttpExchangeState state) {
    switch (state) {
        case HttpExchangeState::open: return "open";
        case HttpExchangeState::completed: return "completed";
        case HttpExchangeState::redirected: return "redirected";
        case HttpExchangeState::cancelled: return "cancelled";
        case HttpExchangeState::timedOut: return "timedOut";
        case HttpExchangeState::failed: return "failed";
    }
    return "?";
}

std::string RecordedHttpRequest::describe() const {
    const SimSecretMask fallback;
    const SimSecretMask& m = mask ? *mask : fallback;
    std::string out = "#" + std::to_string(index) + " " + std::string(ports::methodName(method)) + " " +
                      m.mask(url) + " [";
    out += m.describe(headers);
    out += "] body " + std::to_string(body.size()) + " bytes";
    if (!body.empty()) out += " \"" + m.mask(body.substr(0, 200)) + (body.size() > 200 ? "…\"" : "\"");
    out += " → " + std::string(stateName(state));
    if (status != 0) out += " " + std::to_string(status);
    return out;
}

void PrintTo(const RecordedHttpRequest& request, std::ostream* out) { *out << request.describe(); }

SimHttpServer::SimHttpServer(const std::string& origin) {
    auto url = SimUrl::parse(origin);
    VESKA_CHECK(url.has_value(), "a simulated server needs an origin such as https://api.example");
    origin_ = url->origin();
}

void SimHttpServer::route(HttpRoute route) {
    VESKA_CHECK(!route.behaviours.empty(), "a route needs at least one behaviour");
    for (auto& existing : routes_) {
        if (sameKey(existing.route, route)) {
            existing = RouteState{std::move(route), 0};
            return;
        }
    }
    routes_.push_back(RouteState{std::move(route), 0});
}

void SimHttpServer::reply(ports::HttpMethod method, std::string path, int status, std::string body,
                          ports::HttpHeaders headers) {
    route(HttpRoute{method, std::move(path), std::nullopt,
                    {HttpBehaviour::reply(status, std::move(body), std::move(headers))}});
}

std::vector<RecordedHttpRequest> SimHttpServer::requestsTo(std::string_view path) const {
    std::vector<RecordedHttpRequest> found;
    for (const auto& request : requests_) {
        if (request.path == path) found.push_back(request);
    }
    return found;
}

SimHttpServer::RouteState* SimHttpServer::match(const RecordedHttpRequest& request) {
    RouteState* best = nullptr;
    int bestScore = -1;
    for (auto& state : routes_) {
        const HttpRoute& r = state.route;
        if (r.path != request.path) continue;
        if (r.method && *r.method != request.method) continue;
        if (r.query && *r.query != request.query) continue;
        const int score = (r.method ? 1 : 0) + (r.query ? 2 : 0);
        if (score > bestScore) {
            best = &state;
            bestScore = score;
        }
    }
    return best;
}

std::pair<std::size_t, HttpBehaviour> SimHttpServer::accept(RecordedHttpRequest request) {
    request.index = firstIndex_ + requests_.size();
    request.mask = mask_;
    HttpBehaviour behaviour = HttpBehaviour::reply(404, {});
    if (RouteState* state = match(request)) {
        const auto& list = state->route.behaviours;
        behaviour = list[std::min(state->served, list.size() - 1)];
        ++state->served;
    }
    const std::size_t index = request.index;
    if (requests_.size() == kMaxRecordedRequests) {
        requests_.erase(requests_.begin());
        ++firstIndex_;
    }
    requests_.push_back(std::move(request));
    return {index, behaviour};
}

RecordedHttpRequest* SimHttpServer::record(std::size_t index) {
    if (index < firstIndex_ || index - firstIndex_ >= requests_.size()) return nullptr;
    return &requests_[index - firstIndex_];
}

}  // namespace veska::sim
