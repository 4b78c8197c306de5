// Splitting a ws/wss URL into what the connection needs.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace veska::platform {

struct WebSocketUrl {
    bool secure = false;
    std::string host;    // without brackets for IPv6
    std::string port;    // digits
    std::string target;  // path and query, at least "/"
    /// The "Host" field: the host, with the port when it is not the scheme's default.
    std::string hostField;
};

/// Nothing for a URL that is not ws:// or wss://, or whose host or port is malformed.
[[nodiscard]] std::optional<WebSocketUrl> parseWebSocketUrl(std::string_view url);

}  // namespace veska::platform
