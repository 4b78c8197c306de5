// The HTTP client port: send a request, get the head, read the body as it streams in.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "ports/HttpBody.h"
#include "ports/HttpRequest.h"
#include "ports/HttpTransfer.h"
#include "runtime/Task.h"

namespace veska::ports {

/// An answer whose head has arrived; its body streams in behind it.
struct HttpResponse {
    int status = 0;
    HttpHeaders headers;
    /// The URL that answered, after any redirects.
    std::string url;
    HttpBody body;

    /// "Content-Length" as a number, when present and well formed.
    [[nodiscard]] std::optional<std::uint64_t> contentLength() const;
};

/// HTTP and HTTPS without cookies or cache. `send` may be called from any task; it and every
/// read of the body resume on that task's executor. A task cancelled while it waits ends the
/// transfer. Implementations (adapters) only implement `start`.
class HttpClient {
public:
    virtual ~HttpClient() = default;

    /// Sends `request` and resumes once the answer's head has arrived (redirects followed as
    /// the request says). Throws `HttpError` when no answer comes; any status is an answer.
    rt::Task<HttpResponse> send(HttpRequest request);

protected:
    /// Begins the transfer of `request` and reports its progress to `transfer`, from any
    /// thread. The header fields have been checked already; the URL has not.
    virtual void start(HttpRequest request, std::shared_ptr<HttpTransfer> transfer) = 0;
};

/// True when `name` is a token and `value` holds no CR, LF or NUL.
[[nodiscard]] bool isValidHeaderField(const std::string& name, const std::string& value);

}  // namespace veska::ports
