// Pieces of the scenario reader shared by its steps, services and expectations.
#pragma once

#include <set>
#include <string>

#include "main/scenario/JsonNode.h"
#include "main/scenario/Scenario.h"

namespace veska::scenario::parse {

/// Identifiers of the requests and connections started by earlier steps.
struct KnownIds {
    std::set<std::string> requests;
    std::set<std::string> connections;
    /// A `liveStart` above has not yet been ended by `liveSettle` or `liveRetract`.
    bool liveOpen = false;
};

AppRef appRef(const JsonNode& node);
FieldRef fieldRef(const JsonNode& node);
KeyChord chord(const JsonNode& node);
ports::TextRange range(const JsonNode& node);
ports::HttpMethod method(const JsonNode& node);
/// Header fields: {"Name": "value"}, or [["Name", "value"], ...] to keep order and repeats.
ports::HttpHeaders headers(const JsonNode& node);
/// The "id" of `owner`, or `fallback`; new among requests and connections, and recorded.
std::string newId(const JsonNode& owner, std::string fallback, KnownIds& ids, bool connection);
/// An id of an earlier request (or connection when `connection`).
std::string knownId(const JsonNode& node, const KnownIds& ids, bool connection);

std::vector<ServerSpec> services(const JsonNode& node);
Expectation expectation(const JsonNode& node, const KnownIds& ids);
/// Veska's own run on the desktop: its settings and its simulated services.
AppSpec appSpec(const JsonNode& node);
/// Whether `name` is a failure of the Claude voice stream.
bool isVoiceError(const std::string& name);

}  // namespace veska::scenario::parse
