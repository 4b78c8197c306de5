// Making sure a local core answers: use the one running, or find one to start and wait for it.
#pragma once

#include <memory>
#include <string>

#include "core/app/CoreLaunch.h"
#include "core/app/LocalCoreClient.h"
#include "ports/Preferences.h"
#include "ports/Processes.h"
#include "runtime/Task.h"

namespace veska {

/// What `ensureCore` works with: the client, the user defaults (where the chosen address is
/// kept), the launch look-up's host, and the controller's two fields `coreProcess` and
/// `coreSource` ("none", "running", "bundled" or "dev"). Every pointer must outlive the task.
struct EnsureCoreContext {
    LocalCoreClient* client = nullptr;
    ports::Preferences* prefs = nullptr;
    V2Config::LaunchHost host;
    std::unique_ptr<ports::Process>* coreProcess = nullptr;
    std::string* coreSource = nullptr;
};

/// The first port tried for a core this instance starts, and how many ports are tried.
inline constexpr int kCorePortStart = 8797;
inline constexpr int kCorePortCount = 20;
/// Waiting for a core this instance started earlier: rounds and the sleep before each check.
inline constexpr int kStartingCoreRounds = 15;
inline constexpr double kStartingCoreDelaySeconds = 0.2;
/// Waiting for a core just launched.
inline constexpr int kNewCoreRounds = 40;
inline constexpr double kNewCoreDelaySeconds = 0.15;

/// Makes sure a core serves the dashboard. A core that already does is used as it is
/// ("running"); a core this instance is still starting gets about 3 s; otherwise a core is
/// looked up, started on the first free port from 8797 (its address stored in "localCoreURL"
/// and in the client) and given about 6 s to answer. Never throws (cancellation aside) and
/// reports nothing: a core that cannot be found or started leaves `coreSource` "none". A core
/// started here is never stopped here. Runs on the main executor.
rt::Task<void> ensureCore(EnsureCoreContext context);

}  // namespace veska
