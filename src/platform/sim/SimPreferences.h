// The user defaults in memory, for tests and the simulated desktop.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "ports/Preferences.h"

namespace veska::sim {

/// A plain map of key to value; lives as long as its owner. Not thread-safe, like the port.
class SimPreferences : public ports::Preferences {
public:
    SimPreferences() = default;
    explicit SimPreferences(std::map<std::string, ports::PrefValue> values);

    [[nodiscard]] std::optional<ports::PrefValue> get(const std::string& key) const override;
    void set(const std::string& key, ports::PrefValue value) override;
    void remove(const std::string& key) override;

    /// Everything stored, for assertions on what a component wrote.
    [[nodiscard]] const std::map<std::string, ports::PrefValue>& values() const { return values_; }

private:
    std::map<std::string, ports::PrefValue> values_;
};

}  // namespace veska::sim
