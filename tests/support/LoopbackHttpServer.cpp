// The loopback HTTP server: accept loop, request parsing, and the scripted answers.
#include "support/LoopbackHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <stdexcept>

namespace veska::testing {

namespace {

using sim::HttpExchangeState;

constexpr std::size_t kMaxHeadBytes = 64 * 1024;

double steadySeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

std::optional<ports::HttpMethod> methodOf(std::string_view name) {
    using ports::HttpMethod;
    for (HttpMethod m : {HttpMethod::get, HttpMethod::head, HttpMethod::post, HttpMethod::put,
                         HttpMethod::patch, HttpMethod::remove}) {
        if (ports::methodName(m) == name) return m;
    }
    return std::nullopt;
}

std::string reason(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 301:
            return "Moved Permanently";
        case 302:
            return "Found";
        case 303:
            return "See Other";
        case 307:
            return "Temporary Redirect";
        case 308:
            return "Permanent Redirect";
        case 400:
            return "Bad Request";
        case 401:
            return "Unauthorized";
        case 404:
            return "Not Found";
        case 429:
            return "Too Many Requests";
        case 500:
            return "Internal Server Error";
        case 503:
            return "Service Unavailable";
        default:
            return "Status";
    }
}

std::string lowered(std::string text) {
    for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return text;
}

/// Ends the connection with a reset rather than an orderly close.
void resetAndClose(int fd) {
    linger hard{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    ::close(fd);
}

}  // namespace

/// One accepted connection: reads requests and plays the scripted answers, one at a time.
struct LoopbackHttpServer::Connection {
    LoopbackHttpServer& server;
    int fd;
    int stopFd;
    std::string buffer;
    bool open = true;

    enum class Wait { elapsed, clientGone, stopping };

    /// Lets `seconds` pass (forever when negative), watching for the client closing.
    Wait wait(double seconds) {
        const double end = seconds < 0 ? -1 : steadySeconds() + seconds;
        while (true) {
            int timeout = -1;
            if (end >= 0) {
                const double left = end - steadySeconds();
                if (left <= 0) return Wait::elapsed;
                timeout = static_cast<int>(left * 1000) + 1;
            }
            pollfd fds[2] = {{fd, POLLIN, 0}, {stopFd, POLLIN, 0}};
            const int ready = ::poll(fds, 2, timeout);
            if (ready < 0) return Wait::stopping;
            if (fds[1].revents != 0) return Wait::stopping;
            if (fds[0].revents == 0) continue;
            char byte = 0;
            const ssize_t got = ::recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
            if (got <= 0) return Wait::clientGone;
            // The client sent more (its next request): keep it for later and just wait.
            if (end < 0) return Wait::stopping;
            ::usleep(static_cast<useconds_t>(std::max(0.0, end - steadySeconds()) * 1e6));
            return Wait::elapsed;
        }
    }

    bool readMore() {
        pollfd fds[2] = {{fd, POLLIN, 0}, {stopFd, POLLIN, 0}};
        if (::poll(fds, 2, -1) <= 0 || fds[1].revents != 0) return false;
        char chunk[16384];
        const ssize_t got = ::recv(fd, chunk, sizeof chunk, 0);
        if (got <= 0) return false;
        buffer.append(chunk, static_cast<std::size_t>(got));
        return true;
    }

    bool write(std::string_view bytes) {
        while (!bytes.empty()) {
            const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (sent <= 0) return false;
            bytes.remove_prefix(static_cast<std::size_t>(sent));
        }
        return true;
    }

