// The scenario's own HTTP requests and WebSocket connections.
#include "main/scenario/ClientExchanges.h"

#include "ports/HttpClient.h"

namespace veska::scenario {

namespace {
using Fields = TraceWriter::Fields;
constexpr std::string_view kProtocolHeader = "Sec-WebSocket-Protocol";
}  // namespace

void ClientExchanges::request(const SendRequest& step) {
    responses_[step.id] = ResponseState{};
    tasks_[step.id] = scope_.spawn(world_.loop().main(), exchange(step.id, step.request));
}

rt::Task<void> ClientExchanges::exchange(std::string id, ports::HttpRequest request) {
    ResponseState& state = responses_[id];
    const std::string url = request.url;
    try {
        ports::HttpResponse response = co_await world_.http().send(std::move(request));
        state.status = response.status;
        Fields head{{"id", id}, {"status", response.status}};
        if (response.url != url) head["url"] = response.url;
        head["headers"] = timeline_.writer().headers(response.headers);
        timeline_.emit("response", std::move(head));
        while (true) {
            std::optional<std::string> chunk = co_await response.body.nextChunk();
            if (!chunk) break;
            if (state.body.size() + chunk->size() <= kMaxKeptBodyBytes) state.body += *chunk;
            timeline_.emit("responseBody", Fields{{"id", id}, {"data", *chunk}});
        }
        state.ended = true;
        timeline_.emit("responseEnd", Fields{{"id", id}, {"bytes", response.body.receivedBytes()}});
    } catch (const ports::HttpError& error) {
        state.error = error.what();
        timeline_.emit("responseError", Fields{{"id", id}, {"error", error.what()}});
    }
}

void ClientExchanges::connect(const Connect& step) {
    sockets_[step.id] = SocketState{};
    tasks_[step.id] = scope_.spawn(world_.loop().main(), session(step.id, step.request));
}

rt::Task<void> ClientExchanges::session(std::string id, ports::WebSocketRequest request) {
    SocketState& state = sockets_[id];
    try {
        state.socket = co_await world_.webSockets().connect(std::move(request));
    } catch (const ports::WebSocketError& error) {
        state.state = "failed";
        state.error = error.what();
        state.status = error.status();
        Fields out{{"id", id}, {"error", error.what()}};
        if (error.status() != 0) out["status"] = error.status();
        if (!error.body().empty()) out["body"] = error.body();
        timeline_.emit("wsError", std::move(out));
        co_return;
    }
    state.state = "open";
    Fields out{{"id", id}};
    const std::string protocol = state.socket->protocol();
    if (!protocol.empty()) out["protocol"] = timeline_.writer().headerValue(kProtocolHeader, protocol);
    timeline_.emit("wsOpen", std::move(out));
    co_await receive(id);
}

rt::Task<void> ClientExchanges::receive(std::string id) {
    SocketState& state = sockets_[id];
    try {
        while (true) {
            ports::WebSocketFrame frame = co_await state.socket->receive();
            if (frame.kind == ports::WebSocketFrameKind::close) {
                state.state = "closed";
                Fields out{{"id", id}, {"code", frame.closeCode}};
                if (!frame.closeReason.empty()) out["reason"] = frame.closeReason;
                timeline_.emit("wsClose", std::move(out));
                co_return;
            }
            const bool text = frame.kind == ports::WebSocketFrameKind::text;
            state.received.push_back(frame.data);
            timeline_.emit("wsMessage", Fields{{"id", id}, {text ? "text" : "binary", frame.data}});
        }
    } catch (const ports::WebSocketError& error) {
        // Our own close ends the reading quietly; the server's record shows it.
        if (error.kind() == ports::WebSocketErrorKind::closed) {
            state.state = "closed";
            co_return;
        }
        state.state = "failed";
        state.error = error.what();
        timeline_.emit("wsError", Fields{{"id", id}, {"error", error.what()}});
    }
}

rt::Task<void> ClientExchanges::sendFrame(std::string id, ports::WebSocketFrame frame) {
    SocketState& state = sockets_[id];
    try {
        co_await state.socket->send(std::move(frame));
    } catch (const ports::WebSocketError& error) {
        timeline_.emit("wsError", Fields{{"id", id}, {"error", error.what()}});
    }
}

std::optional<std::string> ClientExchanges::send(const SendFrame& step) {
    auto it = sockets_.find(step.id);
    if (it == sockets_.end() || it->second.state != "open" || !it->second.socket->isOpen()) {
        return "the connection \"" + step.id + "\" is not open";
    }
    scope_.start(world_.loop().main(), sendFrame(step.id, step.frame));
    return std::nullopt;
}

std::optional<std::string> ClientExchanges::disconnect(const Disconnect& step) {
    auto it = sockets_.find(step.id);
    if (it == sockets_.end() || it->second.state != "open" || !it->second.socket->isOpen()) {
        return "the connection \"" + step.id + "\" is not open";
    }
    it->second.socket->close(step.code, step.reason);
    return std::nullopt;
}

std::optional<std::string> ClientExchanges::cancel(const std::string& id) {
    auto task = tasks_.find(id);
    if (auto response = responses_.find(id); response != responses_.end()) {
        if (response->second.ended || response->second.error) return "the request \"" + id + "\" is over";
        task->second.cancel();
        response->second.error = "cancelled";
        timeline_.emit("responseError", Fields{{"id", id}, {"error", "cancelled"}});
        return std::nullopt;
    }
    auto socket = sockets_.find(id);
    if (socket == sockets_.end() || socket->second.state != "connecting") {
        return "the connection \"" + id + "\" is not opening";
    }
    task->second.cancel();
    socket->second.state = "failed";
    socket->second.error = "cancelled";
    timeline_.emit("wsError", Fields{{"id", id}, {"error", "cancelled"}});
    return std::nullopt;
}

const ResponseState* ClientExchanges::response(const std::string& id) const {
    auto it = responses_.find(id);
    return it == responses_.end() ? nullptr : &it->second;
}

const SocketState* ClientExchanges::socket(const std::string& id) const {
    auto it = sockets_.find(id);
    return it == sockets_.end() ? nullptr : &it->second;
}

}  // namespace veska::scenario
