// The simulated WebSocket server: endpoints, behaviours in turn, live control, the record.
#include "platform/sim/SimWebSocketServer.h"

#include <algorithm>
#include <ostream>

#include "platform/sim/SimUrl.h"
#include "runtime/Check.h"

namespace veska::sim {

std::string_view stateName(WsConnectionState state) {
    switch (state) {
        case WsConnectionState::connecting: return "connecting";
        case WsConnectionState::open: return "open";
        case WsConnectionState::refused: return "refused";
        case WsConnectionState::failed: return "failed";
        case WsConnectionState::abandoned: return "abandoned";
        case WsConnectionState::closedByClient: return "closedByClient";
        case WsConnectionState::closedByServer: return "closedByServer";
        case WsConnectionState::dropped: return "dropped";
    }
    return "?";
}

std::vector<std::string> RecordedWsConnection::texts() const {
    std::vector<std::string> out;
    for (const auto& frame : frames) {
        if (frame.kind == WsFrameKind::text) out.push_back(frame.data);
    }
    return out;
}

std::string RecordedWsConnection::describe() const {
    const SimSecretMask fallback;
    const SimSecretMask& m = mask ? *mask : fallback;
    std::string out = "#" + std::to_string(index) + " " + m.mask(url) + " [";
    out += m.describe(headers);
    out += "] protocols [";
    for (std::size_t i = 0; i < offeredProtocols.size(); ++i) out += (i > 0 ? ", " : "") + m.mask(offeredProtocols[i]);
    out += "] " + std::string(stateName(state)) + ", " + std::to_string(frames.size()) + " frames";
    for (const auto& frame : frames) {
        if (frame.kind == WsFrameKind::close) out += ", close " + std::to_string(frame.closeCode);
        if (frame.kind == WsFrameKind::text) out += ", \"" + m.mask(frame.data.substr(0, 80)) + "\"";
    }
    return out;
}

void PrintTo(const RecordedWsConnection& connection, std::ostream* out) { *out << connection.describe(); }

SimWebSocketServer::SimWebSocketServer(const std::string& origin) {
    auto url = SimUrl::parse(origin);
    VESKA_CHECK(url && (url->scheme == "ws" || url->scheme == "wss"), "a WebSocket server needs a ws or wss origin");
    origin_ = url->origin();
}

void SimWebSocketServer::endpoint(WsEndpoint endpoint) {
    VESKA_CHECK(!endpoint.behaviours.empty(), "an endpoint needs at least one behaviour");
    for (auto& existing : endpoints_) {
        if (existing.endpoint.path == endpoint.path && existing.endpoint.query == endpoint.query) {
            existing = EndpointState{std::move(endpoint), 0};
            return;
        }
    }
    endpoints_.push_back(EndpointState{std::move(endpoint), 0});
}

std::pair<std::size_t, WsBehaviour> SimWebSocketServer::accept(RecordedWsConnection connection) {
    connection.index = connections_.size();
    connection.mask = mask_;
    WsBehaviour behaviour = WsBehaviour::refuse(404);
    EndpointState* best = nullptr;
    for (auto& state : endpoints_) {
        if (state.endpoint.path != connection.path) continue;
        if (state.endpoint.query && *state.endpoint.query != connection.query) continue;
        if (best == nullptr || state.endpoint.query) best = &state;
    }
    if (best != nullptr) {
        const auto& list = best->endpoint.behaviours;
        behaviour = list[std::min(best->served, list.size() - 1)];
        ++best->served;
    }
    connections_.push_back(std::move(connection));
    return {connections_.size() - 1, behaviour};
}

RecordedWsConnection* SimWebSocketServer::record(std::size_t index) {
    return index < connections_.size() ? &connections_[index] : nullptr;
}

std::shared_ptr<SimWsPeer> SimWebSocketServer::peer(std::size_t index) {
    auto it = peers_.find(index);
    if (it == peers_.end()) return nullptr;
    auto live = it->second.lock();
    if (!live) peers_.erase(it);
    return live;
}

bool SimWebSocketServer::sendText(std::size_t index, std::string text) {
    auto live = peer(index);
    if (!live || connections_[index].state != WsConnectionState::open) return false;
    live->deliver(ports::WebSocketFrame::text(std::move(text)));
    return true;
}

bool SimWebSocketServer::sendBinary(std::size_t index, std::string bytes) {
    auto live = peer(index);
    if (!live || connections_[index].state != WsConnectionState::open) return false;
    live->deliver(ports::WebSocketFrame::binary(std::move(bytes)));
    return true;
}

bool SimWebSocketServer::close(std::size_t index, int code, std::string reason) {
    auto live = peer(index);
    if (!live || connections_[index].state != WsConnectionState::open) return false;
    live->deliver(ports::WebSocketFrame::close(code, std::move(reason)));
    return true;
}

bool SimWebSocketServer::drop(std::size_t index) {
    auto live = peer(index);
    if (!live || connections_[index].state != WsConnectionState::open) return false;
    live->drop();
    return true;
}

}  // namespace veska::sim
