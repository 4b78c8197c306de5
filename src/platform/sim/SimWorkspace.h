// Simulated running applications: launch, front, activation delays, quitting.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/sim/SimTrace.h"
#include "ports/KeyCodes.h"
#include "ports/Workspace.h"
#include "runtime/Executor.h"

namespace veska::sim {

/// How to make one simulated application.
struct SimAppSpec {
    /// 0 picks the next free process id.
    std::int32_t pid = 0;
    std::string bundleIdentifier{};
    std::string localizedName{};
    std::string bundlePath{};
    std::string executablePath{};
    /// Paths inside the bundle that exist ("Contents/Frameworks/Electron Framework.framework").
    std::vector<std::string> bundleFiles{};
    /// Virtual seconds between an activation request and the application being in front.
    double activationDelaySeconds = 0;
    /// Activation requests are refused (activate() answers false).
    bool refusesActivation = false;
    /// Virtual seconds the application takes to act on each key it receives (keys are handled
    /// in order; a paste reads the pasteboard when it is handled, not when it was posted).
    double keyDelaySeconds = 0;
    /// The modifier word that makes V paste and C copy (Command; a terminal may want
    /// Command+Shift).
    ports::KeyFlags shortcutFlags = ports::flags::kCommand;
};

struct SimApp {
    ports::RunningApp info;
    SimAppSpec desc;
};

/// The applications of the simulated desktop and which one is in front. Veska's own process
/// is an application like the others (usually in the background). Lives on the loop's thread.
class SimWorkspace final : public ports::Workspace {
public:
    SimWorkspace(rt::Executor& executor, SimTrace& trace, std::int32_t ownPid);

    /// Starts an application (in the background); returns its process id.
    std::int32_t launch(SimAppSpec desc);
    /// The user brings an application to the front (at once, no request).
    void bringToFront(std::int32_t pid);
    /// No application in front (the desktop itself has focus).
    void clearFront();
    /// The application quits; it stays known, terminated.
    void quit(std::int32_t pid);
    /// Adds a file that exists outside any bundle.
    void addFile(const std::string& path) { files_.insert(path); }

    [[nodiscard]] const SimApp* find(std::int32_t pid) const;
    [[nodiscard]] bool isRunning(std::int32_t pid) const;
    /// The process id in front, or 0.
    [[nodiscard]] std::int32_t frontmostPid() const { return front_; }
    [[nodiscard]] int activationRequests(std::int32_t pid) const;

    [[nodiscard]] std::vector<ports::RunningApp> runningApplications() const override;
    [[nodiscard]] std::optional<ports::RunningApp> frontmostApplication() const override;
    [[nodiscard]] std::optional<ports::RunningApp> application(std::int32_t pid) const override;
    bool activate(std::int32_t pid) override;
    [[nodiscard]] std::int32_t ownProcessId() const override { return ownPid_; }
    [[nodiscard]] bool fileExists(const std::string& path) const override;

private:
    void setFront(std::int32_t pid);
    [[nodiscard]] ports::RunningApp snapshot(const SimApp& app) const;

    rt::Executor& executor_;
    SimTrace& trace_;
    std::int32_t ownPid_;
    std::int32_t nextPid_ = 1000;
    std::int32_t front_ = 0;
    std::vector<std::int32_t> launchOrder_;
    std::map<std::int32_t, SimApp> apps_;
    std::map<std::int32_t, int> activationRequests_;
    std::set<std::string> files_;
    std::vector<rt::Timer> pendingActivations_;
};

}  // namespace veska::sim
