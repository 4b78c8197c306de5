// The loopback wss:// server: certificate, acceptor, upgrade behaviours, timed steps, reactions.
#include "LoopbackWsServer.h"

#include <deque>
#include <fstream>
#include <mutex>
#include <thread>

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <boost/asio.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/ssl.hpp>
#include <boost/beast/websocket.hpp>
#include <boost/beast/websocket/ssl.hpp>

namespace veska::testing {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;
using Ws = websocket::stream<beast::ssl_stream<beast::tcp_stream>>;

namespace {

std::chrono::steady_clock::duration seconds(double s) {
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(s));
}

/// A self-signed P-256 certificate for 127.0.0.1, into `ctx` and as PEM into `file`.
void makeCertificate(asio::ssl::context& ctx, const std::filesystem::path& file) {
    EVP_PKEY* key = EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256");
    X509* cert = X509_new();
    X509_set_version(cert, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
    X509_gmtime_adj(X509_getm_notBefore(cert), -60);
    X509_gmtime_adj(X509_getm_notAfter(cert), 3600);
    X509_set_pubkey(cert, key);
    X509_NAME* name = X509_get_subject_name(cert);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1, 0);
    X509_set_issuer_name(cert, name);
    X509V3_CTX v3;
    X509V3_set_ctx(&v3, cert, cert, nullptr, nullptr, 0);
    X509_EXTENSION* san = X509V3_EXT_conf_nid(nullptr, &v3, NID_subject_alt_name, "IP:127.0.0.1");
    X509_add_ext(cert, san, -1);
    X509_EXTENSION_free(san);
    X509_sign(cert, key, EVP_sha256());
    SSL_CTX_use_certificate(ctx.native_handle(), cert);
    SSL_CTX_use_PrivateKey(ctx.native_handle(), key);
    FILE* out = std::fopen(file.c_str(), "w");
    PEM_write_X509(out, cert);
    std::fclose(out);
    X509_free(cert);
    EVP_PKEY_free(key);
}

}  // namespace

// Handlers hold the state by plain pointer: it outlives them, since destroying the state
// destroys its io_context and with it every pending handler.
struct LoopbackWsServer::State {
    asio::io_context io;
    asio::ssl::context tls{asio::ssl::context::tls_server};
    tcp::acceptor acceptor{io, tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0)};
    std::thread thread;

    mutable std::mutex mutex;
    struct Served {
        sim::WsEndpoint endpoint;
        std::size_t served = 0;
    };
    std::vector<Served> endpoints;
    std::vector<sim::RecordedWsConnection> records;

    void accept();
    /// The behaviour for a connection to `path`/`query`; nothing: refuse with 404.
    std::optional<sim::WsBehaviour> take(const std::string& path, const std::string& query) {
        std::lock_guard lock(mutex);
        for (auto it = endpoints.rbegin(); it != endpoints.rend(); ++it) {
            if (it->endpoint.path != path || (it->endpoint.query && *it->endpoint.query != query)) continue;
            const auto& list = it->endpoint.behaviours;
            if (list.empty()) return std::nullopt;
            return list[std::min(it->served++, list.size() - 1)];
        }
        return std::nullopt;
    }
    bool nextFailsTls() {
        std::lock_guard lock(mutex);
        if (endpoints.empty()) return false;
        const auto& last = endpoints.back();
        if (last.endpoint.behaviours.empty()) return false;
        const auto& next = last.endpoint.behaviours[std::min(last.served, last.endpoint.behaviours.size() - 1)];
        if (next.handshake != sim::WsHandshake::tlsFailure) return false;
        endpoints.back().served++;
        return true;
    }
    template <class F>
    void update(std::size_t index, F&& change) {
        std::lock_guard lock(mutex);
        change(records[index]);
    }
};

namespace {

/// One connection on the server's thread.
class Peer : public std::enable_shared_from_this<Peer> {
public:
    Peer(LoopbackWsServer::State* state, tcp::socket socket)
        : state_(state), ws_(std::move(socket), state_->tls), timer_(state_->io) {}

