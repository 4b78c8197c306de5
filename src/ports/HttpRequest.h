// One HTTP request as the product builds it: method, URL, headers, body and time limits.
#pragma once

#include <string>
#include <string_view>

#include "ports/HttpHeaders.h"

namespace veska::ports {

enum class HttpMethod { get, head, post, put, patch, remove };

/// The method as it goes on the wire ("GET", "DELETE"...).
[[nodiscard]] constexpr std::string_view methodName(HttpMethod method) {
    switch (method) {
        case HttpMethod::get: return "GET";
        case HttpMethod::head: return "HEAD";
        case HttpMethod::post: return "POST";
        case HttpMethod::put: return "PUT";
        case HttpMethod::patch: return "PATCH";
        case HttpMethod::remove: return "DELETE";
    }
    return "GET";
}

/// Redirects followed before the exchange fails with `tooManyRedirects`.
inline constexpr int kMaxRedirects = 10;

/// A request. The client keeps no cookies and no cache: the only credentials sent are the
/// headers given here. When a redirect leads to another origin, "Authorization" and "Cookie"
/// are not sent there.
struct HttpRequest {
    HttpMethod method = HttpMethod::get;
    std::string url;
    HttpHeaders headers;
    std::string body;
    /// Limit on the whole exchange, from sending to the last byte of the body; 0 = none.
    double timeoutSeconds = 60;
    /// Limit on any silence (no byte of head or body arriving); 0 = none.
    double idleTimeoutSeconds = 0;
    /// Follow 301, 302, 303, 307 and 308 answers (303, and 301/302 after a POST, become GET).
    bool followRedirects = true;
};

}  // namespace veska::ports
