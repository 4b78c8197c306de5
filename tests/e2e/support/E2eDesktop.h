// A private desktop for running Veska end to end: X server, session bus, accessibility bus,
// tray host, sound server with a microphone the test speaks into, and the voice stream fake.
#pragma once

#include <X11/Xlib.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "e2e/support/Launched.h"
#include "support/TempDir.h"

namespace veska::testing {
class PipeMicDaemon;
class FakeService;
}  // namespace veska::testing

namespace veska::e2e {

struct DesktopOptions {
    int width = 1280;
    int height = 800;
    /// `trayer`, an XEmbed tray host, on the top edge.
    bool tray = true;
    /// A PulseAudio daemon whose default source is a microphone fed by the test.
    bool sound = true;
    /// The Claude voice stream fake (tests/fakes/claude-voice).
    bool voiceFake = true;
};

/// Everything is started by the constructor, in this process's name (DISPLAY,
/// DBUS_SESSION_BUS_ADDRESS and XDG_RUNTIME_DIR of this process point at it, for libatspi),
/// and stopped by pid in reverse order by the destructor. `missing()` names what could not be
/// started (a test skips with it). One per process: libatspi connects to one bus per process.
class E2eDesktop {
public:
    explicit E2eDesktop(DesktopOptions options = {});
    ~E2eDesktop();
    E2eDesktop(const E2eDesktop&) = delete;
    E2eDesktop& operator=(const E2eDesktop&) = delete;

    [[nodiscard]] const std::string& missing() const { return missing_; }
    [[nodiscard]] const std::string& display() const { return display_; }
    [[nodiscard]] const std::filesystem::path& runtimeDir() const { return runtime_.path(); }
    /// This process's connection to the server (for screenshots and window queries).
    [[nodiscard]] Display* x() const { return x_; }
    /// The environment a program on this desktop needs: display, buses, runtime directory,
    /// sound server, PATH, locale; nothing of this process's own environment besides PATH.
    [[nodiscard]] Environment environment() const;
    /// The microphone; null without sound.
    [[nodiscard]] testing::PipeMicDaemon* mic() const { return mic_.get(); }
    /// The voice stream fake; null without it.
    [[nodiscard]] testing::FakeService* voice() const { return voice_.get(); }
    /// The tray host's top-level window; 0 without it.
    [[nodiscard]] Window trayWindow() const { return trayWindow_; }
    /// The tray host's process; 0 without it.
    [[nodiscard]] pid_t trayPid() const { return tray_.pid(); }

    /// Polls `done` every `stepMs` until it holds or `seconds` pass; gives its last answer.
    template <class Pred>
    static bool waitFor(Pred done, double seconds = 10, int stepMs = 10) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (std::chrono::steady_clock::now() < until) {
            if (done()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(stepMs));
        }
        return done();
    }

private:
    bool startServer(const DesktopOptions& options);
    bool startBuses();
    bool startTray();
    std::string readLine(Launched& into, const LaunchPlan& plan);

    std::string missing_;
    testing::TempDir runtime_;
    Launched xvfb_;
    std::string display_;
    Display* x_ = nullptr;
    Launched bus_;
    std::string busAddress_;
    Launched launcher_;
    Launched registry_;
    Launched tray_;
    Window trayWindow_ = 0;
    std::unique_ptr<testing::PipeMicDaemon> mic_;
    std::unique_ptr<testing::FakeService> voice_;
};

}  // namespace veska::e2e
