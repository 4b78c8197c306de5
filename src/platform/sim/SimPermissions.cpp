// Simulated permissions.
#include "platform/sim/SimPermissions.h"

#include <algorithm>
#include <string>

#include "runtime/Sleep.h"

namespace veska::sim {

using ports::Permission;
using ports::PermissionStatus;

void SimPermissions::set(Permission permission, PermissionStatus status) { slot(permission).status = status; }

void SimPermissions::answerRequests(Permission permission, PermissionAnswer answer, double answerDelaySeconds) {
    Slot& s = slot(permission);
    s.answer = answer;
    s.answerDelaySeconds = answerDelaySeconds < 0 ? 0 : answerDelaySeconds;
}

void SimPermissions::learnAfter(Permission permission, PermissionStatus status, double seconds) {
    Slot& s = slot(permission);
    s.status = status;
    s.knownAt = executor_.now() + (seconds < 0 ? 0 : seconds);
}

PermissionStatus SimPermissions::status(Permission permission) const {
    const Slot& s = slot(permission);
    if (executor_.now() < s.knownAt) return PermissionStatus::notDetermined;
    return s.status;
}

rt::Task<void> SimPermissions::settled() {
    double last = 0;
    for (const Slot& s : slots_) last = std::max(last, s.knownAt);
    if (last > executor_.now()) co_await rt::sleepFor(last - executor_.now());
}

void SimPermissions::applyAnswer(Permission permission) {
    Slot& s = slot(permission);
    if (s.answer == PermissionAnswer::grant) s.status = PermissionStatus::granted;
    if (s.answer == PermissionAnswer::deny) s.status = PermissionStatus::denied;
}

void SimPermissions::noteRequest(Permission permission) {
    ++slot(permission).requests;
    trace_.add({.kind = TraceKind::permissionRequested, .detail = std::string(ports::permissionName(permission))});
}

rt::Task<bool> SimPermissions::request(Permission permission) {
    if (permission != Permission::microphone) co_return ask(permission);
    noteRequest(permission);
    const Slot& s = slot(permission);
    if (s.status == PermissionStatus::granted) co_return true;
    // The system asks only once; a refused microphone stays refused without a question.
    if (s.status == PermissionStatus::denied) co_return false;
    if (s.answerDelaySeconds > 0) co_await rt::sleepFor(s.answerDelaySeconds);
    applyAnswer(permission);
    co_return slot(permission).status == PermissionStatus::granted;
}

bool SimPermissions::ask(Permission permission) {
    noteRequest(permission);
    Slot& s = slot(permission);
    if (s.status == PermissionStatus::granted) return true;
    std::erase_if(pendingAnswers_, [](const rt::Timer& timer) { return !timer.pending(); });
    if (s.answer != PermissionAnswer::unchanged) {
        pendingAnswers_.push_back(executor_.postAfter(s.answerDelaySeconds, [this, permission] { applyAnswer(permission); }));
    }
    return false;
}

void SimPermissions::openSettings(Permission permission) {
    ++slot(permission).settingsOpened;
    trace_.add({.kind = TraceKind::settingsOpened, .detail = std::string(ports::permissionName(permission))});
}

}  // namespace veska::sim