    void start() {
        if (state_->nextFailsTls()) {
            // Bytes that are not TLS, and the connection kept until the client gives up on it:
            // cutting it at once could reach the client before the bytes do, and it would see a
            // lost connection instead of a failed handshake.
            auto garbage = std::make_shared<std::string>("this is not TLS\r\n\r\n");
            asio::async_write(beast::get_lowest_layer(ws_), asio::buffer(*garbage),
                              [self = shared_from_this(), garbage](boost::system::error_code, std::size_t) {
                                  self->drainThenReset();
                              });
            return;
        }
        ws_.next_layer().async_handshake(asio::ssl::stream_base::server, [self = shared_from_this()](boost::system::error_code ec) {
            if (!ec) self->readRequest();
        });
    }

private:
    void readRequest() {
        http::async_read(ws_.next_layer(), buffer_, request_,
                         [self = shared_from_this()](boost::system::error_code ec, std::size_t) {
                             if (!ec) self->upgradeAsked();
                         });
    }

    void upgradeAsked() {
        sim::RecordedWsConnection record;
        const std::string target(request_.target());
        const auto q = target.find('?');
        record.path = target.substr(0, q);
        record.query = q == std::string::npos ? "" : target.substr(q + 1);
        record.url = "wss://" + std::string(request_[http::field::host]) + target;
        for (const auto& field : request_) record.headers.add(std::string(field.name_string()), std::string(field.value()));
        std::string offered(request_[http::field::sec_websocket_protocol]);
        for (std::size_t start = 0; start < offered.size();) {
            std::size_t comma = offered.find(',', start);
            if (comma == std::string::npos) comma = offered.size();
            std::string one = offered.substr(start, comma - start);
            one.erase(0, one.find_first_not_of(' '));
            if (!one.empty()) record.offeredProtocols.push_back(one);
            start = comma + 1;
        }
        auto behaviour = state_->take(record.path, record.query);
        if (!behaviour) {
            behaviour = sim::WsBehaviour::refuse(404, "no such endpoint");
        }
        behaviour_ = *behaviour;
        {
            std::lock_guard lock(state_->mutex);
            record.index = state_->records.size();
            index_ = record.index;
            state_->records.push_back(std::move(record));
        }
        timer_.expires_after(seconds(behaviour_.handshakeDelaySeconds));
        timer_.async_wait([self = shared_from_this()](boost::system::error_code) { self->answerUpgrade(); });
    }

    void answerUpgrade() {
        switch (behaviour_.handshake) {
            case sim::WsHandshake::refuse: return refuse();
            case sim::WsHandshake::silence: return waitForClient();
            case sim::WsHandshake::drop:
            case sim::WsHandshake::tlsFailure:
                setState(sim::WsConnectionState::failed);
                return reset();
            case sim::WsHandshake::accept: break;
        }
        std::string chosen = behaviour_.protocol.value_or("");
        {
            std::lock_guard lock(state_->mutex);
            auto& record = state_->records[index_];
            if (!behaviour_.protocol && !record.offeredProtocols.empty()) chosen = record.offeredProtocols.front();
            record.protocol = chosen;
        }
        ws_.set_option(websocket::stream_base::decorator([chosen](websocket::response_type& res) {
            if (!chosen.empty()) res.set(http::field::sec_websocket_protocol, chosen);
        }));
        ws_.read_message_max(0);
        ws_.control_callback([self = weak_from_this()](websocket::frame_type kind, beast::string_view payload) {
            auto me = self.lock();
            if (!me || kind != websocket::frame_type::pong) return;
            me->recordFrame(sim::WsFrameKind::pong, std::string(payload));
        });
        ws_.async_accept(request_, [self = shared_from_this()](boost::system::error_code ec) {
            if (ec) return self->setState(sim::WsConnectionState::failed);
            self->setState(sim::WsConnectionState::open);
            self->run(self->behaviour_.steps);
            self->read();
        });
    }

