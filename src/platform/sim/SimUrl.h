// URLs as the simulated network reads them: scheme, host, port, path and query.
#pragma once

#include <optional>
#include <string>

namespace veska::sim {

/// A parsed absolute URL. Scheme and host are lower-case; the default port of the scheme is
/// left out of `origin`.
struct SimUrl {
    std::string scheme;
    std::string host;
    int port = 0;
    std::string path = "/";
    std::string query;  // without "?"; empty when none

    /// "scheme://host[:port]".
    [[nodiscard]] std::string origin() const;
    /// Path and query as they appear on the request line.
    [[nodiscard]] std::string target() const { return query.empty() ? path : path + "?" + query; }
    [[nodiscard]] std::string text() const { return origin() + target(); }

    /// Parses `text`; nothing when it is not an absolute URL with a host, or holds white
    /// space or control characters. Any scheme is accepted; callers check theirs.
    static std::optional<SimUrl> parse(const std::string& text);
    /// `reference` (absolute, or a path starting with "/") resolved against `base`.
    static std::optional<SimUrl> resolve(const SimUrl& base, const std::string& reference);
};

/// The default port of http/ws (80) and https/wss (443); 0 for other schemes.
[[nodiscard]] int defaultPort(const std::string& scheme);

}  // namespace veska::sim
