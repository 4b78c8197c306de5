// Reading the fake services of a scenario: one server per origin, with the routes or
// endpoints written in the simulated services' own script format.
#include <algorithm>

#include "main/scenario/ParseParts.h"
#include "platform/sim/SimScriptReader.h"
#include "platform/sim/SimUrl.h"

namespace veska::scenario::parse {

namespace {

constexpr std::size_t kMaxServers = 64;
constexpr std::size_t kMaxRoutes = 1'000;
constexpr std::size_t kMaxSecrets = 256;

/// Reads one script with the services' reader, giving its errors this file's path.
template <class Read>
auto script(const JsonNode& node, std::string_view readerRoot, Read read) {
    try {
        return read(node.json());
    } catch (const sim::SimScriptError& error) {
        // The reader names places from its own root ("script route.behaviours[1]: ...").
        std::string what = error.what();
        if (what.rfind("script ", 0) == 0) what.erase(0, 7);
        if (what.rfind(readerRoot, 0) == 0) what.erase(0, readerRoot.size());
        throw ScenarioError(node.path() + what);
    }
}

std::vector<std::string> strings(const JsonNode& node) {
    std::vector<std::string> out;
    for (std::size_t i = 0, n = node.size(kMaxSecrets); i < n; ++i) out.push_back(node[i].string());
    return out;
}

ServerSpec server(const JsonNode& node) {
    node.allowOnly({"origin", "routes", "endpoints", "secrets", "sensitiveHeaders"});
    ServerSpec out;
    const JsonNode origin = node.at("origin");
    auto url = sim::SimUrl::parse(origin.string());
    const bool web = url && (url->scheme == "http" || url->scheme == "https");
    out.webSocket = url && (url->scheme == "ws" || url->scheme == "wss");
    if ((!web && !out.webSocket) || url->path != "/" || !url->query.empty()) {
        origin.fail("is an http, https, ws or wss origin without a path, such as \"https://api.example\"");
    }
    out.origin = url->origin();
    if (out.webSocket) {
        if (node.has("routes")) node.at("routes").fail("belong to an http or https origin");
        const JsonNode list = node.at("endpoints");
        for (std::size_t i = 0, n = list.size(kMaxRoutes); i < n; ++i) {
            out.endpoints.push_back(script(list[i], "endpoint", [](const auto& v) { return sim::SimScriptReader::wsEndpoint(v); }));
        }
    } else {
        if (node.has("endpoints")) node.at("endpoints").fail("belong to a ws or wss origin");
        const JsonNode list = node.at("routes");
        for (std::size_t i = 0, n = list.size(kMaxRoutes); i < n; ++i) {
            out.routes.push_back(script(list[i], "route", [](const auto& v) { return sim::SimScriptReader::httpRoute(v); }));
        }
    }
    if (auto secrets = node.find("secrets")) out.secrets = strings(*secrets);
    if (auto names = node.find("sensitiveHeaders")) out.sensitiveHeaders = strings(*names);
    return out;
}

}  // namespace

std::vector<ServerSpec> services(const JsonNode& node) {
    std::vector<ServerSpec> out;
    for (std::size_t i = 0, n = node.size(kMaxServers); i < n; ++i) {
        ServerSpec desc = server(node[i]);
        const bool taken = std::any_of(out.begin(), out.end(), [&](const ServerSpec& s) { return s.origin == desc.origin; });
        if (taken) node[i].at("origin").fail("is the origin of an earlier server");
        out.push_back(std::move(desc));
    }
    return out;
}

}  // namespace veska::scenario::parse
