// The private desktop of the tests: its parts started in order, each waited for, and stopped by pid.
#include "support/PrivateDesktop.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

#include "platform/linux/atspi/A11yStatus.h"
#include "support/FakeService.h"
#include "support/PulseDaemon.h"
#include "support/XScreen.h"

namespace veska::testing {

namespace {

/// A window asking to be mapped while the window manager still starts is never mapped: this
/// many probe windows, each given `kProbeSeconds` to show.
constexpr int kWindowManagerProbes = 10;
constexpr double kProbeSeconds = 1;
constexpr int kPollMs = 20;

bool viewable(Display* x, Window window) {
    XWindowAttributes attributes{};
    return XGetWindowAttributes(x, window, &attributes) != 0 && attributes.map_state == IsViewable;
}

bool hasProperty(Display* x, Window window, const char* name) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    const bool found = XGetWindowProperty(x, window, XInternAtom(x, name, False), 0, 1, False, AnyPropertyType,
                                          &type, &format, &count, &after, &data) == Success &&
                       type != None;
    if (data != nullptr) XFree(data);
    return found;
}

/// Whether a small window of ours gets mapped within `kProbeSeconds`.
bool probeMaps(Display* x) {
    XSetWindowAttributes attributes{};
    const Window probe = XCreateWindow(x, DefaultRootWindow(x), 0, 0, 10, 10, 0, CopyFromParent, InputOutput,
                                       CopyFromParent, 0, &attributes);
    XMapWindow(x, probe);
    XSync(x, False);
    const bool mapped = PrivateDesktop::waitFor([&] { return viewable(x, probe); }, kProbeSeconds, 2);
    XDestroyWindow(x, probe);
    XSync(x, False);
    return mapped;
}

}  // namespace

PrivateDesktop::PrivateDesktop(PrivateDesktopOptions options) {
    if (options.accessibility) options.sessionBus = true;
    missing_ = firstMissingProgram(options);
    if (!missing_.empty()) return;
    ::chmod(runtime_->path().c_str(), 0700);
    if (!startServer(options)) {
        missing_ = "Xvfb did not start";
        return;
    }
    if (options.sessionBus && !startSessionBus()) {
        missing_ = "the session bus did not start";
        return;
    }
    if (options.accessibility && !startAccessibility()) return;
    if (options.windowManager && !startWindowManager()) {
        missing_ = "openbox maps no window";
        return;
    }
    if (options.tray && !startTray()) {
        missing_ = "the tray host did not take the tray";
        return;
    }
    startSound(options);
}

PrivateDesktop::~PrivateDesktop() {
    stop();
}

std::string PrivateDesktop::firstMissingProgram(const PrivateDesktopOptions& options) const {
    std::vector<std::string> needed{"Xvfb"};
    if (options.sessionBus) needed.emplace_back("dbus-daemon");
    if (options.accessibility) {
        needed.emplace_back(kBusLauncher);
        needed.emplace_back(kRegistry);
    }
    if (options.windowManager) needed.emplace_back("openbox");
    if (options.tray) needed.emplace_back("trayer");
    needed.insert(needed.end(), options.programs.begin(), options.programs.end());
    for (const std::string& program : needed) {
        if (!programExists(program)) return program + " is not installed (scripts/setup installs it)";
    }
    return {};
}

void PrivateDesktop::stop() {
    voice_.reset();
    mic_.reset();
    status_.reset();
    lastStarted_ = nullptr;
    tray_ = nullptr;
    // Newest first; the X server, started first, goes last, after this process's connection.
    while (started_.size() > 1) started_.pop_back();
    if (x_ != nullptr) XCloseDisplay(x_);
    x_ = nullptr;
    started_.clear();
    runtime_.reset();
}

