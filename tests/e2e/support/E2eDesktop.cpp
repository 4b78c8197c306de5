// The private desktop of the end-to-end tests and the desktop benchmarks.
#include "e2e/support/E2eDesktop.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

#include "e2e/support/XScreen.h"
#include "support/PulseDaemon.h"
#include "platform/linux/atspi/A11yStatus.h"
#include "support/FakeService.h"

namespace veska::e2e {

namespace {

constexpr const char* kBusLauncher = "/usr/libexec/at-spi-bus-launcher";
constexpr const char* kRegistry = "/usr/libexec/at-spi2-registryd";
constexpr double kStartSeconds = 20;

}  // namespace

E2eDesktop::E2eDesktop(DesktopOptions options) {
    for (const char* program : {"Xvfb", "dbus-daemon", kBusLauncher, kRegistry, "xdotool", "zenity"}) {
        if (findProgram(program).empty() || ::access(findProgram(program).c_str(), X_OK) != 0) {
            missing_ = std::string(program) + " is not installed (scripts/setup installs it)";
            return;
        }
    }
    if (options.tray && findProgram("trayer").empty()) {
        missing_ = "trayer is not installed (scripts/setup installs it)";
        return;
    }
    ::chmod(runtime_.path().c_str(), 0700);
    if (!startServer(options)) {
        missing_ = "Xvfb did not start";
        return;
    }
    if (!startBuses()) return;
    if (options.tray && !startTray()) {
        missing_ = "the tray host did not take the tray";
        return;
    }
    try {
        if (options.sound) mic_ = std::make_unique<testing::PipeMicDaemon>();
        if (mic_ && mic_->server().empty()) missing_ = "the sound server did not start";
        if (options.voiceFake) voice_ = std::make_unique<testing::FakeService>("claude-voice");
    } catch (const std::exception& e) {
        missing_ = e.what();
    }
}

E2eDesktop::~E2eDesktop() {
    voice_.reset();
    mic_.reset();
    tray_.stop();
    registry_.stop();
    launcher_.stop();
    bus_.stop();
    if (x_ != nullptr) XCloseDisplay(x_);
    xvfb_.stop();
}

std::string E2eDesktop::readLine(Launched& into, const LaunchPlan& base) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return {};
    LaunchPlan plan = base;
    plan.stdoutTo = fds[1];
    into = Launched(plan);
    ::close(fds[1]);
    std::string line;
    char c = 0;
    while (::read(fds[0], &c, 1) == 1 && c != '\n') line.push_back(c);
    ::close(fds[0]);
    return line;
}

bool E2eDesktop::startServer(const DesktopOptions& options) {
    const std::string screen = std::to_string(options.width) + "x" + std::to_string(options.height) + "x24";
    // -noreset: the server stays up while clients (the bus launcher among them) come and go.
    const std::string number =
        readLine(xvfb_, {.argv = {"Xvfb", "-displayfd", "1", "-screen", "0", screen, "-nolisten", "tcp", "-noreset"},
                         .environment = {{"PATH", "/usr/bin:/bin"}}});
    if (number.empty()) return false;
    display_ = ":" + number;
    x_ = XOpenDisplay(display_.c_str());
    return x_ != nullptr;
}

bool E2eDesktop::startBuses() {
    ::setenv("DISPLAY", display_.c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", runtime_.path().c_str(), 1);
    ::unsetenv("AT_SPI_BUS_ADDRESS");
    ::unsetenv("NO_AT_BRIDGE");
    busAddress_ = readLine(bus_, {.argv = {"dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address=1"},
                                  .environment = environment()});
    if (busAddress_.empty()) {
        missing_ = "the session bus did not start";
        return false;
    }
    ::setenv("DBUS_SESSION_BUS_ADDRESS", busAddress_.c_str(), 1);
    launcher_ = Launched({.argv = {kBusLauncher, "--launch-immediately"}, .environment = environment()});
    platform::A11yStatus status;
    if (!waitFor([&] { return status.isEnabled().has_value(); }, kStartSeconds, 20)) {
        missing_ = "the accessibility bus launcher did not answer";
        return false;
    }
    registry_ = Launched({.argv = {kRegistry}, .environment = environment()});
    // On before any application starts: Qt applications only expose themselves when it was.
    if (!status.setEnabled(true) || status.isEnabled() != true) {
        missing_ = "accessibility could not be switched on";
        return false;
    }
    return true;
}

bool E2eDesktop::startTray() {
    tray_ = Launched({.argv = {"trayer", "--edge", "top", "--align", "right", "--widthtype", "request",
                               "--height", "28", "--SetDockType", "false", "--SetPartialStrut", "false"},
                      .environment = environment()});
    const Atom selection = XInternAtom(x_, "_NET_SYSTEM_TRAY_S0", False);
    if (!waitFor([&] { return XGetSelectionOwner(x_, selection) != None; }, kStartSeconds, 20)) return false;
    waitFor([&] {
        trayWindow_ = topLevelWindowOf(x_, tray_.pid());
        return trayWindow_ != 0;
    }, kStartSeconds, 20);
    return trayWindow_ != 0;
}

Environment E2eDesktop::environment() const {
    Environment env{
        {"PATH", std::getenv("PATH") != nullptr ? std::getenv("PATH") : "/usr/local/bin:/usr/bin:/bin"},
        {"DISPLAY", display_},
        {"XDG_RUNTIME_DIR", runtime_.path().string()},
        {"HOME", runtime_.path().string()},
        {"LANG", "C.UTF-8"},
        {"GTK_A11Y", "atspi"},
    };
    if (!busAddress_.empty()) env["DBUS_SESSION_BUS_ADDRESS"] = busAddress_;
    if (mic_) env["PULSE_SERVER"] = mic_->server();
    return env;
}

}  // namespace veska::e2e
