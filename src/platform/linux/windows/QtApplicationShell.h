// The application object on Qt: an accessory that lives in the tray, and its end.
#pragma once

#include "core/app/AppCollaborators.h"

namespace veska::platform {

/// Veska has no main window and no taskbar entry: its windows are tool and dialog windows, and
/// the last one closing does not end the process. `terminate` leaves the event loop. The text
/// services and update notices of other systems have no counterpart in this version. GUI
/// thread, after the application object.
class QtApplicationShell final : public ApplicationShell {
public:
    /// `exitCode`: what the event loop returns after `terminate`.
    explicit QtApplicationShell(int exitCode = 0) : exitCode_(exitCode) {}

    void setAccessory() override;
    void provideServices() override {}
    void installNotificationDelegate() override {}
    void terminate() override;

    [[nodiscard]] bool accessory() const { return accessory_; }

private:
    int exitCode_;
    bool accessory_ = false;
};

}  // namespace veska::platform
