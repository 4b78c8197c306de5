// The system permissions Veska needs: microphone, accessibility, input monitoring, screen.
#pragma once

#include <string_view>

#include "runtime/Task.h"

namespace veska::ports {

enum class Permission { microphone, accessibility, inputMonitoring, screenRecording };

enum class PermissionStatus {
    granted,
    denied,
    /// Never asked yet (the first request shows the system's question).
    notDetermined,
};

std::string_view permissionName(Permission permission);

/// Reads and asks for permissions. Used from the main executor.
class Permissions {
public:
    virtual ~Permissions() = default;

    /// The state now; asked afresh at each call (the user may change it at any time).
    [[nodiscard]] virtual PermissionStatus status(Permission permission) const = 0;
    [[nodiscard]] bool granted(Permission permission) const {
        return status(permission) == PermissionStatus::granted;
    }
    /// Asks the user (a system question, or enabling the service for the session) and
    /// finishes with whether the permission is granted once the question is answered.
    /// A permission the user must grant in the settings finishes at once with the state now.
    virtual rt::Task<bool> request(Permission permission) = 0;
    /// Shows the place where the user grants this permission.
    virtual void openSettings(Permission permission) = 0;
    /// Finishes once `status` answers from a finished check for every permission. Where a state
    /// is learnt asynchronously (on X11 the microphone counts as granted once a capture device
    /// opens) `status` says `notDetermined` until then; the adapter bounds the wait, so this
    /// always finishes. At once where every state is read directly.
    virtual rt::Task<void> settled() { co_return; }
};

}  // namespace veska::ports
