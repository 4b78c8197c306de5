// URLs as the HTTP client checks and follows them, parsed by libcurl's URL API.
#pragma once

#include <optional>
#include <string>

namespace veska::platform::CurlUrl {

/// `text` when it is an absolute http or https URL with a host; nothing otherwise.
[[nodiscard]] std::optional<std::string> checked(const std::string& text);

/// `location` (absolute or relative) resolved against `base`; nothing when the result is not
/// an http or https URL.
[[nodiscard]] std::optional<std::string> resolve(const std::string& base, const std::string& location);

/// Scheme, host and port (the default port made explicit) of an absolute URL; empty when it
/// cannot be parsed.
[[nodiscard]] std::string origin(const std::string& url);

}  // namespace veska::platform::CurlUrl
