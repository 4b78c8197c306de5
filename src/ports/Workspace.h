// Running applications, the frontmost one, activation, and Veska's own process.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace veska::ports {

/// A snapshot of one running (or quit) application.
struct RunningApp {
    std::int32_t pid = 0;
    /// Reverse-DNS identifier ("com.apple.TextEdit"); on Linux the window class. May be empty.
    std::string bundleIdentifier{};
    std::string localizedName{};
    /// The application's bundle or install directory; empty when unknown.
    std::string bundlePath{};
    std::string executablePath{};
    /// In front, receiving keys.
    bool active = false;
    bool terminated = false;

    friend bool operator==(const RunningApp&, const RunningApp&) = default;
};

/// The desktop's applications. Synchronous; used from one executor at a time.
class Workspace {
public:
    virtual ~Workspace() = default;

    /// Every application that runs now, in launch order.
    [[nodiscard]] virtual std::vector<RunningApp> runningApplications() const = 0;
    /// The application that receives keys now, if any.
    [[nodiscard]] virtual std::optional<RunningApp> frontmostApplication() const = 0;
    /// The application with this process id; a quit application is still reported, with
    /// `terminated` set, for as long as the workspace remembers it.
    [[nodiscard]] virtual std::optional<RunningApp> application(std::int32_t pid) const = 0;
    /// Asks for the application to come to the front. True when the request was accepted; the
    /// switch itself may complete later, so callers poll `frontmostApplication`.
    virtual bool activate(std::int32_t pid) = 0;
    [[nodiscard]] virtual std::int32_t ownProcessId() const = 0;
    /// Whether a file or directory exists at `path` (used to look inside application bundles).
    [[nodiscard]] virtual bool fileExists(const std::string& path) const = 0;
};

}  // namespace veska::ports
