// The user-defaults store: typed values under string keys, kept across runs.
#pragma once

#include <optional>
#include <string>
#include <variant>

namespace veska::ports {

using PrefValue = std::variant<bool, double, std::string>;

/// Key-value store of the user's settings. Reads of a key holding another type give nothing.
/// Used from the main executor; implementations need not be thread-safe.
class Preferences {
public:
    virtual ~Preferences() = default;

    [[nodiscard]] virtual std::optional<PrefValue> get(const std::string& key) const = 0;
    virtual void set(const std::string& key, PrefValue value) = 0;
    virtual void remove(const std::string& key) = 0;

    [[nodiscard]] std::optional<std::string> string(const std::string& key) const {
        return as<std::string>(key);
    }
    [[nodiscard]] std::optional<bool> boolean(const std::string& key) const { return as<bool>(key); }
    [[nodiscard]] std::optional<double> number(const std::string& key) const { return as<double>(key); }

private:
    template <class T>
    [[nodiscard]] std::optional<T> as(const std::string& key) const {
        auto value = get(key);
        if (!value || !std::holds_alternative<T>(*value)) return std::nullopt;
        return std::get<T>(*value);
    }
};

}  // namespace veska::ports
