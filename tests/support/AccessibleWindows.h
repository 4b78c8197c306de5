// An application's windows as a screen reader finds them on the accessibility bus.
#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

struct DBusConnection;

namespace veska::testing {

/// One top-level accessible object of an application.
struct AccessibleWindow {
    std::string role;  ///< the AT-SPI role name ("frame", "notification", …)
    std::string name;
    std::string description;
    bool showing = false;
};

/// Reads the top-level accessible objects of a process straight over D-Bus, on connections of
/// its own: it can run on any one thread, beside libatspi on another. Every call waits at most
/// `kCallTimeoutMs`; a process the bus does not list has no windows.
class AccessibleWindows {
public:
    static constexpr int kCallTimeoutMs = 2000;
    /// An object on the bus: its owner's name and its path.
    using Reference = std::pair<std::string, std::string>;

    /// `sessionBus`: the address of the session bus whose accessibility bus is read.
    explicit AccessibleWindows(std::string sessionBus);
    ~AccessibleWindows();
    AccessibleWindows(const AccessibleWindows&) = delete;
    AccessibleWindows& operator=(const AccessibleWindows&) = delete;

    /// The windows of `pid` now (empty when it has none or the bus cannot be read).
    [[nodiscard]] std::vector<AccessibleWindow> of(pid_t pid);
    /// The first of them with `role` that is showing; an empty one (no role) when none is.
    [[nodiscard]] AccessibleWindow showing(pid_t pid, const std::string& role);

private:
    DBusConnection* bus();
    /// The top-level objects of `pid`'s application.
    std::vector<Reference> windowsOf(pid_t pid);

    std::string sessionBus_;
    DBusConnection* bus_ = nullptr;
    std::map<pid_t, Reference> applications_;
};

}  // namespace veska::testing