    void refuse() {
        auto answer = std::make_shared<http::response<http::string_body>>(
            static_cast<http::status>(behaviour_.refuseStatus), 11);
        for (const auto& [name, value] : behaviour_.refuseHeaders.fields()) answer->insert(name, value);
        answer->body() = behaviour_.refuseBody;
        answer->keep_alive(false);
        answer->prepare_payload();
        setState(sim::WsConnectionState::refused);
        // Closed gracefully once the client has read the answer and gone.
        http::async_write(ws_.next_layer(), *answer, [self = shared_from_this(), answer](boost::system::error_code, std::size_t) {
            self->ws_.next_layer().async_shutdown([self](boost::system::error_code) { self->waitForClient(); });
        });
    }

    void waitForClient() {
        auto sink = std::make_shared<std::array<char, 256>>();
        ws_.next_layer().async_read_some(asio::buffer(*sink), [self = shared_from_this(), sink](boost::system::error_code ec, std::size_t) {
            if (ec) {
                self->state_->update(self->index_, [](sim::RecordedWsConnection& record) {
                    if (record.state == sim::WsConnectionState::connecting) record.state = sim::WsConnectionState::abandoned;
                });
                return self->reset();
            }
            self->waitForClient();
        });
    }

    /// Runs `steps` one after another, each after its delay.
    void run(std::vector<sim::WsStep> steps) {
        auto list = std::make_shared<std::deque<sim::WsStep>>(steps.begin(), steps.end());
        next(list, std::make_shared<asio::steady_timer>(state_->io));
    }

    void next(const std::shared_ptr<std::deque<sim::WsStep>>& list, const std::shared_ptr<asio::steady_timer>& timer) {
        if (list->empty() || done_) return;
        timer->expires_after(seconds(list->front().delaySeconds));
        timer->async_wait([self = shared_from_this(), list, timer](boost::system::error_code) {
            if (self->done_) return;
            self->queue_.push_back(list->front());
            list->pop_front();
            self->pump();
            self->next(list, timer);
        });
    }

    void pump() {
        if (writing_ || queue_.empty() || done_) return;
        sim::WsStep step = std::move(queue_.front());
        queue_.pop_front();
        writing_ = true;
        auto after = [self = shared_from_this()](boost::system::error_code, std::size_t = 0) {
            self->writing_ = false;
            self->pump();
        };
        switch (step.kind) {
            case sim::WsStepKind::text:
            case sim::WsStepKind::binary: {
                auto data = std::make_shared<std::string>(std::move(step.data));
                ws_.text(step.kind == sim::WsStepKind::text);
                ws_.async_write(asio::buffer(*data), [after, data](boost::system::error_code ec, std::size_t n) { after(ec, n); });
                return;
            }
            case sim::WsStepKind::ping:
                ws_.async_ping(websocket::ping_data(step.data.c_str()), [after](boost::system::error_code ec) { after(ec); });
                return;
            case sim::WsStepKind::close: {
                setState(sim::WsConnectionState::closedByServer);
                websocket::close_reason why;
                if (step.closeCode != 0) {
                    why.code = static_cast<std::uint16_t>(step.closeCode);
                    why.reason = step.closeReason;
                }
                done_ = true;
                ws_.async_close(why, [self = shared_from_this()](boost::system::error_code) { self->reset(); });
                return;
            }
            case sim::WsStepKind::drop:
                setState(sim::WsConnectionState::dropped);
                done_ = true;
                return reset();
        }
    }

    void read() {
        ws_.async_read(in_, [self = shared_from_this()](boost::system::error_code ec, std::size_t) { self->got(ec); });
    }

