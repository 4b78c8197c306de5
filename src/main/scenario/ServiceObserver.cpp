// Trace lines for what the fake servers saw.
#include "main/scenario/ServiceObserver.h"

#include <algorithm>

namespace veska::scenario {

namespace {

using Fields = TraceWriter::Fields;

constexpr std::string_view kProtocolHeader = "Sec-WebSocket-Protocol";

std::string_view frameKind(sim::WsFrameKind kind) {
    switch (kind) {
    case sim::WsFrameKind::text: return "text";
    case sim::WsFrameKind::binary: return "binary";
    case sim::WsFrameKind::close: return "close";
    case sim::WsFrameKind::pong: return "pong";
    }
    return "?";
}

}  // namespace

void ServiceObserver::sync(TraceWriter& writer, double now) {
    for (const auto& server : world_.httpServers()) http(writer, now, *server);
    for (const auto& server : world_.webSocketServers()) webSocket(writer, now, *server);
}

void ServiceObserver::http(TraceWriter& writer, double now, const sim::SimHttpServer& server) {
    SeenRequests& seen = requests_[server.origin()];
    const auto& records = server.requests();
    if (records.empty()) return;
    // Start at the oldest record still open, or the first new one: the rest was reported.
    const std::size_t from = seen.open.empty() ? seen.next : std::min(seen.next, seen.open.begin()->first);
    const std::size_t first = records.front().index;
    for (std::size_t i = from > first ? from - first : 0; i < records.size(); ++i) {
        const sim::RecordedHttpRequest& r = records[i];
        if (r.index >= seen.next) {
            seen.next = r.index + 1;
            seen.open[r.index] = sim::HttpExchangeState::open;
            Fields out{{"server", server.origin()}, {"n", r.index}, {"method", ports::methodName(r.method)},
                       {"url", r.url}, {"headers", writer.headers(r.headers)}};
            if (!r.body.empty()) out["body"] = r.body;
            writer.emit(now, "request", std::move(out));
        }
        auto open = seen.open.find(r.index);
        if (open == seen.open.end() || r.state == sim::HttpExchangeState::open) continue;
        // Every state but open is final: report it once.
        seen.open.erase(open);
        Fields out{{"server", server.origin()}, {"n", r.index}, {"state", sim::stateName(r.state)}};
        if (r.status != 0) out["status"] = r.status;
        out["bytes"] = r.bodyBytesSent;
        writer.emit(now, "requestEnded", std::move(out));
    }
}

void ServiceObserver::webSocket(TraceWriter& writer, double now, const sim::SimWebSocketServer& server) {
    auto& seen = connections_[server.origin()];
    const auto& records = server.connections();
    for (std::size_t i = 0; i < records.size(); ++i) {
        const sim::RecordedWsConnection& c = records[i];
        if (i >= seen.size()) {
            seen.emplace_back();
            Fields protocols = Fields::array();
            for (const auto& p : c.offeredProtocols) protocols.push_back(writer.headerValue(kProtocolHeader, p));
            writer.emit(now, "wsConnection",
                        Fields{{"server", server.origin()}, {"n", c.index}, {"url", c.url},
                               {"headers", writer.headers(c.headers)}, {"protocols", std::move(protocols)}});
        }
        SeenConnection& mine = seen[i];
        for (; mine.frames < c.frames.size(); ++mine.frames) {
            const sim::RecordedWsFrame& frame = c.frames[mine.frames];
            Fields out{{"server", server.origin()}, {"n", c.index}, {"kind", frameKind(frame.kind)}};
            if (frame.kind == sim::WsFrameKind::close) {
                out["code"] = frame.closeCode;
                if (!frame.closeReason.empty()) out["reason"] = frame.closeReason;
            } else {
                out["data"] = frame.data;
            }
            writer.emit(now, "wsFrame", std::move(out));
        }
        if (mine.state == c.state) continue;
        mine.state = c.state;
        Fields out{{"server", server.origin()}, {"n", c.index}, {"state", sim::stateName(c.state)}};
        if (c.state == sim::WsConnectionState::open && !c.protocol.empty()) {
            out["protocol"] = writer.headerValue(kProtocolHeader, c.protocol);
        }
        writer.emit(now, "wsConnectionState", std::move(out));
    }
}

}  // namespace veska::scenario
