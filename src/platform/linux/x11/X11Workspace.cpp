// Running applications, the frontmost one and activation, on an X desktop.
#include "platform/linux/x11/X11Workspace.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/linux/x11/X11Windows.h"

namespace veska::platform {

namespace {

/// The fields of /proc/PID/stat after the command name, which may itself hold spaces and
/// parentheses: the name ends at the last ")".
std::vector<std::string> statFields(std::int32_t pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(file, line)) return {};
    const std::size_t close = line.rfind(')');
    if (close == std::string::npos) return {};
    std::istringstream rest(line.substr(close + 1));
    std::vector<std::string> fields;
    for (std::string field; rest >> field;) fields.push_back(field);
    return fields;  // fields[0] is the state (field 3 of the file)
}

std::string executableOf(std::int32_t pid) {
    std::error_code error;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/exe", error);
    return error ? std::string() : exe.string();
}

ports::RunningApp appFor(const ClientWindow& window) {
    ports::RunningApp app;
    app.pid = window.pid;
    app.bundleIdentifier = window.windowClass.empty() ? window.instance : window.windowClass;
    app.localizedName = app.bundleIdentifier;
    app.executablePath = executableOf(window.pid);
    if (!app.executablePath.empty()) app.bundlePath = std::filesystem::path(app.executablePath).parent_path().string();
    return app;
}

}  // namespace

bool processRuns(std::int32_t pid) {
    if (pid <= 0) return false;
    const std::vector<std::string> fields = statFields(pid);
    return !fields.empty() && fields[0] != "Z" && fields[0] != "X";
}

unsigned long long processStartTicks(std::int32_t pid) {
    const std::vector<std::string> fields = statFields(pid);
    constexpr std::size_t kStartTimeIndex = 22 - 3;  // field 22, counted from field 3
    if (fields.size() <= kStartTimeIndex) return 0;
    try {
        return std::stoull(fields[kStartTimeIndex]);
    } catch (const std::exception&) {
        return 0;
    }
}

X11Workspace::X11Workspace(std::unique_ptr<X11Connection> connection) : x_(std::move(connection)) {}

std::vector<ports::RunningApp> X11Workspace::scan() const {
    std::vector<ports::RunningApp> apps;
    std::optional<ClientWindow> active = activeClientWindow(*x_);
    for (const ClientWindow& window : clientWindows(*x_)) {
        if (window.pid <= 0 || !processRuns(window.pid)) continue;
        auto existing = std::find_if(apps.begin(), apps.end(), [&](const auto& a) { return a.pid == window.pid; });
        if (existing == apps.end()) {
            apps.push_back(appFor(window));
            existing = apps.end() - 1;
        }
        if (active && active->window == window.window) existing->active = true;
    }
    if (active && active->pid > 0 && processRuns(active->pid) &&
        std::none_of(apps.begin(), apps.end(), [&](const auto& a) { return a.pid == active->pid; })) {
        ports::RunningApp app = appFor(*active);
        app.active = true;
        apps.push_back(std::move(app));
    }
    std::map<std::int32_t, unsigned long long> started;
    for (const ports::RunningApp& app : apps) started[app.pid] = processStartTicks(app.pid);
    std::sort(apps.begin(), apps.end(), [&](const auto& a, const auto& b) {
        return std::pair(started[a.pid], a.pid) < std::pair(started[b.pid], b.pid);
    });
    for (const ports::RunningApp& app : apps) seen_[app.pid] = app;
    return apps;
}

std::vector<ports::RunningApp> X11Workspace::runningApplications() const {
    return scan();
}

std::optional<ports::RunningApp> X11Workspace::frontmostApplication() const {
    const std::optional<ClientWindow> active = activeClientWindow(*x_);
    if (!active || active->pid <= 0 || !processRuns(active->pid)) return std::nullopt;
    ports::RunningApp app = appFor(*active);
    app.active = true;
    seen_[app.pid] = app;
    return app;
}

std::optional<ports::RunningApp> X11Workspace::application(std::int32_t pid) const {
    for (const ports::RunningApp& app : scan()) {
        if (app.pid == pid) return app;
    }
    auto it = seen_.find(pid);
    if (it == seen_.end()) return std::nullopt;
    ports::RunningApp gone = it->second;
    gone.active = false;
    gone.terminated = !processRuns(pid);
    if (!gone.terminated) return std::nullopt;  // still runs but shows no window any more
    return gone;
}

bool X11Workspace::activate(std::int32_t pid) {
    if (pid <= 0) return false;
    std::vector<ClientWindow> windows = clientWindows(*x_);
    // The topmost window of the process: the list is in stacking order, bottom first.
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        if (it->pid == pid) return activateWindow(*x_, it->window);
    }
    return false;
}

std::int32_t X11Workspace::ownProcessId() const {
    return static_cast<std::int32_t>(::getpid());
}

bool X11Workspace::fileExists(const std::string& path) const {
    std::error_code error;
    return std::filesystem::exists(path, error);
}

}  // namespace veska::platform
