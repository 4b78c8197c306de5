// The real process environment: getenv and the user's home directory.
#pragma once

#include <optional>
#include <string>

#include "ports/Environment.h"

namespace veska::platform {

class ProcessEnvironment : public ports::Environment {
public:
    [[nodiscard]] std::optional<std::string> variable(const std::string& name) const override;
    /// $HOME when set and not empty, else the password database's entry for this user; trailing
    /// "/" removed (so a home of "/" gives "").
    [[nodiscard]] std::string homeDirectory() const override;
};

}  // namespace veska::platform
