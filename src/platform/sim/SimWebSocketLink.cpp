// One live simulated WebSocket connection: scripted server steps and the client's inbox.
#include "platform/sim/SimWebSocketLink.h"

#include <algorithm>

namespace veska::sim {

using ports::WebSocketFrame;
using ports::WebSocketFrameKind;

SimWebSocketLink::SimWebSocketLink(rt::Executor& network, SimWebSocketServer& server, std::size_t index,
                                   WsBehaviour behaviour, std::size_t maxMessageBytes, std::string protocol)
    : network_(network),
      server_(server),
      index_(index),
      behaviour_(std::move(behaviour)),
      fired_(behaviour_.reactions.size(), false),
      maxMessageBytes_(maxMessageBytes),
      protocol_(std::move(protocol)) {}

void SimWebSocketLink::open() {
    open_ = true;
    if (auto* r = server_.record(index_)) {
        r->state = WsConnectionState::open;
        r->protocol = protocol_;
    }
    server_.attachPeer(index_, weak_from_this());
    run(behaviour_.steps);
}

void SimWebSocketLink::run(const std::vector<WsStep>& steps) {
    std::erase_if(timers_, [](const rt::Timer& t) { return !t.pending(); });
    std::weak_ptr<SimWebSocketLink> weak = weak_from_this();
    double at = 0;
    for (const auto& step : steps) {
        at += std::max(0.0, step.delaySeconds);
        timers_.push_back(network_.postAfter(at, [weak, step] {
            if (auto self = weak.lock()) self->perform(step);
        }));
    }
}

void SimWebSocketLink::perform(const WsStep& step) {
    switch (step.kind) {
        case WsStepKind::text: deliver(WebSocketFrame::text(step.data)); return;
        case WsStepKind::binary: deliver(WebSocketFrame::binary(step.data)); return;
        case WsStepKind::close: deliver(WebSocketFrame::close(step.closeCode, step.closeReason)); return;
        case WsStepKind::drop: drop(); return;
        case WsStepKind::ping: ping(step.data); return;
    }
}

void SimWebSocketLink::recordFrame(WsFrameKind kind, std::string data, int code, std::string reason) {
    auto* r = server_.record(index_);
    if (r == nullptr) return;
    if (r->frames.size() >= SimWebSocketServer::kMaxRecordedFrames) {
        ++r->framesDropped;
        return;
    }
    r->frames.push_back(RecordedWsFrame{network_.now(), kind, std::move(data), code, std::move(reason)});
}

void SimWebSocketLink::end(WsConnectionState state) {
    open_ = false;
    timers_.clear();
    if (auto* r = server_.record(index_)) {
        r->state = state;
        r->endedAt = network_.now();
    }
}

void SimWebSocketLink::deliver(WebSocketFrame frame) {
    if (!open_) return;
    if (frame.kind == WebSocketFrameKind::close) {
        const bool hasCode = frame.closeCode != 0;
        const int code = hasCode ? frame.closeCode : ports::kCloseNoStatus;
        inbox_.send(WsInbound{WebSocketFrame::close(code, std::move(frame.closeReason)), {}});
        inbox_.close();
        // The client answers a close with the same code (a normal close when none came).
        recordFrame(WsFrameKind::close, {}, hasCode ? code : ports::kCloseNormal);
        end(WsConnectionState::closedByServer);
        return;
    }
    if (frame.data.size() > maxMessageBytes_) {
        inbox_.send(WsInbound{std::nullopt, ports::WebSocketErrorKind::tooLarge});
        inbox_.close();
        recordFrame(WsFrameKind::close, {}, ports::kCloseTooBig);
        end(WsConnectionState::closedByClient);
        return;
    }
    inbox_.send(WsInbound{std::move(frame), {}});
}

void SimWebSocketLink::ping(std::string payload) {
    if (open_) recordFrame(WsFrameKind::pong, std::move(payload));
}

void SimWebSocketLink::drop() {
    if (!open_) return;
    lost_ = true;
    inbox_.send(WsInbound{std::nullopt, ports::WebSocketErrorKind::network});
    inbox_.close();
    end(WsConnectionState::dropped);
}

void SimWebSocketLink::clientSend(const WebSocketFrame& frame) {
    if (!open_) return;
    const bool binary = frame.kind == WebSocketFrameKind::binary;
    recordFrame(binary ? WsFrameKind::binary : WsFrameKind::text, frame.data);
    react(frame);
}

void SimWebSocketLink::react(const WebSocketFrame& frame) {
    const bool binary = frame.kind == WebSocketFrameKind::binary;
    for (std::size_t i = 0; i < behaviour_.reactions.size(); ++i) {
        const WsReaction& reaction = behaviour_.reactions[i];
        if (reaction.once && fired_[i]) continue;
        const bool matches = binary ? reaction.onBinary
                                    : !reaction.onBinary && frame.data.find(reaction.whenTextContains) != std::string::npos;
        if (!matches) continue;
        fired_[i] = true;
        run(reaction.steps);
    }
}

void SimWebSocketLink::clientClose(int code, std::string reason) {
    if (!open_) return;
    recordFrame(WsFrameKind::close, {}, code, std::move(reason));
    while (inbox_.tryReceive()) {
    }
    inbox_.close();
    end(WsConnectionState::closedByClient);
}

}  // namespace veska::sim
