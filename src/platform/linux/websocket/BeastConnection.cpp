// The opening, reading, writing and closing of one connection, on the network thread.
#include "platform/linux/websocket/BeastConnection.h"

#include <deque>

#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <boost/asio/ip/address.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl/stream.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/ssl.hpp>
#include <boost/beast/websocket.hpp>
#include <boost/beast/websocket/ssl.hpp>

namespace veska::platform {

namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace websocket = beast::websocket;
namespace http = beast::http;
using ports::WebSocketError;
using ports::WebSocketErrorKind;
using tcp = asio::ip::tcp;

/// How long a close handshake we started may take before the connection is cut.
constexpr auto kCloseGrace = std::chrono::seconds(3);
/// Most bytes read at once; a message over the limit is noticed within this much of it.
constexpr std::size_t kReadChunk = std::size_t{64} * 1024;

bool isIpLiteral(const std::string& host) {
    boost::system::error_code ec;
    asio::ip::make_address(host, ec);
    return !ec;
}

template <bool Secure>
class Connection final : public BeastConnection, public std::enable_shared_from_this<Connection<Secure>> {
    using Next = std::conditional_t<Secure, beast::ssl_stream<beast::tcp_stream>, beast::tcp_stream>;

public:
    Connection(asio::io_context& io, asio::ssl::context& tls) : io_(io), resolver_(io), timer_(io), ws_(make(io, tls)) {}

    void open(WebSocketUrl url, ports::WebSocketRequest request, rt::Completion<std::string> opened) override {
        asio::post(io_, [self = this->shared_from_this(), url = std::move(url), request = std::move(request),
                         opened = std::move(opened)]() mutable {
            self->url_ = std::move(url);
            self->request_ = std::move(request);
            self->opened_ = std::move(opened);
            self->begin();
        });
    }

    void write(ports::WebSocketFrame frame, rt::Completion<void> sent) override {
        asio::post(io_, [self = this->shared_from_this(), frame = std::move(frame), sent = std::move(sent)]() mutable {
            if (self->lostWith_) {
                sent.failWith(WebSocketError(*self->lostWith_));
                return;
            }
            self->writes_.emplace_back(std::move(frame), std::move(sent));
            self->pump();
        });
    }

    void close(int code, std::string reason) override {
        ended = true;
        asio::post(io_, [self = this->shared_from_this(), code, reason = std::move(reason)]() mutable {
            self->closeCode_ = code;
            self->closeReason_ = std::move(reason);
            self->closing_ = true;
            self->failWrites(WebSocketErrorKind::closed);
            self->pump();
        });
    }

    void abandon() override {
        ended = true;
        asio::post(io_, [self = this->shared_from_this()] {
            self->abandoned_ = true;
            self->cut();
        });
    }

private:
    static websocket::stream<Next> make(asio::io_context& io, asio::ssl::context& tls) {
        if constexpr (Secure) {
            return websocket::stream<Next>(io, tls);
        } else {
            (void)tls;
            return websocket::stream<Next>(io);
        }
    }

    void begin() {
        if (request_.timeoutSeconds > 0) {
            timer_.expires_after(std::chrono::duration_cast<asio::steady_timer::duration>(
                std::chrono::duration<double>(request_.timeoutSeconds)));
            timer_.async_wait([self = this->shared_from_this()](boost::system::error_code ec) {
                if (ec || self->isOpen_) return;
                self->timedOut_ = true;
                self->cut();
            });
        }
        resolver_.async_resolve(url_.host, url_.port,
                                [self = this->shared_from_this()](boost::system::error_code ec, tcp::resolver::results_type found) {
                                    if (ec) return self->failOpening(WebSocketErrorKind::network);
                                    self->connectTo(found);
                                });
    }

    void connectTo(const tcp::resolver::results_type& found) {
        beast::get_lowest_layer(ws_).async_connect(found, [self = this->shared_from_this()](
                                                              boost::system::error_code ec, const tcp::endpoint&) {
            if (ec) return self->failOpening(WebSocketErrorKind::network);
            if constexpr (Secure) {
                self->secure();
            } else {
                self->upgrade();
            }
        });
    }

