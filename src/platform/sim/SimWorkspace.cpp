// Simulated running applications.
#include "platform/sim/SimWorkspace.h"

#include <algorithm>

#include "runtime/Check.h"

namespace veska::sim {

SimWorkspace::SimWorkspace(rt::Executor& executor, SimTrace& trace, std::int32_t ownPid)
    : executor_(executor), trace_(trace), ownPid_(ownPid) {}

std::int32_t SimWorkspace::launch(SimAppSpec desc) {
    std::int32_t pid = desc.pid;
    if (pid == 0) {
        while (apps_.contains(nextPid_) || nextPid_ == ownPid_) ++nextPid_;
        pid = nextPid_++;
    }
    VESKA_CHECK(pid > 0, "process ids are positive");
    VESKA_CHECK(!apps_.contains(pid), "two applications with one process id");
    desc.pid = pid;
    SimApp app;
    app.info.pid = pid;
    app.info.bundleIdentifier = desc.bundleIdentifier;
    app.info.localizedName = desc.localizedName;
    app.info.bundlePath = desc.bundlePath;
    app.info.executablePath = desc.executablePath;
    app.desc = std::move(desc);
    apps_.emplace(pid, std::move(app));
    launchOrder_.push_back(pid);
    return pid;
}

void SimWorkspace::setFront(std::int32_t pid) {
    if (front_ == pid) return;
    front_ = pid;
    if (pid != 0) trace_.add({.kind = TraceKind::activated, .pid = pid});
}

void SimWorkspace::bringToFront(std::int32_t pid) {
    VESKA_CHECK(isRunning(pid), "bringing a missing application to the front");
    setFront(pid);
}

void SimWorkspace::clearFront() { setFront(0); }

void SimWorkspace::quit(std::int32_t pid) {
    auto it = apps_.find(pid);
    if (it == apps_.end()) return;
    it->second.info.terminated = true;
    if (front_ == pid) front_ = 0;
}

const SimApp* SimWorkspace::find(std::int32_t pid) const {
    auto it = apps_.find(pid);
    return it == apps_.end() ? nullptr : &it->second;
}

bool SimWorkspace::isRunning(std::int32_t pid) const {
    const SimApp* app = find(pid);
    return app != nullptr && !app->info.terminated;
}

int SimWorkspace::activationRequests(std::int32_t pid) const {
    auto it = activationRequests_.find(pid);
    return it == activationRequests_.end() ? 0 : it->second;
}

ports::RunningApp SimWorkspace::snapshot(const SimApp& app) const {
    ports::RunningApp out = app.info;
    out.active = !out.terminated && out.pid == front_;
    return out;
}

std::vector<ports::RunningApp> SimWorkspace::runningApplications() const {
    std::vector<ports::RunningApp> out;
    for (std::int32_t pid : launchOrder_) {
        const SimApp& app = apps_.at(pid);
        if (!app.info.terminated) out.push_back(snapshot(app));
    }
    return out;
}

std::optional<ports::RunningApp> SimWorkspace::frontmostApplication() const {
    if (front_ == 0) return std::nullopt;
    return snapshot(apps_.at(front_));
}

std::optional<ports::RunningApp> SimWorkspace::application(std::int32_t pid) const {
    const SimApp* app = find(pid);
    if (app == nullptr) return std::nullopt;
    return snapshot(*app);
}

bool SimWorkspace::activate(std::int32_t pid) {
    ++activationRequests_[pid];
    const SimApp* app = find(pid);
    if (app == nullptr || app->info.terminated || app->desc.refusesActivation) return false;
    if (app->desc.activationDelaySeconds <= 0) {
        setFront(pid);
        return true;
    }
    std::erase_if(pendingActivations_, [](const rt::Timer& timer) { return !timer.pending(); });
    pendingActivations_.push_back(executor_.postAfter(app->desc.activationDelaySeconds, [this, pid] {
        if (isRunning(pid)) setFront(pid);
    }));
    return true;
}

bool SimWorkspace::fileExists(const std::string& path) const {
    if (path.empty()) return false;
    auto existsUnder = [&](const std::string& full) {
        // A registered path makes every directory above it exist too.
        return full == path || (full.size() > path.size() && full.compare(0, path.size(), path) == 0 &&
                                full[path.size()] == '/');
    };
    for (const auto& file : files_) {
        if (existsUnder(file)) return true;
    }
    for (const auto& [pid, app] : apps_) {
        const std::string& bundle = app.info.bundlePath;
        if (bundle.empty()) continue;
        if (existsUnder(bundle)) return true;
        for (const auto& relative : app.desc.bundleFiles) {
            if (existsUnder(bundle + "/" + relative)) return true;
        }
    }
    return false;
}

}  // namespace veska::sim
