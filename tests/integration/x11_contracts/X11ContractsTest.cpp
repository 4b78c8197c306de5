// The workspace and key source contracts against the X11 adapters on a private Xvfb.
#include <gtest/gtest.h>

#include "contract/KeyEventSourceContract.h"
#include "contract/WorkspaceContract.h"
// Xlib's macros must come after the test framework's headers.
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <map>

#include "integration/x11/ProbeWindow.h"
#include "platform/linux/x11/KeyMapping.h"
#include "platform/linux/x11/X11KeyEventSource.h"
#include "platform/linux/x11/X11Workspace.h"
#include "platform/linux/x11/XTestKeyPoster.h"
#include "runtime/RunLoop.h"
#include "support/PrivateDesktop.h"

extern char** environ;

namespace veska::contract {
namespace {

using platform::X11Connection;

/// The keysym the user's keyboard sends for a virtual key code.
KeySym userKeysym(ports::KeyCode code) {
    if (code == ports::keys::kCommand) return XK_Super_L;
    if (code == ports::keys::kRightCommand) return XK_Super_R;
    if (code == ports::keys::kFn) return XK_Menu;
    return platform::postedKeysym(code).value_or(NoSymbol);
}

/// A private X server and a connection standing for the user's keyboard and windows.
class Desktop {
public:
    Desktop() {
        if (server_.display().empty()) throw std::runtime_error("Xvfb is not installed");
        user_ = XOpenDisplay(server_.display().c_str());
        if (user_ == nullptr) throw std::runtime_error("the private X server does not answer");
    }
    ~Desktop() { XCloseDisplay(user_); }
    Desktop(const Desktop&) = delete;
    Desktop& operator=(const Desktop&) = delete;

    [[nodiscard]] const std::string& display() const { return server_.display(); }
    [[nodiscard]] Display* user() const { return user_; }
    void userKey(ports::KeyCode code, bool down) {
        XTestFakeKeyEvent(user_, XKeysymToKeycode(user_, userKeysym(code)), down ? True : False, CurrentTime);
        XSync(user_, False);
    }

private:
    testing::PrivateDesktop server_{{.autoRepeat = false}};
    Display* user_ = nullptr;
};

class X11WorkspaceRig : public WorkspaceRig {
public:
    X11WorkspaceRig() : workspace_(X11Connection::open(desktop_.display())) {}
    ~X11WorkspaceRig() override {
        for (const auto& [pid, name] : apps_) stop(pid);
    }

    ports::Workspace& workspace() override { return workspace_; }

    LaunchedApp launchApp(const std::string& name) override {
        int out[2];
        if (::pipe(out) != 0) throw std::runtime_error("pipe");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        const std::string displayVar = "DISPLAY=" + desktop_.display();
        std::vector<std::string> envStrings{displayVar};
        std::vector<char*> env{envStrings[0].data(), nullptr};
        std::string program = VESKA_PROBE_APP;
        std::string arg = name;
        char* argv[] = {program.data(), arg.data(), nullptr};
        pid_t pid = 0;
        const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, env.data());
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        if (spawned != 0) {
            ::close(out[0]);
            throw std::runtime_error("cannot start the probe application");
        }
        char line[16] = {};
        const ssize_t got = ::read(out[0], line, sizeof line - 1);  // "ready" once its window shows
        ::close(out[0]);
        if (got <= 0) throw std::runtime_error("the probe application did not start");
        apps_[pid] = name;
        return {pid, name, name};
    }

    void bringToFront(std::int32_t pid) override {
        for (Window w : windowsOf(pid)) {
            XRaiseWindow(desktop_.user(), w);
            XSetInputFocus(desktop_.user(), w, RevertToPointerRoot, CurrentTime);
        }
        XSync(desktop_.user(), False);
    }

    void quit(std::int32_t pid) override {
        stop(pid);
        apps_.erase(pid);
    }

