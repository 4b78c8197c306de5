// Base64 for the binary pieces of the simulated services' scripts.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace veska::sim {

/// Bytes from standard base64 ("+/", padding optional); nothing when `text` is not base64.
[[nodiscard]] std::optional<std::string> base64Decode(std::string_view text);

}  // namespace veska::sim
