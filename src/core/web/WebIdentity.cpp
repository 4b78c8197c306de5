// Hosts and origins of service URLs, and how cookie domains are matched to them.
#include "core/web/WebIdentity.h"

#include "text/Ascii.h"

namespace veska {

namespace {

struct Authority {
    std::string_view scheme;
    std::string_view hostPort;
};

Authority authority(std::string_view url) {
    Authority out;
    auto schemeEnd = url.find("://");
    if (schemeEnd == std::string_view::npos) return out;
    out.scheme = url.substr(0, schemeEnd);
    std::string_view rest = url.substr(schemeEnd + 3);
    rest = rest.substr(0, rest.find_first_of("/?#"));
    if (auto at = rest.rfind('@'); at != std::string_view::npos) rest = rest.substr(at + 1);
    out.hostPort = rest;
    return out;
}

}  // namespace

std::string urlHost(std::string_view url) {
    std::string_view hostPort = authority(url).hostPort;
    if (!hostPort.empty() && hostPort.front() == '[') {
        auto close = hostPort.find(']');
        return text::asciiLowered(close == std::string_view::npos ? hostPort : hostPort.substr(0, close + 1));
    }
    return text::asciiLowered(hostPort.substr(0, hostPort.find(':')));
}

std::string urlOrigin(std::string_view url) {
    Authority parts = authority(url);
    if (parts.scheme.empty()) return {};
    return text::asciiLowered(parts.scheme) + "://" + text::asciiLowered(parts.hostPort);
}

bool cookieDomainIsHost(std::string_view domain, std::string_view host) {
    const std::string d = text::asciiLowered(domain);
    const std::string h = text::asciiLowered(host);
    return !h.empty() && (d == h || d == "." + h);
}

bool cookieDomainWithin(std::string_view domain, std::string_view registrable) {
    std::string d = text::asciiLowered(domain);
    std::string r = text::asciiLowered(registrable);
    if (!d.empty() && d.front() == '.') d.erase(0, 1);
    if (!r.empty() && r.front() == '.') r.erase(0, 1);
    if (r.empty() || d.empty()) return false;
    if (d == r) return true;
    return d.size() > r.size() && d.ends_with(r) && d[d.size() - r.size() - 1] == '.';
}

}  // namespace veska
