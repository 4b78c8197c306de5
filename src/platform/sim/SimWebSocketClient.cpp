// The simulated WebSocket client: the opening handshake on virtual time, and the connection.
#include "platform/sim/SimWebSocketClient.h"

#include <algorithm>
#include <cmath>

#include "platform/sim/SimUrl.h"
#include "platform/sim/SimWebSocketLink.h"
#include "ports/HttpClient.h"
#include "runtime/Check.h"
#include "runtime/Completion.h"

namespace veska::sim {

namespace {

using ports::WebSocketError;
using ports::WebSocketErrorKind;

/// The port's view of one connection.
class SimWebSocket final : public ports::WebSocket {
public:
    explicit SimWebSocket(std::shared_ptr<SimWebSocketLink> link) : link_(std::move(link)) {}
    ~SimWebSocket() override { link_->clientClose(ports::kCloseNormal, {}); }
    SimWebSocket(const SimWebSocket&) = delete;
    SimWebSocket& operator=(const SimWebSocket&) = delete;

    [[nodiscard]] std::string protocol() const override { return link_->protocol(); }
    [[nodiscard]] bool isOpen() const override { return link_->isOpen(); }

    rt::Task<ports::WebSocketFrame> receive() override {
        std::optional<WsInbound> item = co_await link_->inbox().receive();
        if (!item) throw WebSocketError(link_->lost() ? WebSocketErrorKind::network : WebSocketErrorKind::closed);
        if (!item->frame) throw WebSocketError(item->error);
        co_return std::move(*item->frame);
    }

    rt::Task<void> send(ports::WebSocketFrame frame) override {
        VESKA_CHECK(frame.kind != ports::WebSocketFrameKind::close, "a connection is closed with close()");
        if (link_->lost()) throw WebSocketError(WebSocketErrorKind::network);
        if (!link_->isOpen()) throw WebSocketError(WebSocketErrorKind::closed);
        link_->clientSend(frame);
        co_return;
    }

    void close(int code, std::string reason) override {
        VESKA_CHECK(ports::isSendableCloseCode(code), "not a close code an endpoint may send");
        VESKA_CHECK(reason.size() <= ports::kMaxCloseReasonBytes, "close reason too long for a control frame");
        link_->clientClose(code, std::move(reason));
    }

private:
    std::shared_ptr<SimWebSocketLink> link_;
};

/// The upgrade of one connection: the server's answer and the client's time-out as timers.
class Opening : public std::enable_shared_from_this<Opening> {
public:
    Opening(rt::Executor& network, SimWebSocketServer& server, std::size_t index, WsBehaviour behaviour,
            ports::WebSocketRequest request)
        : network_(network), server_(server), index_(index), behaviour_(std::move(behaviour)), request_(std::move(request)) {}

    void begin() {
        if (behaviour_.handshake != WsHandshake::silence) {
            answer_ = after(std::max(0.0, behaviour_.handshakeDelaySeconds), [](Opening& o) { o.answer(); });
        }
        const double limit = request_.timeoutSeconds;
        if (std::isfinite(limit) && limit > 0) {
            timeout_ = after(limit, [](Opening& o) {
                o.fail(WebSocketError(WebSocketErrorKind::timeout), WsConnectionState::failed);
            });
        }
    }

    [[nodiscard]] rt::Completion<std::shared_ptr<SimWebSocketLink>>& result() { return result_; }

    /// The client gave up: an opened connection is closed, a pending one abandoned.
    void abandon() {
        if (link_) {
            link_->clientClose(ports::kCloseGoingAway, {});
            return;
        }
        if (done_) return;
        done_ = true;
        answer_.cancel();
        timeout_.cancel();
        mark(WsConnectionState::abandoned);
    }
    void handedOut() { link_.reset(); }

private:
    template <class F>
    rt::Timer after(double seconds, F step) {
        std::weak_ptr<Opening> weak = weak_from_this();
        return network_.postAfter(seconds, [weak, step] {
            if (auto self = weak.lock()) step(*self);
        });
    }

    void mark(WsConnectionState state) {
        if (auto* r = server_.record(index_)) {
            r->state = state;
            r->endedAt = network_.now();
        }
    }

    void fail(WebSocketError error, WsConnectionState state) {
        if (done_) return;
        done_ = true;
        answer_.cancel();
        timeout_.cancel();
        mark(state);
        result_.failWith(std::move(error));
    }

