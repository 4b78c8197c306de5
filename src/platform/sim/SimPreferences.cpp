// In-memory user defaults.
#include "platform/sim/SimPreferences.h"

#include <utility>

namespace veska::sim {

SimPreferences::SimPreferences(std::map<std::string, ports::PrefValue> values) : values_(std::move(values)) {}

std::optional<ports::PrefValue> SimPreferences::get(const std::string& key) const {
    auto it = values_.find(key);
    if (it == values_.end()) return std::nullopt;
    return it->second;
}

void SimPreferences::set(const std::string& key, ports::PrefValue value) {
    values_.insert_or_assign(key, std::move(value));
}

void SimPreferences::remove(const std::string& key) {
    values_.erase(key);
}

}  // namespace veska::sim
