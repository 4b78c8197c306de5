// Where Veska's own configuration files live, and a bounded reader for them.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "ports/Environment.h"

namespace veska::ConfigFiles {

/// Larger files are not Veska's configuration and read as unreadable.
inline constexpr std::size_t kMaxFileBytes = std::size_t{1024} * 1024;

/// The home directory followed by "/.config/veska-voice" (holds "v2.env" and "v2.json").
[[nodiscard]] std::string configDirectory(const ports::Environment& env);

/// The whole file as bytes; nothing when it is missing, unreadable (a directory, no
/// permission) or larger than `kMaxFileBytes`.
[[nodiscard]] std::optional<std::string> readText(const std::string& path);

}  // namespace veska::ConfigFiles
