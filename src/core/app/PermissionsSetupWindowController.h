// The permissions window: which of the three permissions Veska has, refreshed every second
// while it is shown, with a button per missing one.
#pragma once

#include "core/app/AppCollaborators.h"
#include "core/app/PermissionsSetupView.h"
#include "core/desktop/SelectionService.h"
#include "ports/Permissions.h"
#include "runtime/Executor.h"
#include "runtime/Spawn.h"

namespace veska {

/// Reads the microphone, Accessibility (without asking) and Input Monitoring, shows them in
/// `view` and polls them every `kPollSeconds` from `show` until the window closes. Main
/// executor; everything given outlives it. Its tasks live in its scope.
class PermissionsSetupWindowController final : public PermissionsWindow {
public:
    static constexpr double kPollSeconds = 1.0;
    static constexpr int kPermissionCount = 3;

    /// The three permissions at one moment.
    using Snapshot = PermissionsSnapshot;

    struct Services {
        rt::Executor& main;
        ports::Permissions& permissions;
        SelectionService& selection;
        MicRecorder& mic;
    };

    PermissionsSetupWindowController(Services services, PermissionsSetupView& view);
    PermissionsSetupWindowController(const PermissionsSetupWindowController&) = delete;
    PermissionsSetupWindowController& operator=(const PermissionsSetupWindowController&) = delete;
    ~PermissionsSetupWindowController() override;

    /// Without `force` and with every permission granted: `onAllGranted` and no window.
    /// Otherwise shows the window, polls, and asks again for what is missing.
    void show(bool force) override;
    /// Stops polling and takes the window off screen.
    void close() override;

    [[nodiscard]] Snapshot snapshot();
    /// What the window shows for `snapshot`, in the interface language.
    [[nodiscard]] static PermissionsSetupContent content(const Snapshot& snapshot);
    [[nodiscard]] bool polling() const { return polling_; }
    [[nodiscard]] bool shown() const { return shown_; }

private:
    void refreshUI();
    void startPolling();
    void stopPolling();
    void openSettings(int step);
    rt::Task<void> openMic();
    rt::Task<void> openAX();
    rt::Task<void> askAccessibility();
    void recheck();
    void doneTapped();

    Services services_;
    PermissionsSetupView& view_;
    rt::Timer pollTimer_;
    bool polling_ = false;
    bool shown_ = false;
    rt::Scope scope_;  // last: its tasks end before the fields they use
};

}  // namespace veska
