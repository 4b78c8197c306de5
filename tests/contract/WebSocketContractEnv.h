// The WebSocket client contract's view of its environment: a client and a scriptable server.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "contract/ContractEnv.h"
#include "platform/sim/SimWebSocketScript.h"
#include "platform/sim/SimWebSocketServer.h"
#include "ports/WebSocketClient.h"
#include "runtime/Sleep.h"

namespace veska::contract {

class WebSocketContractEnv : public ContractEnv {
public:
    virtual ports::WebSocketClient& client() = 0;
    /// "ws://host[:port]" of the scripted server, without a trailing "/".
    virtual std::string baseUrl() = 0;
    /// A ws URL where nothing answers.
    virtual std::string unreachableUrl() = 0;
    virtual void endpoint(sim::WsEndpoint endpoint) = 0;
    virtual std::vector<sim::RecordedWsConnection> connections() = 0;
};

namespace ws {

/// What a test saw on one connection.
struct Session {
    std::string protocol;
    std::vector<ports::WebSocketFrame> frames;  // received, the close frame included
    std::optional<ports::WebSocketErrorKind> endedWith;  // the error that ended receiving
    std::optional<ports::WebSocketErrorKind> sendAfterEnd;
    bool openAtEnd = true;
};

inline sim::WsEndpoint at(std::string path, sim::WsBehaviour behaviour) {
    return sim::WsEndpoint{std::move(path), std::nullopt, {std::move(behaviour)}};
}

inline ports::WebSocketRequest request(std::string url) {
    ports::WebSocketRequest r;
    r.url = std::move(url);
    r.timeoutSeconds = 5;
    return r;
}

/// Connects, sends `outgoing` in order, then receives until an error ends receiving (at most
/// `maxFrames`), and tries one more send.
inline rt::Task<Session> converse(ports::WebSocketClient* client, ports::WebSocketRequest request,
                                  std::vector<ports::WebSocketFrame> outgoing, std::size_t maxFrames) {
    std::unique_ptr<ports::WebSocket> socket = co_await client->connect(std::move(request));
    Session session;
    session.protocol = socket->protocol();
    for (auto& frame : outgoing) co_await socket->send(std::move(frame));
    try {
        while (session.frames.size() < maxFrames) {
            ports::WebSocketFrame frame = co_await socket->receive();
            session.frames.push_back(std::move(frame));
        }
    } catch (const ports::WebSocketError& error) {
        session.endedWith = error.kind();
    }
    try {
        co_await socket->send(ports::WebSocketFrame::text("late"));
    } catch (const ports::WebSocketError& error) {
        session.sendAfterEnd = error.kind();
    }
    session.openAtEnd = socket->isOpen();
    co_return session;
}

inline rt::Task<void> receiveInto(ports::WebSocket* socket, std::optional<ports::WebSocketErrorKind>* failure) {
    try {
        co_await socket->receive();
    } catch (const ports::WebSocketError& error) {
        *failure = error.kind();
    }
}

/// Connects, sends "x", closes with `code` while a receive is pending; returns how that
/// receive ended and how a send after the close fails.
inline rt::Task<std::pair<std::optional<ports::WebSocketErrorKind>, std::optional<ports::WebSocketErrorKind>>>
closeWhileReceiving(ports::WebSocketClient* client, ports::WebSocketRequest request, int code) {
    std::unique_ptr<ports::WebSocket> socket = co_await client->connect(std::move(request));
    co_await socket->send(ports::WebSocketFrame::text("x"));
    std::optional<ports::WebSocketErrorKind> pending;
    rt::Executor& here = co_await rt::currentExecutor();
    rt::JoinHandle<void> receiving = rt::spawn(here, receiveInto(socket.get(), &pending));
    co_await rt::sleepFor(0.1);
    socket->close(code, "done");
    co_await receiving.join();
    std::optional<ports::WebSocketErrorKind> sendFailure;
    try {
        co_await socket->send(ports::WebSocketFrame::text("after"));
    } catch (const ports::WebSocketError& error) {
        sendFailure = error.kind();
    }
    co_return std::make_pair(pending, sendFailure);
}

inline rt::Task<void> openAndDrop(ports::WebSocketClient* client, ports::WebSocketRequest request) {
    std::unique_ptr<ports::WebSocket> socket = co_await client->connect(std::move(request));
    co_await socket->send(ports::WebSocketFrame::text("bye"));
}

inline rt::Task<bool> receivesOn(ports::WebSocketClient* client, ports::WebSocketRequest request, rt::Executor* expected) {
    std::unique_ptr<ports::WebSocket> socket = co_await client->connect(std::move(request));
    const bool openedHere = rt::Executor::current() == expected;
    co_await socket->receive();
    co_return openedHere && rt::Executor::current() == expected;
}

}  // namespace ws

}  // namespace veska::contract
