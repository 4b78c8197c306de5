// Reading scenario files: syntax, structure and every value checked before anything runs.
#pragma once

#include <string_view>

#include <nlohmann/json.hpp>

#include "main/scenario/JsonNode.h"
#include "main/scenario/Scenario.h"

namespace veska::scenario {

/// Largest scenario file read, in bytes.
inline constexpr std::size_t kMaxScenarioBytes = std::size_t{16} * 1024 * 1024;
/// Most steps one scenario may hold.
inline constexpr std::size_t kMaxSteps = 100'000;

/// Parses the text of a scenario file; throws `ScenarioError` naming the line and column of a
/// syntax error, or the path of a bad value.
Scenario parseScenarioText(std::string_view text);
/// Checks and converts a parsed scenario document; throws `ScenarioError`.
Scenario parseScenario(const nlohmann::json& document);

}  // namespace veska::scenario
