// Posting keys into the simulated desktop.
#include "platform/sim/SimKeyPoster.h"

namespace veska::sim {

bool SimKeyPoster::canPost() const { return permissions_.granted(ports::Permission::inputMonitoring); }

void SimKeyPoster::send(const ports::SyntheticKey& key, std::int32_t sourcePid) {
    trace_.add({.kind = TraceKind::keyPosted, .pid = workspace_.frontmostPid(), .keyCode = key.keyCode,
                .flags = key.flags, .down = key.down});
    keyboard_.deliverPosted(key, sourcePid);
}

bool SimKeyPoster::post(const std::vector<ports::SyntheticKey>& keys) {
    if (eventsFail_) return false;
    for (const auto& key : keys) {
        if (!canPost()) {
            trace_.add({.kind = TraceKind::keyPostDropped, .pid = workspace_.frontmostPid(), .keyCode = key.keyCode,
                        .flags = key.flags, .down = key.down});
            continue;
        }
        send(key, workspace_.ownProcessId());
    }
    return true;
}

bool SimKeyPoster::postViaAutomation(const std::vector<ports::SyntheticKey>& keys) {
    if (!automationAvailable_) return false;
    ++automationRuns_;
    for (const auto& key : keys) send(key, kAutomationPid);
    return true;
}

}  // namespace veska::sim
