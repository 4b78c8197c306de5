// Opening connections on the network thread and handing their frames to the calling task.
#include "platform/linux/websocket/BeastWebSocketClient.h"

#include <filesystem>
#include <mutex>
#include <optional>
#include <thread>

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ssl/context.hpp>

#include "platform/linux/websocket/BeastConnection.h"
#include "platform/linux/websocket/WebSocketUrl.h"
#include "ports/HttpClient.h"

namespace veska::platform {

namespace {

using ports::WebSocketError;
using ports::WebSocketErrorKind;

bool validProtocol(const std::string& protocol) {
    if (protocol.empty()) return false;
    return ports::isValidHeaderField(protocol, "");
}

void checkRequest(const ports::WebSocketRequest& request) {
    for (const auto& [name, value] : request.headers.fields()) {
        if (ports::isReservedWebSocketHeader(name) || !ports::isValidHeaderField(name, value)) {
            throw WebSocketError(WebSocketErrorKind::invalidHeader);
        }
    }
    for (const auto& protocol : request.protocols) {
        if (!validProtocol(protocol)) throw WebSocketError(WebSocketErrorKind::invalidHeader);
    }
}

/// The caller's side of one open connection: lives on the executor of the task that opened it.
class BeastWebSocket final : public ports::WebSocket {
public:
    BeastWebSocket(std::shared_ptr<BeastConnection> connection, std::string protocol)
        : connection_(std::move(connection)), protocol_(std::move(protocol)) {}
    ~BeastWebSocket() override { close(ports::kCloseNormal, {}); }

    [[nodiscard]] std::string protocol() const override { return protocol_; }
    [[nodiscard]] bool isOpen() const override { return !endedWith_ && !connection_->ended; }

    rt::Task<ports::WebSocketFrame> receive() override {
        if (endedWith_) throw WebSocketError(*endedWith_);
        std::optional<WsIncoming> next = co_await connection_->incoming.receive();
        if (endedWith_ || !next) throw WebSocketError(endedWith_.value_or(WebSocketErrorKind::closed));
        switch (next->kind) {
            case WsIncoming::Kind::message:
                co_return std::move(next->frame);
            case WsIncoming::Kind::peerClose:
                endedWith_ = WebSocketErrorKind::closed;
                co_return std::move(next->frame);
            case WsIncoming::Kind::failure:
                endedWith_ = next->error == WebSocketErrorKind::tooLarge ? WebSocketErrorKind::closed : next->error;
                throw WebSocketError(next->error);
        }
        throw WebSocketError(WebSocketErrorKind::network);
    }

    rt::Task<void> send(ports::WebSocketFrame frame) override {
        if (endedWith_) throw WebSocketError(*endedWith_);
        rt::Completion<void> sent;
        connection_->write(std::move(frame), sent);
        co_await sent.wait();
    }

    void close(int code, std::string reason) override {
        if (endedWith_) {
            connection_->close(code, std::move(reason));  // lets the transport go
            return;
        }
        endedWith_ = WebSocketErrorKind::closed;
        connection_->close(code, std::move(reason));
        connection_->incoming.close();
    }

private:
    std::shared_ptr<BeastConnection> connection_;
    std::string protocol_;
    std::optional<WebSocketErrorKind> endedWith_;
};

}  // namespace

struct BeastWebSocketClient::Network {
    boost::asio::io_context io;
    boost::asio::executor_work_guard<boost::asio::io_context::executor_type> work = boost::asio::make_work_guard(io);
    std::optional<std::filesystem::path> extraTrusted;
    std::once_flag trustOnce;
    std::optional<boost::asio::ssl::context> tls;
    /// The trusted certificates could not be read: secure connections fail with `tls`.
    bool untrusted = false;
    std::thread thread;

    /// The TLS context with the system's certificates (and the extra ones), made once. Reading
    /// the system's certificate bundle takes tens of milliseconds, so the network thread does it
    /// as soon as it starts, off the caller's start-up; a connection asked for before that waits
    /// for it here.
    boost::asio::ssl::context& trusted() {
        std::call_once(trustOnce, [this] {
            tls.emplace(boost::asio::ssl::context::tls_client);
            try {
                tls->set_default_verify_paths();
                if (extraTrusted) tls->load_verify_file(extraTrusted->string());
            } catch (const std::exception&) {
                untrusted = true;
            }
            tls->set_verify_mode(boost::asio::ssl::verify_peer);
        });
        return *tls;
    }
};

BeastWebSocketClient::BeastWebSocketClient() : BeastWebSocketClient(Options{}) {}

BeastWebSocketClient::BeastWebSocketClient(Options options) : network_(std::make_unique<Network>()) {
    network_->extraTrusted = std::move(options.extraTrusted);
    network_->thread = std::thread([network = network_.get()] {
        (void)network->trusted();
        network->io.run();
    });
}

BeastWebSocketClient::~BeastWebSocketClient() {
    network_->work.reset();
    network_->io.stop();
    network_->thread.join();
}

rt::Task<std::unique_ptr<ports::WebSocket>> BeastWebSocketClient::connect(ports::WebSocketRequest request) {
    std::optional<WebSocketUrl> url = parseWebSocketUrl(request.url);
    if (!url) throw WebSocketError(WebSocketErrorKind::invalidUrl);
    checkRequest(request);
    boost::asio::ssl::context& tls = network_->trusted();
    if (url->secure && network_->untrusted) throw WebSocketError(WebSocketErrorKind::tls);
    std::shared_ptr<BeastConnection> connection = BeastConnection::make(network_->io, tls, url->secure);
    rt::Completion<std::string> opened;
    connection->open(std::move(*url), std::move(request), opened);
    // Gives up the opening when this task is cancelled while it waits.
    struct AbandonUnlessOpened {
        BeastConnection* connection;
        bool opened = false;
        ~AbandonUnlessOpened() {
            if (!opened) connection->abandon();
        }
    } guard{connection.get()};
    std::string protocol = co_await opened.wait();
    guard.opened = true;
    co_return std::make_unique<BeastWebSocket>(std::move(connection), std::move(protocol));
}

}  // namespace veska::platform
