// The process environment: variables and the user's home directory.
#pragma once

#include <optional>
#include <string>

namespace veska::ports {

class Environment {
public:
    virtual ~Environment() = default;
    /// The variable's value, or nothing when it is not set.
    [[nodiscard]] virtual std::optional<std::string> variable(const std::string& name) const = 0;
    /// The user's home directory, without a trailing "/".
    [[nodiscard]] virtual std::string homeDirectory() const = 0;
};

}  // namespace veska::ports
