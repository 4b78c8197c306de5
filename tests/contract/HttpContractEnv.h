// The HTTP client contract's view of its environment: a client and two scriptable servers.
#pragma once

#include <string>
#include <vector>

#include "contract/ContractEnv.h"
#include "platform/sim/SimHttpScript.h"
#include "platform/sim/SimHttpServer.h"
#include "ports/HttpClient.h"

namespace veska::contract {

/// A client under test and two servers it can reach (the second stands for another origin,
/// for redirects). A loopback implementation serves the same scripts over real sockets.
class HttpContractEnv : public ContractEnv {
public:
    virtual ports::HttpClient& client() = 0;
    /// Base URL of server 0 or 1, without a trailing "/".
    virtual std::string baseUrl(int server = 0) = 0;
    /// A URL of the same scheme where nothing answers.
    virtual std::string unreachableUrl() = 0;
    /// Adds a route to server 0 or 1.
    virtual void route(sim::HttpRoute route, int server = 0) = 0;
    /// What server 0 or 1 has seen.
    virtual std::vector<sim::RecordedHttpRequest> requests(int server = 0) = 0;
};

/// The answer as a test looks at it.
struct Fetched {
    int status = 0;
    ports::HttpHeaders headers;
    std::string url;
    std::string body;
    bool truncated = false;
    std::vector<std::string> pieces;  // lines or chunks, as read
};

namespace http {

inline ports::HttpRequest get(std::string url) {
    ports::HttpRequest request;
    request.url = std::move(url);
    return request;
}

inline rt::Task<Fetched> fetchAll(ports::HttpClient* client, ports::HttpRequest request, std::size_t limit) {
    ports::HttpResponse response = co_await client->send(std::move(request));
    ports::HttpBodyText text = co_await response.body.readAll(limit);
    co_return Fetched{response.status, response.headers, response.url, std::move(text.bytes), text.truncated, {}};
}

inline rt::Task<Fetched> fetchLines(ports::HttpClient* client, ports::HttpRequest request) {
    ports::HttpResponse response = co_await client->send(std::move(request));
    Fetched fetched{response.status, response.headers, response.url, {}, false, {}};
    while (true) {
        std::optional<std::string> line = co_await response.body.nextLine();
        if (!line) break;
        fetched.pieces.push_back(std::move(*line));
    }
    co_return fetched;
}

inline rt::Task<Fetched> fetchChunks(ports::HttpClient* client, ports::HttpRequest request) {
    ports::HttpResponse response = co_await client->send(std::move(request));
    Fetched fetched{response.status, response.headers, response.url, {}, false, {}};
    while (true) {
        std::optional<std::string> chunk = co_await response.body.nextChunk();
        if (!chunk) break;
        fetched.body += *chunk;
        fetched.pieces.push_back(std::move(*chunk));
    }
    co_return fetched;
}

/// Pieces of `text`, each `gap` seconds after the one before.
inline std::vector<sim::HttpPiece> pieces(const std::vector<std::string>& texts, double gap) {
    std::vector<sim::HttpPiece> out;
    for (const auto& text : texts) out.push_back({gap, text});
    return out;
}

inline sim::HttpRoute always(std::string path, sim::HttpBehaviour behaviour) {
    return sim::HttpRoute{std::nullopt, std::move(path), std::nullopt, {std::move(behaviour)}};
}

}  // namespace http

}  // namespace veska::contract
