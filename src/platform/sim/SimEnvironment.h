// A process environment in memory: variables and a home directory chosen by the test.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "ports/Environment.h"

namespace veska::sim {

class SimEnvironment : public ports::Environment {
public:
    explicit SimEnvironment(std::string home = "/home/sim",
                            std::map<std::string, std::string> variables = {});

    [[nodiscard]] std::optional<std::string> variable(const std::string& name) const override;
    [[nodiscard]] std::string homeDirectory() const override { return home_; }

    /// Sets a variable; an empty value is set, not removed (as with `export NAME=`).
    void setVariable(const std::string& name, std::string value);
    void unsetVariable(const std::string& name);
    /// Trailing "/" are dropped, as the port promises.
    void setHomeDirectory(std::string home);

private:
    std::string home_;
    std::map<std::string, std::string> variables_;
};

}  // namespace veska::sim
