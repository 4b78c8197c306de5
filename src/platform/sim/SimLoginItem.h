// The login item in memory: a status, and failures on demand.
#pragma once

#include <optional>
#include <string>

#include "ports/LoginItem.h"

namespace veska::sim {

/// Starts `notRegistered`. Registering enables, unregistering disables, unless a failure was
/// armed: then the call throws it and the status stays.
class SimLoginItem final : public ports::LoginItem {
public:
    [[nodiscard]] ports::LoginItemStatus status() const override { return status_; }
    void registerItem() override;
    void unregisterItem() override;

    void setStatus(ports::LoginItemStatus status) { status_ = status; }
    /// The next calls throw `LoginItemError(message)`; nothing: they succeed again.
    void failWith(std::optional<std::string> message) { failure_ = std::move(message); }
    [[nodiscard]] int registrations() const { return registrations_; }
    [[nodiscard]] int unregistrations() const { return unregistrations_; }

private:
    ports::LoginItemStatus status_ = ports::LoginItemStatus::notRegistered;
    std::optional<std::string> failure_;
    int registrations_ = 0;
    int unregistrations_ = 0;
};

}  // namespace veska::sim
