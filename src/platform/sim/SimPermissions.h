// Simulated permission switches, and what the simulated user answers when asked.
#pragma once

#include <array>
#include <vector>

#include "platform/sim/SimTrace.h"
#include "ports/Permissions.h"
#include "runtime/Executor.h"

namespace veska::sim {

/// What the simulated user does when Veska asks for a permission.
enum class PermissionAnswer {
    unchanged,  // ignores the question
    grant,
    deny,
};

/// Every permission starts granted. A microphone request waits for the user's answer; the
/// others (granted in the settings) finish at once with the state then, and the answer takes
/// effect `answerDelaySeconds` later. Lives on the loop's thread.
class SimPermissions final : public ports::Permissions {
public:
    SimPermissions(rt::Executor& executor, SimTrace& trace) : executor_(executor), trace_(trace) {}

    void set(ports::Permission permission, ports::PermissionStatus status);
    void setGranted(ports::Permission permission, bool granted) {
        set(permission, granted ? ports::PermissionStatus::granted : ports::PermissionStatus::denied);
    }
    /// How the user answers the next requests for `permission`, and after how long.
    void answerRequests(ports::Permission permission, PermissionAnswer answer, double answerDelaySeconds = 0);
    [[nodiscard]] int requestCount(ports::Permission permission) const { return slot(permission).requests; }
    [[nodiscard]] int settingsOpenedCount(ports::Permission permission) const { return slot(permission).settingsOpened; }

    /// Shows the system's question for a permission granted in the settings (accessibility,
    /// input monitoring, screen recording): counted as a request; the scripted answer comes
    /// later. Returns whether the permission is granted now.
    bool ask(ports::Permission permission);

    /// A state learnt asynchronously: `status` says `notDetermined` until `seconds` have passed
    /// on the executor's clock, then `status`; `settled` waits until then.
    void learnAfter(ports::Permission permission, ports::PermissionStatus status, double seconds);

    [[nodiscard]] ports::PermissionStatus status(ports::Permission permission) const override;
    rt::Task<bool> request(ports::Permission permission) override;
    void openSettings(ports::Permission permission) override;
    rt::Task<void> settled() override;

private:
    struct Slot {
        ports::PermissionStatus status = ports::PermissionStatus::granted;
        PermissionAnswer answer = PermissionAnswer::unchanged;
        double answerDelaySeconds = 0;
        int requests = 0;
        int settingsOpened = 0;
        /// Until when (the executor's clock) the state is still being learnt.
        double knownAt = 0;
    };
    Slot& slot(ports::Permission permission) { return slots_.at(static_cast<std::size_t>(permission)); }
    [[nodiscard]] const Slot& slot(ports::Permission permission) const {
        return slots_.at(static_cast<std::size_t>(permission));
    }
    void applyAnswer(ports::Permission permission);
    void noteRequest(ports::Permission permission);

    rt::Executor& executor_;
    SimTrace& trace_;
    std::array<Slot, 4> slots_{};
    std::vector<rt::Timer> pendingAnswers_;
};

}  // namespace veska::sim
