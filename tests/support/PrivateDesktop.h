// A private desktop for tests: an X server, and as asked a session bus, the accessibility bus,
// a window manager, a tray host, a sound server with a microphone and the voice stream fake.
#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "support/Launched.h"
#include "support/TempDir.h"

// Xlib's own declaration, without its macros (which would break headers included after this one).
typedef struct _XDisplay Display;  // NOLINT(modernize-use-using)

namespace veska::platform {
class A11yStatus;
}

namespace veska::testing {

class PipeMicDaemon;
class FakeService;

/// What to start besides the X server.
struct PrivateDesktopOptions {
    int width = 1280;
    int height = 800;
    /// The server repeats held keys. Off for tests that tap keys through XTest: a test thread
    /// stalled between a press and its release (a loaded machine) would make a tap a held key.
    bool autoRepeat = true;
    /// A session bus of its own (without it, this process has none).
    bool sessionBus = false;
    /// The accessibility bus launcher and registry, with accessibility switched on before any
    /// application starts (Qt applications only expose themselves when it was). Implies the
    /// session bus.
    bool accessibility = false;
    /// Openbox, waited for until it maps windows.
    bool windowManager = false;
    /// `trayer`, an XEmbed tray host, on the top edge at the right.
    bool tray = false;
    /// A PulseAudio daemon whose default source is a microphone fed by the test.
    bool sound = false;
    /// The Claude voice stream fake (tests/fakes/claude-voice).
    bool voiceFake = false;
    /// The screen's work area as a panel would leave it (`_NET_WORKAREA` on the root).
    std::optional<std::vector<long>> workArea{};
    /// Programs the tests run themselves: `missing()` names the first one not installed.
    std::vector<std::string> programs{};
};

/// Everything is started by the constructor, in this process's name: DISPLAY, XDG_RUNTIME_DIR
/// and DBUS_SESSION_BUS_ADDRESS of this process point at it (QT_QPA_PLATFORM is xcb), so Qt,
/// libatspi and the programs the tests start inherit it. Everything is stopped by pid, newest
/// first, by `stop` or the destructor, and gets SIGTERM if the thread that made the desktop
/// ends, so a crashing test leaves nothing behind. `missing()` names what could not be started
/// (a test skips with it). One per process: libatspi and Qt connect once per process.
class PrivateDesktop {
public:
    static constexpr const char* kBusLauncher = "/usr/libexec/at-spi-bus-launcher";
    static constexpr const char* kRegistry = "/usr/libexec/at-spi2-registryd";
    /// Longest wait for a part of the desktop to come up (under load, two tests at a time).
    static constexpr double kStartSeconds = 20;

    explicit PrivateDesktop(PrivateDesktopOptions options = {});
    ~PrivateDesktop();
    PrivateDesktop(const PrivateDesktop&) = delete;
    PrivateDesktop& operator=(const PrivateDesktop&) = delete;

    /// Stops everything now, newest first (also safe at process exit, for a desktop that lives
    /// as long as the process).
    void stop();

    [[nodiscard]] const std::string& missing() const { return missing_; }
    [[nodiscard]] const std::string& display() const { return display_; }
    [[nodiscard]] const std::filesystem::path& runtimeDir() const { return runtime_->path(); }
    /// This process's own connection to the server (for screenshots and window queries).
    [[nodiscard]] Display* x() const { return x_; }
    /// The environment a program on this desktop needs: display, buses, runtime directory,
    /// sound server, PATH, locale; nothing of this process's own environment besides PATH.
    [[nodiscard]] Environment environment() const;
    /// The microphone; null without sound.
    [[nodiscard]] PipeMicDaemon* mic() const { return mic_.get(); }
    /// The voice stream fake; null without it.
    [[nodiscard]] FakeService* voice() const { return voice_.get(); }
    /// The tray host's top-level window (an X Window); 0 without it.
    [[nodiscard]] unsigned long trayWindow() const { return trayWindow_; }
    /// The tray host's process; 0 without it.
    [[nodiscard]] pid_t trayPid() const { return tray_ != nullptr ? tray_->pid() : 0; }

    /// Switches the session's accessibility on or off; true once the launcher says so.
    bool setAccessibility(bool enabled);

    /// Starts a program on the desktop with `environment()`; stopped with the desktop.
    Launched& start(std::vector<std::string> argv);
    /// Ends the program `start` started last, as a crash would.
    void killLast();

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
    [[nodiscard]] std::string firstMissingProgram(const PrivateDesktopOptions& options) const;
    bool startServer(const PrivateDesktopOptions& options);
    bool startSessionBus();
    bool startAccessibility();
    bool startWindowManager();
    bool startTray();
    void startSound(const PrivateDesktopOptions& options);
    std::string readLine(Launched& into, const LaunchPlan& plan);

    std::string missing_;
    std::unique_ptr<TempDir> runtime_ = std::make_unique<TempDir>();
    std::string display_;
    Display* x_ = nullptr;
    std::string busAddress_;
    /// Everything started, in order (the X server first).
    std::vector<std::unique_ptr<Launched>> started_;
    Launched* tray_ = nullptr;
    unsigned long trayWindow_ = 0;
    /// The program `start` started last.
    Launched* lastStarted_ = nullptr;
    std::unique_ptr<platform::A11yStatus> status_;
    std::unique_ptr<PipeMicDaemon> mic_;
    std::unique_ptr<FakeService> voice_;
};

}  // namespace veska::testing
