// A private desktop with accessibility for the AT-SPI tests: Xvfb, a session bus, the
// accessibility bus launcher and registry, all started here and stopped by pid.
#pragma once

#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "integration/atspi/Spawned.h"
#include "platform/linux/atspi/A11yStatus.h"
#include "support/TempDir.h"

namespace veska::testing {

/// One per test process (libatspi connects once per process): `AtspiDesktop::get()` starts it
/// at the first use and it lives until the process ends. `missing()` names what could not be
/// started, for the test to skip with.
class AtspiDesktop {
public:
    static constexpr const char* kBusLauncher = "/usr/libexec/at-spi-bus-launcher";
    static constexpr const char* kRegistry = "/usr/libexec/at-spi2-registryd";

    static AtspiDesktop& get() {
        static AtspiDesktop desktop;  // stopped when the process ends
        return desktop;
    }

    [[nodiscard]] const std::string& missing() const { return missing_; }
    [[nodiscard]] const std::string& display() const { return display_; }
    /// Switches the session's accessibility on or off and waits until the launcher says so.
    bool setEnabled(bool enabled) {
        if (!status_.setEnabled(enabled)) return false;
        return status_.isEnabled() == enabled;
    }

    /// Polls `done` every 10 ms for up to `seconds`.
    template <class Pred>
    static bool waitFor(Pred done, double seconds = 5) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (std::chrono::steady_clock::now() < until) {
            if (done()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return done();
    }

    AtspiDesktop(const AtspiDesktop&) = delete;
    AtspiDesktop& operator=(const AtspiDesktop&) = delete;
    ~AtspiDesktop() = default;

private:
    AtspiDesktop() {
        for (const char* program : {"Xvfb", "dbus-daemon", kBusLauncher, kRegistry}) {
            if (!programExists(program)) {
                missing_ = std::string(program) + " is not installed (scripts/setup installs it)";
                return;
            }
        }
        if (!startXvfb()) {
            missing_ = "Xvfb did not start";
            return;
        }
        ::chmod(runtime_.path().c_str(), 0700);
        ::setenv("DISPLAY", display_.c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", runtime_.path().c_str(), 1);
        ::unsetenv("AT_SPI_BUS_ADDRESS");
        ::unsetenv("NO_AT_BRIDGE");
        ::setenv("GTK_A11Y", "atspi", 1);
        if (!startSessionBus()) {
            missing_ = "the session bus did not start";
            return;
        }
        launcher_ = Spawned({kBusLauncher, "--launch-immediately"});
        if (!waitFor([&] { return status_.isEnabled().has_value(); })) {
            missing_ = "the accessibility bus launcher did not answer";
            return;
        }
        registry_ = Spawned({kRegistry});
        status_.setEnabled(true);
    }

    /// Its own server, which stays up while clients come and go (the bus launcher is one).
    bool startXvfb() {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) return false;
        xvfb_ = Spawned(
            {"Xvfb", "-displayfd", "1", "-screen", "0", "1280x800x24", "-nolisten", "tcp", "-noreset"},
            {.stdinFrom = -1, .stdoutTo = fds[1]});
        ::close(fds[1]);
        std::string number;
        char c = 0;
        while (::read(fds[0], &c, 1) == 1 && c != '\n') number.push_back(c);
        ::close(fds[0]);
        if (number.empty()) return false;
        display_ = ":" + number;
        return true;
    }

    bool startSessionBus() {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) return false;
        bus_ = Spawned({"dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address=1"},
                       {.stdinFrom = -1, .stdoutTo = fds[1]});
        ::close(fds[1]);
        std::string address;
        char c = 0;
        while (::read(fds[0], &c, 1) == 1 && c != '\n') address.push_back(c);
        ::close(fds[0]);
        if (address.empty()) return false;
        ::setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
        return true;
    }

    std::string missing_;
    TempDir runtime_;
    Spawned xvfb_;
    std::string display_;
    Spawned bus_;
    Spawned launcher_;
    Spawned registry_;
    platform::A11yStatus status_;
};

}  // namespace veska::testing
