// Making sure a local core answers.
#include "core/app/EnsureCore.h"

#include <optional>
#include <utility>

#include "core/app/UserDefaults.h"
#include "runtime/Sleep.h"

namespace veska {

namespace {

/// Up to `rounds` times: sleep `delaySeconds`, then ask whether the dashboard is served.
rt::Task<bool> waitUntilReady(LocalCoreClient* client, int rounds, double delaySeconds) {
    for (int round = 0; round < rounds; ++round) {
        co_await rt::sleepFor(delaySeconds);
        const bool ready = co_await client->dashboardReady();
        if (ready) co_return true;
    }
    co_return false;
}

/// Launches `node cli serve` with PORT set; nothing when it cannot be launched.
std::unique_ptr<ports::Process> launchCore(ports::Processes& processes, const V2Config::CoreLaunch& launch,
                                           int port) {
    ports::ProcessLaunch process;
    process.executable = launch.nodePath;
    process.arguments = {launch.cliPath, "serve"};
    process.workingDirectory = launch.coreDir;
    process.environment["PORT"] = std::to_string(port);
    process.inheritEnvironment = true;
    process.output = ports::ProcessOutput::discard;
    process.errorOutput = ports::ProcessOutput::discard;
    // The core outlives this instance: nothing here ever stops it.
    process.detached = true;
    try {
        return processes.launch(std::move(process));
    } catch (const ports::ProcessError&) {
        return nullptr;
    }
}

}  // namespace

rt::Task<void> ensureCore(EnsureCoreContext context) {
    const bool answering = co_await context.client->dashboardReady();
    if (answering) {
        if (*context.coreSource == "none") *context.coreSource = "running";
        co_return;
    }
    std::unique_ptr<ports::Process>& coreProcess = *context.coreProcess;
    if (coreProcess && !coreProcess->isRunning()) coreProcess.reset();
    if (coreProcess) {
        const bool ready = co_await waitUntilReady(context.client, kStartingCoreRounds, kStartingCoreDelaySeconds);
        if (ready) co_return;
    }

    const std::optional<V2Config::CoreLaunch> launch =
        co_await V2Config::resolveCoreLaunch(context.host.mainBundle, context.host);
    if (!launch) {
        *context.coreSource = "none";
        co_return;
    }
    *context.coreSource = launch->source;
    const int port = V2Config::firstFreeLoopbackPort(*context.host.machine, kCorePortStart, kCorePortCount);
    const std::string url = "http://127.0.0.1:" + std::to_string(port);
    context.prefs->set(UserDefaults::kLocalCoreURL, url);
    context.client->baseURL = url;

    std::unique_ptr<ports::Process> started = launchCore(*context.host.processes, *launch, port);
    if (!started) {
        *context.coreSource = "none";
        co_return;
    }
    // The old process object, if any, is dropped without being signalled.
    coreProcess = std::move(started);
    co_await waitUntilReady(context.client, kNewCoreRounds, kNewCoreDelaySeconds);
}

}  // namespace veska