    void secure() {
        if constexpr (Secure) {
            SSL* ssl = ws_.next_layer().native_handle();
            X509_VERIFY_PARAM* param = SSL_get0_param(ssl);
            if (isIpLiteral(url_.host)) {
                X509_VERIFY_PARAM_set1_ip_asc(param, url_.host.c_str());
            } else {
                SSL_set_tlsext_host_name(ssl, url_.host.c_str());
                X509_VERIFY_PARAM_set1_host(param, url_.host.c_str(), 0);
            }
            ws_.next_layer().async_handshake(asio::ssl::stream_base::client,
                                             [self = this->shared_from_this()](boost::system::error_code ec) {
                                                 if (ec) return self->failOpening(WebSocketErrorKind::tls);
                                                 self->upgrade();
                                             });
        }
    }

    void upgrade() {
        websocket::stream_base::timeout none{websocket::stream_base::none(), websocket::stream_base::none(), false};
        ws_.set_option(none);
        // The message limit is kept here, so that going over it fails the connection with
        // `tooLarge` and a 1009 close whatever the transport does afterwards.
        ws_.read_message_max(0);
        ws_.set_option(websocket::stream_base::decorator(
            [headers = request_.headers, protocols = request_.protocols](websocket::request_type& req) {
                for (const auto& [name, value] : headers.fields()) {
                    if (ports::HttpHeaders::sameName(name, "User-Agent")) {
                        req.set(http::field::user_agent, value);
                    } else {
                        req.insert(name, value);
                    }
                }
                std::string offered;
                for (const auto& protocol : protocols) offered += (offered.empty() ? "" : ", ") + protocol;
                if (!offered.empty()) req.set(http::field::sec_websocket_protocol, offered);
            }));
        ws_.async_handshake(answer_, url_.hostField, url_.target,
                            [self = this->shared_from_this()](boost::system::error_code ec) { self->upgraded(ec); });
    }

    void upgraded(boost::system::error_code ec) {
        if (ec == websocket::error::upgrade_declined && !timedOut_ && !abandoned_) {
            ports::HttpHeaders headers;
            for (const auto& field : answer_) headers.add(std::string(field.name_string()), std::string(field.value()));
            failed_ = true;
            opened_.failWith(WebSocketError(answer_.result_int(), std::move(headers), answer_.body()));
            return cut();
        }
        if (ec) {
            const bool lost = ec == asio::error::eof || ec == asio::error::connection_reset ||
                              ec == asio::error::broken_pipe || ec == beast::error::timeout ||
                              ec == asio::error::operation_aborted || ec == http::error::end_of_stream;
            return failOpening(lost ? WebSocketErrorKind::network : WebSocketErrorKind::badResponse);
        }
        const std::string chosen(answer_[http::field::sec_websocket_protocol]);
        const auto& offered = request_.protocols;
        if (!chosen.empty() && std::find(offered.begin(), offered.end(), chosen) == offered.end()) {
            return failOpening(WebSocketErrorKind::badResponse);
        }
        timer_.cancel();
        isOpen_ = true;
        websocket::stream_base::timeout closing{std::chrono::duration_cast<std::chrono::steady_clock::duration>(kCloseGrace),
                                                websocket::stream_base::none(), false};
        ws_.set_option(closing);
        opened_.resolve(chosen);
        if (abandoned_ || ended) return;
        read();
    }

    void failOpening(WebSocketErrorKind kind) {
        if (failed_) return;
        failed_ = true;
        if (timedOut_) kind = WebSocketErrorKind::timeout;
        if (abandoned_) kind = WebSocketErrorKind::cancelled;
        opened_.failWith(WebSocketError(kind));
        cut();
    }

    void read() {
        ws_.async_read_some(buffer_, kReadChunk,
                            [self = this->shared_from_this()](boost::system::error_code ec, std::size_t) {
                                self->received(ec);
                            });
    }

