// The count of keys Veska itself posted, shared by the key poster and the key source.
#pragma once

#include <atomic>
#include <cstdint>

namespace veska::platform {

/// XTest keys all come from one device, whoever sent them. The poster counts the transitions
/// it sends; the key source claims one count for each XTest key it sees, and a key with a
/// count to claim is Veska's own. Keys another program sends through XTest while none is
/// pending are reported as that program's (process id unknown).
class SyntheticKeyLedger {
public:
    void posted(std::uint64_t count) { posted_.fetch_add(count, std::memory_order_relaxed); }

    /// True when an XTest key seen now is one of Veska's own.
    bool claim() {
        std::uint64_t claimed = claimed_.load(std::memory_order_relaxed);
        while (claimed < posted_.load(std::memory_order_relaxed)) {
            if (claimed_.compare_exchange_weak(claimed, claimed + 1, std::memory_order_relaxed)) return true;
        }
        return false;
    }

    [[nodiscard]] std::uint64_t postedCount() const { return posted_.load(std::memory_order_relaxed); }

private:
    std::atomic<std::uint64_t> posted_{0};
    std::atomic<std::uint64_t> claimed_{0};
};

}  // namespace veska::platform
