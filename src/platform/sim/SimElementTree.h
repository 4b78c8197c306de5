// The accessibility trees of every simulated application, and which element has the focus.
#pragma once

#include <cstdint>
#include <map>

#include "platform/sim/SimElement.h"

namespace veska::sim {

/// Owns every element. Each application has one application element (made on first use),
/// whose children are its windows; each application has at most one focused element. Ids are
/// handed out in order, so a given build gives the same ids every run.
class SimElementTree {
public:
    static constexpr std::uint64_t kSystemWideId = 1;
    /// A limit on elements, so a runaway scenario fails clearly instead of eating memory.
    static constexpr std::size_t kMaxElements = 100'000;

    /// The application element of `pid`.
    std::uint64_t applicationElement(std::int32_t pid);
    /// Adds an element under `parent` (0: a window of the application); returns its id.
    std::uint64_t add(std::int32_t pid, std::uint64_t parent, const SimElementSpec& desc);
    /// Removes an element and everything below it; their handles go stale.
    void remove(std::uint64_t id);
    /// Gives `id` the focus within its application (0 clears the application's focus).
    void focus(std::int32_t pid, std::uint64_t id);
    [[nodiscard]] std::uint64_t focusedOf(std::int32_t pid) const;

    [[nodiscard]] SimElement* find(std::uint64_t id);
    [[nodiscard]] const SimElement* find(std::uint64_t id) const;
    [[nodiscard]] bool isApplicationElement(std::uint64_t id) const;

private:
    std::uint64_t nextId_ = kSystemWideId + 1;
    std::map<std::uint64_t, SimElement> elements_;
    std::map<std::int32_t, std::uint64_t> applications_;
    std::map<std::int32_t, std::uint64_t> focus_;
};

}  // namespace veska::sim