    void answer() {
        switch (behaviour_.handshake) {
            case WsHandshake::accept: accept(); return;
            case WsHandshake::refuse:
                fail(WebSocketError(behaviour_.refuseStatus, behaviour_.refuseHeaders, behaviour_.refuseBody),
                     WsConnectionState::refused);
                return;
            case WsHandshake::drop: fail(WebSocketError(WebSocketErrorKind::network), WsConnectionState::failed); return;
            case WsHandshake::tlsFailure: fail(WebSocketError(WebSocketErrorKind::tls), WsConnectionState::failed); return;
            case WsHandshake::silence: return;
        }
    }

    void accept() {
        const auto& offered = request_.protocols;
        const std::string chosen = behaviour_.protocol.value_or(offered.empty() ? std::string() : offered.front());
        if (!chosen.empty() && std::find(offered.begin(), offered.end(), chosen) == offered.end()) {
            // A server may only choose a sub-protocol the client offered.
            fail(WebSocketError(WebSocketErrorKind::badResponse), WsConnectionState::failed);
            return;
        }
        done_ = true;
        timeout_.cancel();
        link_ = std::make_shared<SimWebSocketLink>(network_, server_, index_, behaviour_, request_.maxMessageBytes, chosen);
        link_->open();
        result_.resolve(link_);
    }

    rt::Executor& network_;
    SimWebSocketServer& server_;
    std::size_t index_;
    WsBehaviour behaviour_;
    ports::WebSocketRequest request_;
    rt::Completion<std::shared_ptr<SimWebSocketLink>> result_;
    std::shared_ptr<SimWebSocketLink> link_;
    bool done_ = false;
    rt::Timer answer_;
    rt::Timer timeout_;
};

/// Abandons the opening unless the connection was handed to the caller.
class AbandonUnlessHandedOut {
public:
    explicit AbandonUnlessHandedOut(std::shared_ptr<Opening> opening) : opening_(std::move(opening)) {}
    AbandonUnlessHandedOut(const AbandonUnlessHandedOut&) = delete;
    AbandonUnlessHandedOut& operator=(const AbandonUnlessHandedOut&) = delete;
    ~AbandonUnlessHandedOut() {
        if (!handedOut_) opening_->abandon();
    }
    void handedOut() {
        handedOut_ = true;
        opening_->handedOut();
    }

private:
    std::shared_ptr<Opening> opening_;
    bool handedOut_ = false;
};

}  // namespace

void SimWebSocketClient::attach(SimWebSocketServer& server) {
    if (std::find(servers_.begin(), servers_.end(), &server) == servers_.end()) servers_.push_back(&server);
}

void SimWebSocketClient::detach(const SimWebSocketServer& server) { std::erase(servers_, &server); }

SimWebSocketServer* SimWebSocketClient::find(const std::string& origin) const {
    for (auto* server : servers_) {
        if (server->origin() == origin) return server;
    }
    return nullptr;
}

rt::Task<std::unique_ptr<ports::WebSocket>> SimWebSocketClient::connect(ports::WebSocketRequest request) {
    auto url = SimUrl::parse(request.url);
    if (!url || (url->scheme != "ws" && url->scheme != "wss")) throw WebSocketError(WebSocketErrorKind::invalidUrl);
    for (const auto& [name, value] : request.headers.fields()) {
        if (!ports::isValidHeaderField(name, value) || ports::isReservedWebSocketHeader(name)) {
            throw WebSocketError(WebSocketErrorKind::invalidHeader);
        }
    }
    SimWebSocketServer* server = find(url->origin());
    if (server == nullptr) throw WebSocketError(WebSocketErrorKind::network);
    RecordedWsConnection seen;
    seen.at = network_.now();
    seen.url = url->text();
    seen.path = url->path;
    seen.query = url->query;
    seen.headers = request.headers;
    seen.offeredProtocols = request.protocols;
    auto [index, behaviour] = server->accept(std::move(seen));
    auto opening = std::make_shared<Opening>(network_, *server, index, std::move(behaviour), std::move(request));
    AbandonUnlessHandedOut guard(opening);
    opening->begin();
    std::shared_ptr<SimWebSocketLink> link = co_await opening->result().wait();
    guard.handedOut();
    co_return std::make_unique<SimWebSocket>(std::move(link));
}

}  // namespace veska::sim
