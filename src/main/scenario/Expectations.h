// Checking what a user would observe against what a scenario expects.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "main/appsim/DictationWorld.h"
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

/// What the last finished selection look-up found.
struct FoundSelection {
    std::optional<std::string> text;  // none: no selection
    std::string source;               // "selection", "field" or "clipboard"; empty with no text
};

/// What Veska's own actions showed so far: the gesture callbacks fired (by name, in order)
/// and the last look-up's result (none before the first one ends).
struct ProductState {
    const std::vector<std::string>& gesturesFired;
    const std::optional<FoundSelection>& lastLookup;
    /// Veska itself, when the scenario runs it.
    appsim::DictationWorld* app = nullptr;
};

/// Looks at the world now, and at what Veska's components reported. Pure: reading state never
/// changes it.
Verdict check(const Expectation& expectation, ScenarioWorld& world, const ClientExchanges& clients,
              const ProductState& product);

}  // namespace veska::scenario
