// In-memory environment variables and home directory.
#include "platform/sim/SimEnvironment.h"

#include <utility>

namespace veska::sim {

SimEnvironment::SimEnvironment(std::string home, std::map<std::string, std::string> variables)
    : variables_(std::move(variables)) {
    setHomeDirectory(std::move(home));
}

std::optional<std::string> SimEnvironment::variable(const std::string& name) const {
    auto it = variables_.find(name);
    if (it == variables_.end()) return std::nullopt;
    return it->second;
}

void SimEnvironment::setVariable(const std::string& name, std::string value) {
    variables_.insert_or_assign(name, std::move(value));
}

void SimEnvironment::unsetVariable(const std::string& name) {
    variables_.erase(name);
}

void SimEnvironment::setHomeDirectory(std::string home) {
    while (!home.empty() && home.back() == '/') home.pop_back();
    home_ = std::move(home);
}

}  // namespace veska::sim
