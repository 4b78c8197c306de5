// Keys posted by Veska into the simulated desktop, and the automation service's route.
#pragma once

#include <cstdint>

#include "platform/sim/SimKeyboard.h"
#include "platform/sim/SimPermissions.h"
#include "platform/sim/SimTrace.h"
#include "platform/sim/SimWorkspace.h"
#include "ports/KeyPoster.h"

namespace veska::sim {

/// Posts keys through the simulated keyboard with Veska's process id as their source. Without
/// the input-monitoring permission posted keys are dropped silently (traced as dropped). The
/// automation route types with the automation service's own process id, so taps see those
/// keys as someone else's. Lives on the loop's thread.
class SimKeyPoster final : public ports::KeyPoster {
public:
    /// Process id of the simulated automation service.
    static constexpr std::int32_t kAutomationPid = 90;

    SimKeyPoster(SimKeyboard& keyboard, SimWorkspace& workspace, SimPermissions& permissions, SimTrace& trace)
        : keyboard_(keyboard), workspace_(workspace), permissions_(permissions), trace_(trace) {}

    /// Events cannot be made: post() answers false and posts nothing.
    void setEventsFail(bool fail) { eventsFail_ = fail; }
    /// The automation service is missing or refused (postViaAutomation answers false).
    void setAutomationAvailable(bool available) { automationAvailable_ = available; }
    [[nodiscard]] int automationRuns() const { return automationRuns_; }

    [[nodiscard]] bool canPost() const override;
    bool post(const std::vector<ports::SyntheticKey>& keys) override;
    bool postViaAutomation(const std::vector<ports::SyntheticKey>& keys) override;
    [[nodiscard]] ports::KeyFlags heldModifiers() const override { return keyboard_.heldFlags(); }

private:
    void send(const ports::SyntheticKey& key, std::int32_t sourcePid);

    SimKeyboard& keyboard_;
    SimWorkspace& workspace_;
    SimPermissions& permissions_;
    SimTrace& trace_;
    bool eventsFail_ = false;
    bool automationAvailable_ = true;
    int automationRuns_ = 0;
};

}  // namespace veska::sim
