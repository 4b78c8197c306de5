// Checking what a user would observe against what a scenario expects.
#pragma once

#include <string>
#include <vector>

#include "main/scenario/ClientExchanges.h"
#include "main/scenario/Scenario.h"
#include "main/scenario/ScenarioWorld.h"
#include "main/scenario/TraceWriter.h"

namespace veska::scenario {

/// The outcome of one expectation: what it looked at, and on failure the values compared
/// (only the members the expectation named).
struct Verdict {
    bool ok = true;
    std::string what;
    TraceWriter::Fields expected = TraceWriter::Fields::object();
    TraceWriter::Fields actual = TraceWriter::Fields::object();
};

/// Looks at the world now, and at the gesture callbacks fired so far (by name, in order).
/// Pure: reading state never changes it.
Verdict check(const Expectation& expectation, ScenarioWorld& world, const ClientExchanges& clients,
              const std::vector<std::string>& gesturesFired);

}  // namespace veska::scenario
