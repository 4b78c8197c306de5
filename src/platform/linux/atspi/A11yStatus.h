// Whether the desktop's accessibility bus is switched on, read and written on the session bus.
#pragma once

#include <optional>

struct DBusConnection;

namespace veska::platform {

/// The `IsEnabled` property of `org.a11y.Status` on the session bus, which tells toolkits
/// whether to expose their interfaces (Qt applications started later follow it; GTK ones
/// register whatever it says). Holds a private session-bus connection, opened at the first
/// call and again after it broke; every call waits at most `kCallTimeoutMs`. One thread at a
/// time.
class A11yStatus {
public:
    static constexpr int kCallTimeoutMs = 500;

    A11yStatus() = default;
    A11yStatus(const A11yStatus&) = delete;
    A11yStatus& operator=(const A11yStatus&) = delete;
    ~A11yStatus();

    /// The property now; none when there is no session bus or no accessibility bus launcher.
    [[nodiscard]] std::optional<bool> isEnabled();
    /// Switches it for the session; false when the launcher could not be told.
    bool setEnabled(bool enabled);

private:
    DBusConnection* connection();
    void drop();

    DBusConnection* connection_ = nullptr;
};

}  // namespace veska::platform