std::string PrivateDesktop::readLine(Launched& into, const LaunchPlan& base) {
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

bool PrivateDesktop::startServer(const PrivateDesktopOptions& options) {
    const std::string screen = std::to_string(options.width) + "x" + std::to_string(options.height) + "x24";
    // -noreset: the server stays up while clients (the bus launcher among them) come and go.
    auto& server = *started_.emplace_back(std::make_unique<Launched>());
    const std::string number = readLine(
        server, {.argv = {"Xvfb", "-displayfd", "1", "-screen", "0", screen, "-nolisten", "tcp", "-noreset"},
                 .environment = {{"PATH", "/usr/bin:/bin"}}});
    if (number.empty()) return false;
    display_ = ":" + number;
    ::setenv("DISPLAY", display_.c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", runtime_->path().c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
    ::unsetenv("AT_SPI_BUS_ADDRESS");
    ::unsetenv("NO_AT_BRIDGE");
    x_ = XOpenDisplay(display_.c_str());
    if (x_ == nullptr) return false;
    if (!options.autoRepeat) {
        XAutoRepeatOff(x_);
        XSync(x_, False);
    }
    if (options.workArea) {
        std::vector<long> area = *options.workArea;
        XChangeProperty(x_, DefaultRootWindow(x_), XInternAtom(x_, "_NET_WORKAREA", False), XA_CARDINAL, 32,
                        PropModeReplace, reinterpret_cast<unsigned char*>(area.data()),
                        static_cast<int>(area.size()));
        XSync(x_, False);
    }
    return true;
}

bool PrivateDesktop::startSessionBus() {
    auto& bus = *started_.emplace_back(std::make_unique<Launched>());
    busAddress_ = readLine(bus, {.argv = {"dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address=1"},
                                 .environment = environment()});
    if (busAddress_.empty()) return false;
    ::setenv("DBUS_SESSION_BUS_ADDRESS", busAddress_.c_str(), 1);
    return true;
}

bool PrivateDesktop::startAccessibility() {
    ::setenv("GTK_A11Y", "atspi", 1);
    started_.push_back(std::make_unique<Launched>(
        LaunchPlan{.argv = {kBusLauncher, "--launch-immediately"}, .environment = environment()}));
    status_ = std::make_unique<platform::A11yStatus>();
    if (!waitFor([&] { return status_->isEnabled().has_value(); }, kStartSeconds, kPollMs)) {
        missing_ = "the accessibility bus launcher did not answer";
        return false;
    }
    started_.push_back(std::make_unique<Launched>(LaunchPlan{.argv = {kRegistry}, .environment = environment()}));
    // On before any application starts: Qt applications only expose themselves when it was.
    if (!setAccessibility(true)) {
        missing_ = "accessibility could not be switched on";
        return false;
    }
    return true;
}

bool PrivateDesktop::setAccessibility(bool enabled) {
    if (status_ == nullptr || !status_->setEnabled(enabled)) return false;
    return status_->isEnabled() == enabled;
}

bool PrivateDesktop::startWindowManager() {
    started_.push_back(
        std::make_unique<Launched>(LaunchPlan{.argv = {"openbox", "--sm-disable"}, .environment = environment()}));
    if (!waitFor([&] { return hasProperty(x_, DefaultRootWindow(x_), "_NET_SUPPORTING_WM_CHECK"); }, kStartSeconds,
                 kPollMs)) {
        return false;
    }
    for (int attempt = 0; attempt < kWindowManagerProbes; ++attempt) {
        if (probeMaps(x_)) return true;
    }
    return false;
}

bool PrivateDesktop::startTray() {
    tray_ = started_
                .emplace_back(std::make_unique<Launched>(LaunchPlan{
                    .argv = {"trayer", "--edge", "top", "--align", "right", "--widthtype", "request", "--height",
                             "28", "--SetDockType", "false", "--SetPartialStrut", "false"},
                    .environment = environment()}))
                .get();
    const Atom selection = XInternAtom(x_, "_NET_SYSTEM_TRAY_S0", False);
    if (!waitFor([&] { return XGetSelectionOwner(x_, selection) != None; }, kStartSeconds, kPollMs)) return false;
    waitFor(
        [&] {
            trayWindow_ = topLevelWindowOf(x_, tray_->pid());
            return trayWindow_ != 0;
        },
        kStartSeconds, kPollMs);
    return trayWindow_ != 0;
}

void PrivateDesktop::startSound(const PrivateDesktopOptions& options) {
    try {
        if (options.sound) mic_ = std::make_unique<PipeMicDaemon>();
        if (mic_ && mic_->server().empty()) missing_ = "the sound server did not start";
        if (options.voiceFake) voice_ = std::make_unique<FakeService>("claude-voice");
    } catch (const std::exception& e) {
        missing_ = e.what();
    }
}

Launched& PrivateDesktop::start(std::vector<std::string> argv) {
    lastStarted_ =
        started_.emplace_back(std::make_unique<Launched>(LaunchPlan{.argv = std::move(argv), .environment = environment()}))
            .get();
    return *lastStarted_;
}

void PrivateDesktop::killLast() {
    if (lastStarted_ != nullptr) lastStarted_->kill();
}

Environment PrivateDesktop::environment() const {
    Environment env{
        {"PATH", std::getenv("PATH") != nullptr ? std::getenv("PATH") : "/usr/local/bin:/usr/bin:/bin"},
        {"DISPLAY", display_},
        {"XDG_RUNTIME_DIR", runtime_ != nullptr ? runtime_->path().string() : ""},
        {"HOME", runtime_ != nullptr ? runtime_->path().string() : ""},
        {"LANG", "C.UTF-8"},
        {"GTK_A11Y", "atspi"},
    };
    if (!busAddress_.empty()) env["DBUS_SESSION_BUS_ADDRESS"] = busAddress_;
    if (mic_) env["PULSE_SERVER"] = mic_->server();
    return env;
}

}  // namespace veska::testing