    void got(boost::system::error_code ec) {
        if (ec == websocket::error::closed) {
            const auto& why = ws_.reason();
            recordClose(static_cast<int>(why.code), std::string(why.reason.c_str()));
            done_ = true;
            return;
        }
        if (ec) {
            if (!done_) setState(sim::WsConnectionState::dropped);
            done_ = true;
            return;
        }
        const bool text = ws_.got_text();
        std::string data = beast::buffers_to_string(in_.data());
        in_.consume(in_.size());
        recordFrame(text ? sim::WsFrameKind::text : sim::WsFrameKind::binary, data);
        for (std::size_t i = 0; i < behaviour_.reactions.size(); ++i) {
            const auto& reaction = behaviour_.reactions[i];
            if (fired_.size() < behaviour_.reactions.size()) fired_.resize(behaviour_.reactions.size(), false);
            if (reaction.once && fired_[i]) continue;
            const bool matches = text ? !reaction.onBinary && data.find(reaction.whenTextContains) != std::string::npos
                                      : reaction.onBinary;
            if (!matches) continue;
            fired_[i] = true;
            run(reaction.steps);
        }
        read();
    }

    void recordFrame(sim::WsFrameKind kind, std::string data) {
        state_->update(index_, [&](sim::RecordedWsConnection& record) {
            record.frames.push_back(sim::RecordedWsFrame{0, kind, std::move(data), 0, {}});
        });
    }
    void recordClose(int code, std::string reason) {
        state_->update(index_, [&](sim::RecordedWsConnection& record) {
            record.frames.push_back(sim::RecordedWsFrame{0, sim::WsFrameKind::close, {}, code, std::move(reason)});
            if (record.state == sim::WsConnectionState::open) record.state = sim::WsConnectionState::closedByClient;
        });
    }
    void setState(sim::WsConnectionState state) {
        state_->update(index_, [&](sim::RecordedWsConnection& record) { record.state = state; });
    }
    /// Resets the TCP connection.
    /// Reads and drops whatever the client sends until it closes, then cuts the connection.
    void drainThenReset() {
        auto sink = std::make_shared<std::array<char, 256>>();
        beast::get_lowest_layer(ws_).socket().async_read_some(
            asio::buffer(*sink), [self = shared_from_this(), sink](boost::system::error_code ec, std::size_t) {
                if (ec) return self->reset();
                self->drainThenReset();
            });
    }

    void reset() {
        boost::system::error_code ignored;
        auto& socket = beast::get_lowest_layer(ws_).socket();
        socket.set_option(asio::socket_base::linger(true, 0), ignored);
        socket.close(ignored);
    }

    LoopbackWsServer::State* state_;
    Ws ws_;
    asio::steady_timer timer_;
    beast::flat_buffer buffer_;
    beast::flat_buffer in_;
    http::request<http::string_body> request_;
    sim::WsBehaviour behaviour_;
    std::size_t index_ = 0;
    std::deque<sim::WsStep> queue_;
    std::vector<bool> fired_;
    bool writing_ = false;
    bool done_ = false;
};

}  // namespace

void LoopbackWsServer::State::accept() {
    acceptor.async_accept([self = this](boost::system::error_code ec, tcp::socket socket) {
        if (ec) return;
        std::make_shared<Peer>(self, std::move(socket))->start();
        self->accept();
    });
}

LoopbackWsServer::LoopbackWsServer(const std::filesystem::path& directory)
    : certificateFile_(directory / "loopback-ws.pem"), state_(std::make_shared<State>()) {
    makeCertificate(state_->tls, certificateFile_);
    state_->accept();
    state_->thread = std::thread([state = state_.get()] { state->io.run(); });
}

LoopbackWsServer::~LoopbackWsServer() {
    state_->io.stop();
    state_->thread.join();
}

std::string LoopbackWsServer::baseUrl() const {
    return "wss://127.0.0.1:" + std::to_string(state_->acceptor.local_endpoint().port());
}

void LoopbackWsServer::endpoint(sim::WsEndpoint endpoint) {
    std::lock_guard lock(state_->mutex);
    // The most recently set endpoint goes last: it decides TLS failures.
    std::erase_if(state_->endpoints, [&](const State::Served& served) {
        return served.endpoint.path == endpoint.path && served.endpoint.query == endpoint.query;
    });
    state_->endpoints.push_back({std::move(endpoint), 0});
}

std::vector<sim::RecordedWsConnection> LoopbackWsServer::connections() const {
    std::lock_guard lock(state_->mutex);
    return state_->records;
}

}  // namespace veska::testing
