// One request through libcurl, from the first hop to the end of its answer, across redirects.
#pragma once

#include <curl/curl.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/linux/http/CurlHttpClient.h"
#include "ports/HttpRequest.h"
#include "ports/HttpTransfer.h"

namespace veska::platform {

/// Owned by the network thread and touched only there. Each hop of a redirect chain is an easy
/// handle of its own; the exchange keeps its deadlines across hops. The network thread adds
/// the handle `easy()` gives to its multi handle and calls `finished` when libcurl is done
/// with it.
class CurlExchange {
public:
    using Clock = std::chrono::steady_clock;

    CurlExchange(std::uint64_t id, ports::HttpRequest request, std::shared_ptr<ports::HttpTransfer> transfer,
                 const CurlHttpOptions& options);
    ~CurlExchange();
    CurlExchange(const CurlExchange&) = delete;
    CurlExchange& operator=(const CurlExchange&) = delete;

    /// Makes the first hop's handle; false (and the transfer failed) for a URL that cannot be
    /// sent.
    bool begin();
    [[nodiscard]] CURL* easy() const { return easy_; }
    [[nodiscard]] std::uint64_t id() const { return id_; }
    [[nodiscard]] const std::shared_ptr<ports::HttpTransfer>& transfer() const { return transfer_; }

    /// libcurl is done with the current hop. True when a new hop's handle is ready to add
    /// (a redirect); false when the exchange is over.
    bool finished(CURLcode code);
    /// A limit passed at `now`: the failure to report, if any.
    [[nodiscard]] std::optional<ports::HttpErrorKind> expired(Clock::time_point now) const;
    /// The earliest time a limit can pass, if any limit runs.
    [[nodiscard]] std::optional<Clock::time_point> nextDeadline() const;
    /// Ends the exchange with `kind` (no-op once it has ended).
    void fail(ports::HttpErrorKind kind);
    /// The reader drained its buffer: the hop may go on (the caller unpauses the handle).
    bool resumeReading();

private:
    static std::size_t headerCallback(char* data, std::size_t size, std::size_t count, void* self);
    static std::size_t bodyCallback(char* data, std::size_t size, std::size_t count, void* self);
    std::size_t onHeaderLine(std::string_view line);
    std::size_t onBody(const char* data, std::size_t size);
    /// The blank line after a head: hand it out, or start following a redirect.
    bool headEnded();
    bool makeHandle();
    void configureMethod();
    void dropHandle();
    void followRedirect();
    void touch() { lastActivity_ = Clock::now(); }

    std::uint64_t id_;
    ports::HttpRequest request_;
    std::shared_ptr<ports::HttpTransfer> transfer_;
    CurlHttpOptions options_;
    CURL* easy_ = nullptr;
    curl_slist* headerList_ = nullptr;
    std::string url_;

    // The answer of the current hop.
    int status_ = 0;
    ports::HttpHeaders headers_;
    bool headDelivered_ = false;
    std::optional<std::string> redirectTo_;
    int redirectStatus_ = 0;
    int redirects_ = 0;

    bool ended_ = false;
    bool paused_ = false;
    Clock::time_point started_ = Clock::now();
    Clock::time_point lastActivity_ = started_;
};

}  // namespace veska::platform
