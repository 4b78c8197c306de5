// How an HTTP exchange can fail, apart from the status the server answered with.
#pragma once

#include <exception>

namespace veska::ports {

/// Failures of the transfer itself. An answer with any status (404, 500...) is not one of
/// these: it is a response.
enum class HttpErrorKind {
    invalidUrl,        // the URL cannot be parsed, or its scheme is not http/https
    invalidHeader,     // a header name or value the protocol cannot carry (CR, LF, NUL...)
    network,           // no connection, connection refused or reset, dropped mid-body
    tls,               // the secure connection could not be set up or verified
    timeout,           // the whole exchange took longer than the request's time-out
    idleTimeout,       // nothing arrived for longer than the request's idle time-out
    cancelled,         // the transfer was cancelled by this side
    badResponse,       // the server answered with something that is not HTTP
    tooManyRedirects,  // more redirects than the client follows
    tooLarge,          // a line of the body exceeds the line limit
};

[[nodiscard]] constexpr const char* describe(HttpErrorKind kind) {
    switch (kind) {
        case HttpErrorKind::invalidUrl: return "invalid URL";
        case HttpErrorKind::invalidHeader: return "invalid header field";
        case HttpErrorKind::network: return "network failure";
        case HttpErrorKind::tls: return "secure connection failed";
        case HttpErrorKind::timeout: return "request timed out";
        case HttpErrorKind::idleTimeout: return "no data within the idle time-out";
        case HttpErrorKind::cancelled: return "cancelled";
        case HttpErrorKind::badResponse: return "bad server response";
        case HttpErrorKind::tooManyRedirects: return "too many redirects";
        case HttpErrorKind::tooLarge: return "body line too long";
    }
    return "HTTP failure";
}

/// Thrown by the awaits of an exchange. Its text names the kind only: never a URL, header or
/// body, which may hold credentials.
class HttpError : public std::exception {
public:
    explicit HttpError(HttpErrorKind kind) : kind_(kind) {}
    [[nodiscard]] HttpErrorKind kind() const { return kind_; }
    [[nodiscard]] const char* what() const noexcept override { return describe(kind_); }

private:
    HttpErrorKind kind_;
};

}  // namespace veska::ports
