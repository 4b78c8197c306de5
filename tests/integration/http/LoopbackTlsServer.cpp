// The HTTPS test server: a certificate made with libcrypto, handshakes with libssl.
#include "integration/http/LoopbackTlsServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/ec.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <stdexcept>

namespace veska::platform {

struct LoopbackTlsServer::State {
    SSL_CTX* context = nullptr;
    EVP_PKEY* key = nullptr;
    X509* certificate = nullptr;
    int listenFd = -1;
    int stopPipe[2] = {-1, -1};
    int port = 0;
    std::atomic<int> answered{0};

    ~State() {
        if (context != nullptr) SSL_CTX_free(context);
        if (certificate != nullptr) X509_free(certificate);
        if (key != nullptr) EVP_PKEY_free(key);
        if (listenFd >= 0) ::close(listenFd);
        for (int fd : stopPipe) {
            if (fd >= 0) ::close(fd);
        }
    }

    void makeCertificate(const std::string& hostNames) {
        key = EVP_EC_gen("P-256");
        certificate = X509_new();
        if (key == nullptr || certificate == nullptr) throw std::runtime_error("cannot make a key");
        X509_set_version(certificate, 2);
        ASN1_INTEGER_set(X509_get_serialNumber(certificate), 1);
        X509_gmtime_adj(X509_getm_notBefore(certificate), -60);
        X509_gmtime_adj(X509_getm_notAfter(certificate), 3600);
        X509_set_pubkey(certificate, key);
        X509_NAME* name = X509_get_subject_name(certificate);
        X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                   reinterpret_cast<const unsigned char*>("veska test"), -1, -1, 0);
        X509_set_issuer_name(certificate, name);
        X509V3_CTX v3;
        X509V3_set_ctx(&v3, certificate, certificate, nullptr, nullptr, 0);
        for (auto [nid, value] : {std::pair{NID_subject_alt_name, hostNames},
                                  std::pair{NID_basic_constraints, std::string("critical,CA:TRUE")}}) {
            X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &v3, nid, value.c_str());
            if (extension == nullptr) throw std::runtime_error("bad certificate extension");
            X509_add_ext(certificate, extension, -1);
            X509_EXTENSION_free(extension);
        }
        if (X509_sign(certificate, key, EVP_sha256()) == 0) throw std::runtime_error("cannot sign");
    }

    void serveOne(int fd) {
        SSL* ssl = SSL_new(context);
        SSL_set_fd(ssl, fd);
        if (SSL_accept(ssl) == 1) {
            std::string request;
            char chunk[4096];
            while (request.find("\r\n\r\n") == std::string::npos) {
                const int got = SSL_read(ssl, chunk, sizeof chunk);
                if (got <= 0) break;
                request.append(chunk, static_cast<std::size_t>(got));
            }
            const std::string answer = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok";
            if (request.find("\r\n\r\n") != std::string::npos) {
                ++answered;
                SSL_write(ssl, answer.data(), static_cast<int>(answer.size()));
            }
            SSL_shutdown(ssl);
        }
        ERR_clear_error();
        SSL_free(ssl);
        ::close(fd);
    }

    void run() {
        while (true) {
            pollfd fds[2] = {{listenFd, POLLIN, 0}, {stopPipe[0], POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0 || fds[1].revents != 0) return;
            const int fd = ::accept(listenFd, nullptr, nullptr);
            if (fd >= 0) serveOne(fd);
        }
    }
};

LoopbackTlsServer::LoopbackTlsServer(const std::filesystem::path& directory, const std::string& hostNames)
    : state_(std::make_unique<State>()), certificateFile_(directory / "loopback-cert.pem") {
    State& s = *state_;
    s.makeCertificate(hostNames);
    std::FILE* file = std::fopen(certificateFile_.c_str(), "w");
    if (file == nullptr) throw std::runtime_error("cannot write the certificate");
    PEM_write_X509(file, s.certificate);
    std::fclose(file);
    s.context = SSL_CTX_new(TLS_server_method());
    if (s.context == nullptr || SSL_CTX_use_certificate(s.context, s.certificate) != 1 ||
        SSL_CTX_use_PrivateKey(s.context, s.key) != 1) {
        throw std::runtime_error("cannot set up TLS");
    }
    if (::pipe(s.stopPipe) != 0) throw std::runtime_error("pipe failed");
    s.listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(s.listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(s.listenFd, 16) != 0 ||
        ::getsockname(s.listenFd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error("cannot listen on loopback");
    }
    s.port = ntohs(address.sin_port);
    thread_ = std::thread([&s] {
        // A client that refuses the certificate hangs up mid-handshake; the server's next write
        // must fail with EPIPE, not end the test process.
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
        s.run();
    });
}

LoopbackTlsServer::~LoopbackTlsServer() {
    const char stop = 1;
    [[maybe_unused]] const auto ignored = ::write(state_->stopPipe[1], &stop, 1);
    thread_.join();
}

std::string LoopbackTlsServer::baseUrl() const {
    return "https://127.0.0.1:" + std::to_string(state_->port);
}

int LoopbackTlsServer::requestsAnswered() const {
    return state_->answered.load();
}

}  // namespace veska::platform
