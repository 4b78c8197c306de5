// Strict reading of one JSON object of a script: typed fields, unknown fields refused.
#pragma once

#include <set>
#include <string>

#include <nlohmann/json.hpp>

#include "ports/HttpHeaders.h"

namespace veska::sim {

/// One object of a script being read. Every getter records the field as known; `finish`
/// refuses the fields nobody asked for. Errors are `SimScriptError` naming the field's path.
class SimJsonObject {
public:
    SimJsonObject(const nlohmann::json& value, std::string where);

    /// The field, or nothing when it is absent or null.
    const nlohmann::json* find(const char* name);
    [[nodiscard]] bool has(const char* name) const;
    [[nodiscard]] std::string at(const std::string& name) const { return where_ + "." + name; }

    /// A finite number of seconds ≥ 0.
    double seconds(const char* name, double fallback);
    /// A finite number (any sign).
    double number(const char* name, double fallback);
    int integer(const char* name, int fallback, int min, int max);
    std::string text(const char* name, const std::string& fallback);
    bool flag(const char* name, bool fallback);
    /// Header fields as {"name": "value"} or as [["name", "value"], ...] (order and repeats kept).
    ports::HttpHeaders headers(const char* name);
    /// The field as an array (absent: empty).
    const nlohmann::json& array(const char* name);

    /// Refuses fields that were never asked for.
    void finish() const;

    [[noreturn]] static void fail(const std::string& where, const std::string& what);

private:
    const nlohmann::json& value_;
    std::string where_;
    std::set<std::string> known_;
};

}  // namespace veska::sim
