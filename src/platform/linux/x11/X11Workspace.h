// Running applications, the frontmost one and activation, on an X desktop.
#pragma once

#include <map>
#include <memory>

#include "platform/linux/x11/X11Connection.h"
#include "ports/Workspace.h"

namespace veska::platform {

/// An application is a process with at least one top-level window: its WM_CLASS class is the
/// bundle identifier, its executable comes from /proc, its folder is the bundle path.
/// Applications are listed in the order their processes started. A process seen once is
/// remembered, so that `application(pid)` still answers (with `terminated`) after it quit.
/// Synchronous; one executor at a time.
class X11Workspace : public ports::Workspace {
public:
    explicit X11Workspace(std::unique_ptr<X11Connection> connection);

    [[nodiscard]] std::vector<ports::RunningApp> runningApplications() const override;
    [[nodiscard]] std::optional<ports::RunningApp> frontmostApplication() const override;
    [[nodiscard]] std::optional<ports::RunningApp> application(std::int32_t pid) const override;
    bool activate(std::int32_t pid) override;
    [[nodiscard]] std::int32_t ownProcessId() const override;
    [[nodiscard]] bool fileExists(const std::string& path) const override;

private:
    [[nodiscard]] std::vector<ports::RunningApp> scan() const;

    std::unique_ptr<X11Connection> x_;
    mutable std::map<std::int32_t, ports::RunningApp> seen_;
};

/// Whether process `pid` still runs (its /proc entry exists and it is not a zombie).
[[nodiscard]] bool processRuns(std::int32_t pid);
/// The start time of a process in clock ticks since boot (field 22 of /proc/PID/stat); 0 when
/// unknown.
[[nodiscard]] unsigned long long processStartTicks(std::int32_t pid);

}  // namespace veska::platform
