// The bounded handle table.
#include "platform/linux/atspi/ElementTable.h"

namespace veska::platform {

void ElementTable::touch(Entry& entry, std::uint64_t id) {
    uses_.erase(entry.use);
    uses_.push_front(id);
    entry.use = uses_.begin();
}

std::uint64_t ElementTable::add(AtspiAccessible* object) {
    if (object == nullptr) return 0;
    if (auto known = byObject_.find(object); known != byObject_.end()) {
        touch(byId_.at(known->second), known->second);
        return known->second;
    }
    while (byId_.size() >= capacity_) {
        const std::uint64_t oldest = uses_.back();
        uses_.pop_back();
        auto it = byId_.find(oldest);
        byObject_.erase(it->second.object);
        g_object_unref(it->second.object);
        byId_.erase(it);
    }
    const std::uint64_t id = next_++;
    uses_.push_front(id);
    byId_.emplace(id, Entry{static_cast<AtspiAccessible*>(g_object_ref(object)), uses_.begin()});
    byObject_.emplace(object, id);
    return id;
}

AtspiAccessible* ElementTable::find(std::uint64_t id) {
    auto it = byId_.find(id);
    if (it == byId_.end()) return nullptr;
    touch(it->second, id);
    return it->second.object;
}

void ElementTable::clear() {
    for (auto& [id, entry] : byId_) g_object_unref(entry.object);
    byId_.clear();
    byObject_.clear();
    uses_.clear();
}

}  // namespace veska::platform