    /// Reads one request; nothing when the connection ends first.
    std::optional<sim::RecordedHttpRequest> readRequest() {
        std::size_t end = 0;
        while ((end = buffer.find("\r\n\r\n")) == std::string::npos) {
            // A TLS handshake where plain HTTP is spoken: answer in plain text, as a
            // misconfigured server would.
            if (!buffer.empty() && buffer[0] == '\x16') {
                write("HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\n\r\n");
                return std::nullopt;
            }
            if (buffer.size() > kMaxHeadBytes || !readMore()) return std::nullopt;
        }
        const std::string head = buffer.substr(0, end);
        buffer.erase(0, end + 4);
        sim::RecordedHttpRequest request;
        request.at = steadySeconds();
        const auto lineEnd = head.find("\r\n");
        const std::string first = head.substr(0, lineEnd);
        const auto s1 = first.find(' ');
        const auto s2 = first.find(' ', s1 + 1);
        if (s1 == std::string::npos || s2 == std::string::npos) return std::nullopt;
        auto method = methodOf(first.substr(0, s1));
        if (!method) return std::nullopt;
        request.method = *method;
        const std::string target = first.substr(s1 + 1, s2 - s1 - 1);
        request.url = server.baseUrl() + target;
        const auto question = target.find('?');
        request.path = target.substr(0, question);
        request.query = question == std::string::npos ? "" : target.substr(question + 1);
        std::size_t at = lineEnd == std::string::npos ? head.size() : lineEnd + 2;
        while (at < head.size()) {
            auto next = head.find("\r\n", at);
            if (next == std::string::npos) next = head.size();
            const std::string line = head.substr(at, next - at);
            at = next + 2;
            const auto colon = line.find(':');
            if (colon == std::string::npos) continue;
            std::string value = line.substr(colon + 1);
            while (!value.empty() && value.front() == ' ') value.erase(0, 1);
            request.headers.add(line.substr(0, colon), value);
        }
        if (lowered(request.headers.value("Expect").value_or("")) == "100-continue") {
            write("HTTP/1.1 100 Continue\r\n\r\n");
        }
        const std::size_t length = std::stoul(request.headers.value("Content-Length").value_or("0"));
        while (buffer.size() < length) {
            if (!readMore()) return std::nullopt;
        }
        request.body = buffer.substr(0, length);
        buffer.erase(0, length);
        return request;
    }

    void mark(std::size_t index, HttpExchangeState state, int status = -1, std::size_t sent = 0) {
        std::lock_guard lock(server.mutex_);
        if (auto* record = server.server_->record(index)) {
            if (record->state == HttpExchangeState::open) {
                record->state = state;
                record->endedAt = steadySeconds();
            }
            if (status >= 0) record->status = status;
            record->bodyBytesSent += sent;
        }
    }

    /// Plays `behaviour`; false when the connection must end afterwards.
    bool answer(std::size_t index, const sim::RecordedHttpRequest& request,
                const sim::HttpBehaviour& behaviour) {
        using sim::HttpOpening;
        switch (behaviour.opening) {
            case HttpOpening::refuse:
                resetAndClose(fd);
                open = false;
                mark(index, HttpExchangeState::failed);
                return false;
            case HttpOpening::silence:
                finishWaiting(index, wait(-1));
                return false;
            case HttpOpening::malformed:
                if (!waited(index, behaviour.headDelaySeconds)) return false;
                write("this is not an HTTP answer\r\n\r\n");
                mark(index, HttpExchangeState::failed);
                return false;
            case HttpOpening::drop:
                if (!waited(index, behaviour.headDelaySeconds)) return false;
                resetAndClose(fd);
                open = false;
                mark(index, HttpExchangeState::failed);
                return false;
            case HttpOpening::tlsFailure: {
                const std::string to = "https://127.0.0.1:" + std::to_string(server.port_) + request.path;
                write("HTTP/1.1 307 Temporary Redirect\r\nLocation: " + to + "\r\nContent-Length: 0\r\n\r\n");
                mark(index, HttpExchangeState::failed);
                return true;
            }
            case HttpOpening::respond:
                return respond(index, request, behaviour);
        }
        return false;
    }

    bool waited(std::size_t index, double seconds) {
        const Wait how = wait(seconds);
        if (how == Wait::elapsed) return true;
        finishWaiting(index, how);
        return false;
    }

    void finishWaiting(std::size_t index, Wait how) {
        mark(index, how == Wait::clientGone ? HttpExchangeState::cancelled : HttpExchangeState::failed);
    }