    std::string existingPath() override { return "/proc/self/exe"; }
    std::string missingPath() override { return "/proc/self/no-such-file"; }
    void pump(double seconds) override { ::usleep(static_cast<useconds_t>(seconds * 1e6)); }

private:
    std::vector<Window> windowsOf(std::int32_t pid) {
        std::vector<Window> found;
        Window root = 0, parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        XQueryTree(desktop_.user(), DefaultRootWindow(desktop_.user()), &root, &parent, &children, &count);
        const Atom pidAtom = XInternAtom(desktop_.user(), "_NET_WM_PID", False);
        for (unsigned int i = 0; i < count; ++i) {
            Atom type = 0;
            int format = 0;
            unsigned long items = 0, after = 0;
            unsigned char* data = nullptr;
            if (XGetWindowProperty(desktop_.user(), children[i], pidAtom, 0, 1, False, AnyPropertyType, &type, &format,
                                   &items, &after, &data) == Success &&
                data != nullptr && items == 1 && static_cast<std::int32_t>(*reinterpret_cast<long*>(data)) == pid) {
                found.push_back(children[i]);
            }
            if (data != nullptr) XFree(data);
        }
        if (children != nullptr) XFree(children);
        return found;
    }
    static void stop(pid_t pid) {
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
    }

    Desktop desktop_;
    platform::X11Workspace workspace_;
    std::map<pid_t, std::string> apps_;
};

class X11KeyEventSourceRig : public KeyEventSourceRig {
public:
    X11KeyEventSourceRig()
        : ledger_(std::make_shared<platform::SyntheticKeyLedger>()),
          poster_(X11Connection::open(desktop_.display()), platform::PasteChordTable::defaults(), ledger_),
          front_(desktop_.user(), "front", "Front", 1) {
        front_.focus();
        source_ = platform::X11KeyEventSource::open(main_, {desktop_.display(), "Menu", ::getpid(), ledger_, 0.5});
        if (!source_) throw std::runtime_error("XInput 2.2 is missing");
    }
    ~X11KeyEventSourceRig() override {
        source_.reset();
        main_.runFor(0.01);
    }

    ports::KeyEventSource& source() override { return *source_; }
    void userPress(ports::KeyCode code) override { desktop_.userKey(code, true); }
    void userRelease(ports::KeyCode code) override { desktop_.userKey(code, false); }
    void postOwn(const ports::SyntheticKey& key) override { (void)poster_.post({key}); }
    [[nodiscard]] std::int32_t ownPid() const override { return ::getpid(); }
    std::vector<ports::KeyCode> frontAppKeys() override {
        std::vector<ports::KeyCode> codes;
        for (const auto& key : front_.keys(0, std::chrono::milliseconds(0))) {
            if (!key.down) continue;
            if (auto code = platform::observedKeyCode(XStringToKeysym(key.keysym.c_str()))) codes.push_back(*code);
        }
        return codes;
    }
    [[nodiscard]] bool canSwitchInputMonitoring() const override { return false; }
    void setInputMonitoring(bool) override {}
    /// Lets `seconds` pass, then waits until every key the server has sent so far has been
    /// handed out: real X delivery takes its own time on a loaded machine.
    void pump(double seconds) override {
        main_.runFor(seconds);
        // Shared: when the wait gives up, the answer still comes, during a later pump.
        auto delivered = std::make_shared<bool>(false);
        source_->afterPendingEvents([delivered] { *delivered = true; });
        (void)main_.runUntil([&] { return *delivered; }, kDeliverySeconds);
    }
    /// Generous: two suites share two loaded cores in CI.
    static constexpr double kDeliverySeconds = 30;

private:
    Desktop desktop_;
    rt::RunLoop main_;
    std::shared_ptr<platform::SyntheticKeyLedger> ledger_;
    platform::XTestKeyPoster poster_;
    testing::ProbeWindow front_;
    std::unique_ptr<platform::X11KeyEventSource> source_;
};

template <class Rig, class Base>
struct Factory {
    static std::unique_ptr<Base> make() { return std::make_unique<Rig>(); }
};

using WorkspaceOnX11 = Factory<X11WorkspaceRig, WorkspaceRig>;
using KeyEventSourceOnX11 = Factory<X11KeyEventSourceRig, KeyEventSourceRig>;

INSTANTIATE_TYPED_TEST_SUITE_P(X11, WorkspaceContract, ::testing::Types<WorkspaceOnX11>);
INSTANTIATE_TYPED_TEST_SUITE_P(X11, KeyEventSourceContract, ::testing::Types<KeyEventSourceOnX11>);

}  // namespace
}  // namespace veska::contract