    void received(boost::system::error_code ec) {
        if (!ec && buffer_.size() > request_.maxMessageBytes) {
            lostWith_ = WebSocketErrorKind::closed;
            failWrites(WebSocketErrorKind::closed);
            incoming.send(WsIncoming{WsIncoming::Kind::failure, {}, WebSocketErrorKind::tooLarge});
            closeCode_ = ports::kCloseTooBig;
            closing_ = true;
            return pump();
        }
        if (!ec && !ws_.is_message_done()) return read();
        if (!ec) {
            std::string data = beast::buffers_to_string(buffer_.data());
            buffer_.consume(buffer_.size());
            incoming.send(WsIncoming{WsIncoming::Kind::message,
                                     ws_.got_text() ? ports::WebSocketFrame::text(std::move(data))
                                                    : ports::WebSocketFrame::binary(std::move(data)),
                                     {}});
            return read();
        }
        if (ec == websocket::error::closed) {
            const websocket::close_reason& why = ws_.reason();
            const int code = why.code == websocket::close_code::none ? ports::kCloseNoStatus : static_cast<int>(why.code);
            lostWith_ = WebSocketErrorKind::closed;
            failWrites(WebSocketErrorKind::closed);
            incoming.send(WsIncoming{WsIncoming::Kind::peerClose,
                                     ports::WebSocketFrame::close(code, std::string(why.reason.c_str())), {}});
            return;
        }
        lostWith_ = WebSocketErrorKind::network;
        failWrites(WebSocketErrorKind::network);
        if (!closing_) incoming.send(WsIncoming{WsIncoming::Kind::failure, {}, WebSocketErrorKind::network});
        cut();
    }

    /// Starts the next write, or the close once the writes before it are done.
    void pump() {
        if (writing_ || !isOpen_) {
            if (!isOpen_ && closing_) cut();
            return;
        }
        if (closing_) {
            if (closeSent_) return;
            closeSent_ = true;
            writing_ = true;
            websocket::close_reason why(static_cast<std::uint16_t>(closeCode_));
            why.reason = closeReason_.substr(0, ports::kMaxCloseReasonBytes);
            ws_.async_close(why, [self = this->shared_from_this()](boost::system::error_code) { self->cut(); });
            return;
        }
        if (writes_.empty()) return;
        writing_ = true;
        ws_.text(writes_.front().first.kind == ports::WebSocketFrameKind::text);
        ws_.async_write(asio::buffer(writes_.front().first.data),
                        [self = this->shared_from_this()](boost::system::error_code ec, std::size_t) {
                            self->writing_ = false;
                            if (self->writes_.empty()) return self->pump();
                            auto sent = std::move(self->writes_.front().second);
                            self->writes_.pop_front();
                            if (ec) {
                                sent.failWith(WebSocketError(self->lostWith_.value_or(WebSocketErrorKind::network)));
                            } else {
                                sent.resolve();
                            }
                            self->pump();
                        });
    }

    void failWrites(WebSocketErrorKind kind) {
        // The write in progress, if any, is failed by its own handler.
        const std::size_t keep = writing_ && !writes_.empty() ? 1 : 0;
        while (writes_.size() > keep) {
            writes_.back().second.failWith(WebSocketError(kind));
            writes_.pop_back();
        }
    }

    /// Ends the transport at once.
    void cut() {
        timer_.cancel();
        resolver_.cancel();
        boost::system::error_code ignored;
        beast::get_lowest_layer(ws_).socket().close(ignored);
    }

    asio::io_context& io_;
    tcp::resolver resolver_;
    asio::steady_timer timer_;
    websocket::stream<Next> ws_;
    WebSocketUrl url_;
    ports::WebSocketRequest request_;
    rt::Completion<std::string> opened_;
    websocket::response_type answer_;
    beast::flat_buffer buffer_;
    std::deque<std::pair<ports::WebSocketFrame, rt::Completion<void>>> writes_;
    std::optional<WebSocketErrorKind> lostWith_;
    bool isOpen_ = false;
    bool failed_ = false;
    bool timedOut_ = false;
    bool abandoned_ = false;
    bool writing_ = false;
    bool closing_ = false;
    bool closeSent_ = false;
    int closeCode_ = ports::kCloseNormal;
    std::string closeReason_;
};

}  // namespace

std::shared_ptr<BeastConnection> BeastConnection::make(asio::io_context& io, asio::ssl::context& tls, bool secure) {
    if (secure) return std::make_shared<Connection<true>>(io, tls);
    return std::make_shared<Connection<false>>(io, tls);
}

}  // namespace veska::platform