    bool respond(std::size_t index, const sim::RecordedHttpRequest& request,
                 const sim::HttpBehaviour& behaviour) {
        using sim::HttpEnding;
        if (!waited(index, behaviour.headDelaySeconds)) return false;
        const bool sized =
            behaviour.headers.contains("Content-Length") || behaviour.headers.contains("Transfer-Encoding");
        const bool chunked =
            lowered(behaviour.headers.value("Transfer-Encoding").value_or("")) == "chunked" ||
            (!sized && behaviour.ending != HttpEnding::complete);
        std::string head =
            "HTTP/1.1 " + std::to_string(behaviour.status) + " " + reason(behaviour.status) + "\r\n";
        for (const auto& [name, value] : behaviour.headers.fields()) head += name + ": " + value + "\r\n";
        if (!sized && !chunked) head += "Content-Length: " + std::to_string(behaviour.body().size()) + "\r\n";
        if (!sized && chunked) head += "Transfer-Encoding: chunked\r\n";
        head += "\r\n";
        if (!write(head)) return false;
        mark(index, HttpExchangeState::open, behaviour.status);
        if (request.method == ports::HttpMethod::head) {
            mark(index, HttpExchangeState::completed);
            return true;
        }
        for (const auto& piece : behaviour.pieces) {
            if (!waited(index, piece.delaySeconds)) return false;
            if (piece.bytes.empty()) continue;
            std::string framed = piece.bytes;
            if (chunked) {
                char size[32];
                std::snprintf(size, sizeof size, "%zx\r\n", piece.bytes.size());
                framed = size + piece.bytes + "\r\n";
            }
            if (!write(framed)) {
                mark(index, HttpExchangeState::cancelled);
                return false;
            }
            mark(index, HttpExchangeState::open, -1, piece.bytes.size());
        }
        if (!waited(index, behaviour.endDelaySeconds)) return false;
        switch (behaviour.ending) {
            case HttpEnding::complete:
                if (chunked && !write("0\r\n\r\n")) return false;
                mark(index, HttpExchangeState::completed);
                return true;
            case HttpEnding::drop:
                resetAndClose(fd);
                open = false;
                mark(index, HttpExchangeState::failed);
                return false;
            case HttpEnding::hang:
                finishWaiting(index, wait(-1));
                return false;
        }
        return false;
    }

    void run() {
        while (true) {
            auto request = readRequest();
            if (!request) break;
            std::size_t index = 0;
            sim::HttpBehaviour behaviour;
            {
                std::lock_guard lock(server.mutex_);
                std::tie(index, behaviour) = server.server_->accept(*request);
            }
            if (!answer(index, *request, behaviour)) break;
        }
        if (open) ::close(fd);
    }
};

LoopbackHttpServer::LoopbackHttpServer() {
    if (::pipe(stopPipe_) != 0) throw std::runtime_error("pipe failed");
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (listenFd_ < 0 || ::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listenFd_, 64) != 0 ||
        ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error("cannot listen on loopback");
    }
    port_ = ntohs(address.sin_port);
    server_ = std::make_unique<sim::SimHttpServer>(baseUrl());
    acceptor_ = std::thread([this] { acceptLoop(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
    const char stop = 1;
    [[maybe_unused]] const auto ignored = ::write(stopPipe_[1], &stop, 1);
    acceptor_.join();
    std::list<std::thread> workers;
    {
        std::lock_guard lock(mutex_);
        workers.swap(workers_);
    }
    for (auto& worker : workers) worker.join();
    ::close(listenFd_);
    ::close(stopPipe_[0]);
    ::close(stopPipe_[1]);
}

std::string LoopbackHttpServer::baseUrl() const {
    return "http://127.0.0.1:" + std::to_string(port_);
}

void LoopbackHttpServer::route(sim::HttpRoute route) {
    std::lock_guard lock(mutex_);
    server_->route(std::move(route));
}

std::vector<sim::RecordedHttpRequest> LoopbackHttpServer::requests() const {
    std::lock_guard lock(mutex_);
    return server_->requests();
}

void LoopbackHttpServer::acceptLoop() {
    while (true) {
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 || fds[1].revents != 0) return;
        if (fds[0].revents == 0) continue;
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        ++connections_;
        const int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        std::lock_guard lock(mutex_);
        workers_.emplace_back([this, fd] { serve(fd); });
    }
}

void LoopbackHttpServer::serve(int fd) {
    Connection connection{*this, fd, stopPipe_[0], {}, true};
    connection.run();
}

int closedLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

}  // namespace veska::testing
