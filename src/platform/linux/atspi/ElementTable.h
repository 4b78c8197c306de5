// The handles given out for AT-SPI objects.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <unordered_map>

#include <atspi/atspi.h>

namespace veska::platform {

/// Maps `AXElement` ids to AT-SPI objects it holds a reference on. One object has one id while
/// it is in the table, so equal elements compare equal. At most `capacity` objects are held:
/// adding one more drops the least recently used, whose id then names nothing (a stale
/// handle). Ids are never reused. Ids below `kFirstId` are the caller's.
class ElementTable {
public:
    static constexpr std::uint64_t kFirstId = 16;

    explicit ElementTable(std::size_t capacity) : capacity_(capacity == 0 ? 1 : capacity) {}
    ElementTable(const ElementTable&) = delete;
    ElementTable& operator=(const ElementTable&) = delete;
    ~ElementTable() { clear(); }

    /// The id of `object` (a new one the first time); takes its own reference, not the caller's.
    std::uint64_t add(AtspiAccessible* object);
    /// The object of an id (borrowed), or null for an unknown or dropped id.
    [[nodiscard]] AtspiAccessible* find(std::uint64_t id);
    /// Whether an id still names an object (without counting as a use).
    [[nodiscard]] bool holds(std::uint64_t id) const { return byId_.contains(id); }
    void clear();
    [[nodiscard]] std::size_t size() const { return byId_.size(); }

private:
    struct Entry {
        AtspiAccessible* object;
        std::list<std::uint64_t>::iterator use;
    };
    void touch(Entry& entry, std::uint64_t id);

    std::size_t capacity_;
    std::uint64_t next_ = kFirstId;
    std::unordered_map<std::uint64_t, Entry> byId_;
    std::unordered_map<AtspiAccessible*, std::uint64_t> byObject_;
    std::list<std::uint64_t> uses_;  // most recent first
};

}  // namespace veska::platform
