// The login item: whether Veska starts when the user logs in.
#pragma once

#include <stdexcept>
#include <string>

namespace veska::ports {

enum class LoginItemStatus {
    enabled,           ///< Veska starts at login
    notRegistered,     ///< never registered, or unregistered
    requiresApproval,  ///< registered, waiting for the user's approval in the settings
    notFound,          ///< the service cannot find Veska's login item
};

/// A registration that failed; `what()` is the localised description shown to the user.
class LoginItemError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// The platform's login-item service for Veska itself. Used from the main executor; every
/// call acts at once.
class LoginItem {
public:
    virtual ~LoginItem() = default;
    [[nodiscard]] virtual LoginItemStatus status() const = 0;
    /// Throws `LoginItemError` when the item cannot be registered.
    virtual void registerItem() = 0;
    /// Throws `LoginItemError` when the item cannot be unregistered.
    virtual void unregisterItem() = 0;
};

}  // namespace veska::ports
