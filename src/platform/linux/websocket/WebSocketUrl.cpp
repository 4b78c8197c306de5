// Parsing of ws/wss URLs.
#include "platform/linux/websocket/WebSocketUrl.h"

#include <algorithm>
#include <cctype>

namespace veska::platform {

namespace {

bool hostChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '.' || c == '-' || c == '_';
}

}  // namespace

std::optional<WebSocketUrl> parseWebSocketUrl(std::string_view url) {
    WebSocketUrl out;
    if (url.starts_with("wss://")) {
        out.secure = true;
        url.remove_prefix(6);
    } else if (url.starts_with("ws://")) {
        url.remove_prefix(5);
    } else {
        return std::nullopt;
    }
    const std::size_t end = url.find_first_of("/?#");
    std::string_view authority = url.substr(0, end);
    std::string_view rest = end == std::string_view::npos ? std::string_view() : url.substr(end);
    if (const std::size_t fragment = rest.find('#'); fragment != std::string_view::npos) rest = rest.substr(0, fragment);
    if (authority.find('@') != std::string_view::npos || authority.empty()) return std::nullopt;

    std::string_view host = authority;
    std::string_view port;
    if (authority.front() == '[') {
        const std::size_t close = authority.find(']');
        if (close == std::string_view::npos) return std::nullopt;
        host = authority.substr(1, close - 1);
        std::string_view after = authority.substr(close + 1);
        if (!after.empty() && after.front() != ':') return std::nullopt;
        if (!after.empty()) port = after.substr(1);
        const bool valid = !host.empty() && std::all_of(host.begin(), host.end(), [](char c) {
            return std::isxdigit(static_cast<unsigned char>(c)) != 0 || c == ':' || c == '.';
        });
        if (!valid) return std::nullopt;
    } else {
        const std::size_t colon = authority.rfind(':');
        if (colon != std::string_view::npos) {
            host = authority.substr(0, colon);
            port = authority.substr(colon + 1);
        }
        if (host.empty() || !std::all_of(host.begin(), host.end(), hostChar)) return std::nullopt;
    }
    if (!port.empty()) {
        if (port.size() > 5 || !std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            return std::nullopt;
        }
        const int number = std::stoi(std::string(port));
        if (number < 1 || number > 65535) return std::nullopt;
    }
    out.host = std::string(host);
    out.port = port.empty() ? (out.secure ? "443" : "80") : std::string(port);
    const bool bracketed = authority.front() == '[';
    out.hostField = bracketed ? "[" + out.host + "]" : out.host;
    if (!port.empty() && out.port != (out.secure ? "443" : "80")) out.hostField += ":" + out.port;
    out.target = rest.empty() || rest.front() == '?' ? "/" + std::string(rest) : std::string(rest);
    return out;
}

}  // namespace veska::platform
