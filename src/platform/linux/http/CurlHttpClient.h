// The HTTP client port over libcurl: every transfer on one network thread of the client's own.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "ports/HttpClient.h"

namespace veska::platform {

class CurlNetwork;

struct CurlHttpOptions {
    /// Certificate authorities (a PEM file) trusted instead of the system's; empty: the
    /// system's. Certificates and host names are always verified.
    std::string caFile;
};

/// HTTP and HTTPS through libcurl's multi interface. All transfers run on one network thread
/// owned by the client; their heads and bodies reach the reading task through its
/// `HttpTransfer`, which resumes it on its own executor. Connections are kept and reused (a
/// HEAD request warms one), no cookie or cache is kept, certificates are verified, and the
/// proxies named by the environment (http_proxy, https_proxy, no_proxy) are used. Redirects
/// are followed here rather than by libcurl, so the method and credential rules hold on every
/// hop. Thread-safe.
class CurlHttpClient final : public ports::HttpClient {
public:
    CurlHttpClient();
    explicit CurlHttpClient(CurlHttpOptions options);
    /// Stops the network thread; transfers still running fail with a network failure.
    ~CurlHttpClient() override;
    CurlHttpClient(const CurlHttpClient&) = delete;
    CurlHttpClient& operator=(const CurlHttpClient&) = delete;

    /// Exchanges still going on.
    [[nodiscard]] std::size_t activeTransfers() const;

protected:
    void start(ports::HttpRequest request, std::shared_ptr<ports::HttpTransfer> transfer) override;

private:
    std::shared_ptr<CurlNetwork> network_;
};

}  // namespace veska::platform
