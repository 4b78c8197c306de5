// How requests to the web services present themselves: the browser user agent and origins.
#pragma once

#include <string>
#include <string_view>

namespace veska {

/// The desktop browser the product presents itself as to the web services, outside web views.
inline constexpr std::string_view kBrowserUserAgent =
    "Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/605.1.15 (KHTML, like Gecko) "
    "Version/17.0 Safari/605.1.15";

/// The host of a URL ("https://claude.ai:443/x" → "claude.ai"), lower-cased; empty when
/// the URL has none. An IPv6 literal keeps its brackets.
[[nodiscard]] std::string urlHost(std::string_view url);

/// The origin of a URL: scheme, host and any explicit port ("https://claude.ai").
[[nodiscard]] std::string urlOrigin(std::string_view url);

/// True when `domain` (a cookie's domain, any letter case) names `host` itself or `host`
/// with a leading dot.
[[nodiscard]] bool cookieDomainIsHost(std::string_view domain, std::string_view host);

/// True when `domain` (any letter case, leading dot or not) is `registrable` or one of its
/// subdomains.
[[nodiscard]] bool cookieDomainWithin(std::string_view domain, std::string_view registrable);

}  // namespace veska
