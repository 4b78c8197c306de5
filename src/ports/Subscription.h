// A handle that keeps a callback registered for as long as it lives.
#pragma once

#include <functional>
#include <utility>

namespace veska::ports {

/// Returned by ports that send notices. Destroying or resetting it unsubscribes; after that
/// the callback is not called again.
class Subscription {
public:
    Subscription() = default;
    explicit Subscription(std::function<void()> unsubscribe) : unsubscribe_(std::move(unsubscribe)) {}
    Subscription(Subscription&& other) noexcept : unsubscribe_(std::exchange(other.unsubscribe_, nullptr)) {}
    Subscription& operator=(Subscription&& other) noexcept {
        if (this != &other) {
            reset();
            unsubscribe_ = std::exchange(other.unsubscribe_, nullptr);
        }
        return *this;
    }
    Subscription(const Subscription&) = delete;
    Subscription& operator=(const Subscription&) = delete;
    ~Subscription() { reset(); }

    void reset() {
        if (auto unsubscribe = std::exchange(unsubscribe_, nullptr)) unsubscribe();
    }
    [[nodiscard]] bool active() const { return static_cast<bool>(unsubscribe_); }

private:
    std::function<void()> unsubscribe_;
};

}  // namespace veska::ports
