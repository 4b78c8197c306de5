// What a simulated HTTP server does with a request: plain data, so scenarios can be JSON.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ports/HttpHeaders.h"
#include "ports/HttpRequest.h"

namespace veska::sim {

/// A piece of body sent `delaySeconds` after the previous event (the head, or the piece
/// before).
struct HttpPiece {
    double delaySeconds = 0;
    std::string bytes;
};

/// How the server opens its answer.
enum class HttpOpening {
    respond,     // sends the head (after `headDelaySeconds`), then the pieces
    refuse,      // the connection is refused: a network failure at once
    tlsFailure,  // the secure connection fails
    malformed,   // answers with bytes that are not HTTP (after `headDelaySeconds`)
    silence,     // accepts the connection and never answers
    drop,        // accepts, then resets the connection (after `headDelaySeconds`)
};

/// How the body ends after the last piece (`endDelaySeconds` later).
enum class HttpEnding {
    complete,  // the body is complete
    drop,      // the connection is reset: the client sees a network failure
    hang,      // the connection stays open and silent
};

/// The answer to one request. Unless it gives "Content-Length" or "Transfer-Encoding", a
/// complete answer carries the length of its body. A HEAD request gets the head only.
struct HttpBehaviour {
    HttpOpening opening = HttpOpening::respond;
    double headDelaySeconds = 0;
    int status = 200;
    ports::HttpHeaders headers;
    std::vector<HttpPiece> pieces;
    HttpEnding ending = HttpEnding::complete;
    double endDelaySeconds = 0;

    /// A whole answer at once.
    static HttpBehaviour reply(int status, std::string body, ports::HttpHeaders headers = {}) {
        HttpBehaviour b;
        b.status = status;
        b.headers = std::move(headers);
        if (!body.empty()) b.pieces.push_back({0, std::move(body)});
        return b;
    }
    /// An answer whose body comes in timed pieces.
    static HttpBehaviour stream(int status, std::vector<HttpPiece> pieces, ports::HttpHeaders headers = {}) {
        HttpBehaviour b;
        b.status = status;
        b.headers = std::move(headers);
        b.pieces = std::move(pieces);
        return b;
    }
    /// A failure before any head.
    static HttpBehaviour failing(HttpOpening opening, double delaySeconds = 0) {
        HttpBehaviour b;
        b.opening = opening;
        b.headDelaySeconds = delaySeconds;
        return b;
    }
    static HttpBehaviour redirect(int status, std::string location) {
        return reply(status, {}, {{"Location", std::move(location)}});
    }

    /// The whole body the pieces make.
    [[nodiscard]] std::string body() const {
        std::string out;
        for (const auto& piece : pieces) out += piece.bytes;
        return out;
    }
};

/// Requests a route answers: same path, and same method and query when those are given.
/// The n-th matching request gets the n-th behaviour; the last one repeats.
struct HttpRoute {
    std::optional<ports::HttpMethod> method;
    std::string path;
    std::optional<std::string> query;
    std::vector<HttpBehaviour> behaviours;
};

}  // namespace veska::sim
