// Parsing URLs for the simulated network.
#include "platform/sim/SimUrl.h"

#include <cctype>

#include "text/Ascii.h"

namespace veska::sim {

namespace {

bool hasBadCharacter(const std::string& text) {
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7f) return true;
    }
    return false;
}

bool validScheme(const std::string& scheme) {
    if (scheme.empty() || !std::isalpha(static_cast<unsigned char>(scheme[0]))) return false;
    for (char c : scheme) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') return false;
    }
    return true;
}

bool validHost(const std::string& host) {
    if (host.empty()) return false;
    if (host.front() == '[') return host.size() > 2 && host.back() == ']';
    for (char c : host) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '.' && c != '_') return false;
    }
    return host.front() != '.' && host.front() != '-';
}

/// Reads the port after the host; false when it is not 1..65535.
bool readPort(const std::string& text, int& port) {
    if (text.empty() || text.size() > 5) return false;
    int value = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
        value = value * 10 + (c - '0');
    }
    if (value < 1 || value > 65535) return false;
    port = value;
    return true;
}

}  // namespace

int defaultPort(const std::string& scheme) {
    if (scheme == "http" || scheme == "ws") return 80;
    if (scheme == "https" || scheme == "wss") return 443;
    return 0;
}

std::string SimUrl::origin() const {
    std::string out = scheme + "://" + host;
    if (port != defaultPort(scheme)) out += ":" + std::to_string(port);
    return out;
}

std::optional<SimUrl> SimUrl::parse(const std::string& text) {
    if (hasBadCharacter(text)) return std::nullopt;
    const auto schemeEnd = text.find("://");
    if (schemeEnd == std::string::npos) return std::nullopt;
    SimUrl url;
    url.scheme = text::asciiLowered(text.substr(0, schemeEnd));
    if (!validScheme(url.scheme)) return std::nullopt;
    std::string rest = text.substr(schemeEnd + 3);
    if (auto hash = rest.find('#'); hash != std::string::npos) rest.resize(hash);
    const auto authorityEnd = rest.find_first_of("/?");
    std::string authority = rest.substr(0, authorityEnd);
    std::string tail = authorityEnd == std::string::npos ? "" : rest.substr(authorityEnd);
    if (authority.find('@') != std::string::npos) return std::nullopt;
    url.port = defaultPort(url.scheme);
    const auto colon = authority.rfind(':');
    const bool bracketed = !authority.empty() && authority.front() == '[';
    if (colon != std::string::npos && (!bracketed || colon > authority.rfind(']'))) {
        if (!readPort(authority.substr(colon + 1), url.port)) return std::nullopt;
        authority.resize(colon);
    }
    url.host = text::asciiLowered(authority);
    if (!validHost(url.host) || url.port == 0) return std::nullopt;
    const auto question = tail.find('?');
    url.path = tail.substr(0, question);
    if (url.path.empty()) url.path = "/";
    if (question != std::string::npos) url.query = tail.substr(question + 1);
    return url;
}

std::optional<SimUrl> SimUrl::resolve(const SimUrl& base, const std::string& reference) {
    if (reference.find("://") != std::string::npos) return parse(reference);
    if (reference.empty() || reference.front() != '/' || reference.rfind("//", 0) == 0) return std::nullopt;
    return parse(base.origin() + reference);
}

}  // namespace veska::sim
