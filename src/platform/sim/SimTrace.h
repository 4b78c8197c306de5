// The observable record of what happened on the simulated desktop, for tests and scenarios.
#pragma once

#include <cstddef>
#include <deque>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "ports/KeyCodes.h"
#include "runtime/Executor.h"

namespace veska::sim {

enum class TraceKind {
    keyPosted,         // Veska posted a key (pid: the app in front then, or 0)
    keyPostDropped,    // posted without permission: the system dropped it
    keySwallowed,      // a tap swallowed a key; no application saw it
    keyReceived,       // an application received a key (pid: that application)
    keyHandled,        // the application acted on it (detail: what it did)
    pasteboardWrite,   // detail: the plain text written (or "" without one)
    pasteboardClear,
    activated,         // pid: the application that came to the front
    accessibilityWrite,   // detail: attribute name and value
    accessibilityTimeout, // detail: attribute name; seconds blocked in `seconds`
    permissionRequested,  // detail: permission name
    settingsOpened,       // detail: permission name
};

std::string_view traceKindName(TraceKind kind);

struct TraceEntry {
    double time = 0;
    TraceKind kind = TraceKind::keyPosted;
    std::int32_t pid = 0;
    ports::KeyCode keyCode = 0;
    ports::KeyFlags flags = 0;
    bool down = false;
    double seconds = 0;
    std::string detail{};
};

/// Appends entries stamped with the executor's virtual time. Keeps at most `kMaxEntries`;
/// older entries are dropped first and counted.
class SimTrace {
public:
    static constexpr std::size_t kMaxEntries = 200'000;

    explicit SimTrace(rt::Executor& executor) : executor_(executor) {}

    void add(TraceEntry entry);
    [[nodiscard]] const std::deque<TraceEntry>& entries() const { return entries_; }
    [[nodiscard]] std::vector<TraceEntry> ofKind(TraceKind kind) const;
    [[nodiscard]] std::size_t dropped() const { return dropped_; }
    /// Key codes of key-downs an application received, in order.
    [[nodiscard]] std::vector<ports::KeyCode> keysReceivedBy(std::int32_t pid) const;
    void clear();
    /// The entries as JSON; details hold user text, so dump it with invalid UTF-8 replaced.
    [[nodiscard]] nlohmann::json toJson() const;

private:
    rt::Executor& executor_;
    std::deque<TraceEntry> entries_;
    std::size_t dropped_ = 0;
};

}  // namespace veska::sim
