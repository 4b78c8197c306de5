// Reading a scenario file's JSON with the place of every value, for clear error messages.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace veska::scenario {

/// A scenario that cannot be run as written; the message names the place ("steps[3].at: ...").
class ScenarioError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// One value of the file and the path that leads to it. Every accessor checks the type and
/// throws `ScenarioError` naming the path; messages never quote the value (it may be a secret).
class JsonNode {
public:
    JsonNode(const nlohmann::json& value, std::string path) : value_(&value), path_(std::move(path)) {}

    [[nodiscard]] const nlohmann::json& json() const { return *value_; }
    [[nodiscard]] const std::string& path() const { return path_; }
    [[noreturn]] void fail(std::string_view what) const;

    [[nodiscard]] bool isNull() const { return value_->is_null(); }
    [[nodiscard]] bool isString() const { return value_->is_string(); }
    [[nodiscard]] bool isNumber() const { return value_->is_number(); }
    [[nodiscard]] bool isObject() const { return value_->is_object(); }
    [[nodiscard]] bool isArray() const { return value_->is_array(); }

    /// A member that must be present.
    [[nodiscard]] JsonNode at(std::string_view key) const;
    /// A member that may be absent (null counts as absent).
    [[nodiscard]] std::optional<JsonNode> find(std::string_view key) const;
    [[nodiscard]] bool has(std::string_view key) const { return find(key).has_value(); }
    /// Element `index` of a list.
    [[nodiscard]] JsonNode operator[](std::size_t index) const;
    /// The length of a list, at most `limit` long.
    [[nodiscard]] std::size_t size(std::size_t limit) const;
    /// Fails unless this is an object whose members are all among `allowed`.
    void allowOnly(std::initializer_list<std::string_view> allowed) const;
    /// The one member of `kinds` this object holds; fails on none or several.
    [[nodiscard]] std::string_view oneOf(std::initializer_list<std::string_view> kinds, std::string_view what) const;

    [[nodiscard]] std::string string() const;
    [[nodiscard]] bool boolean() const;
    [[nodiscard]] std::int64_t integer(std::int64_t min, std::int64_t max) const;
    /// A finite number of seconds in [0, max].
    [[nodiscard]] double seconds(double max) const;

    /// Shorthands for optional members with a fallback.
    [[nodiscard]] std::string string(std::string_view key, std::string fallback) const;
    [[nodiscard]] bool boolean(std::string_view key, bool fallback) const;
    [[nodiscard]] double seconds(std::string_view key, double max, double fallback) const;

private:
    const nlohmann::json* value_;
    std::string path_;
};

/// Longest wait, delay or time-out a scenario may give, in virtual seconds (one day).
inline constexpr double kMaxScenarioSeconds = 86'400;

}  // namespace veska::scenario
