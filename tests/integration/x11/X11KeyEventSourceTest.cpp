// The X11 key source against a private X server: observing, swallowing, replaying, and
// telling Veska's own keys from the user's.
#include <gtest/gtest.h>
// Xlib's macros must come after the test framework's headers.
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <mutex>
#include <thread>

#include "integration/x11/ProbeWindow.h"
#include "platform/linux/x11/X11KeyEventSource.h"
#include "platform/linux/x11/XTestKeyPoster.h"
#include "runtime/ThreadExecutor.h"
#include "support/PrivateDesktop.h"

namespace veska::platform {
namespace {

using ports::KeyEvent;
using ports::KeyEventKind;
using ports::TapVerdict;
using testing::ProbeWindow;
namespace keys = ports::keys;
namespace flags = ports::flags;

/// Events seen on the main executor, read from the test thread.
class Seen {
public:
    void add(const KeyEvent& event) {
        std::lock_guard lock(mutex_);
        events_.push_back(event);
    }
    /// The events so far, waiting a little for `count` of them.
    std::vector<KeyEvent> wait(std::size_t count, std::chrono::milliseconds patience = std::chrono::seconds(5)) {
        const auto deadline = std::chrono::steady_clock::now() + patience;
        for (;;) {
            {
                std::lock_guard lock(mutex_);
                if (events_.size() >= count || std::chrono::steady_clock::now() >= deadline) return events_;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }

private:
    std::mutex mutex_;
    std::vector<KeyEvent> events_;
};

/// The keys a window got, as "keysym+" and "keysym-", without the releases of `swallowed`: a
/// swallowed key still held when its verdict came gives the keyboard back, so its release
/// reaches the window alone, which a slow test thread makes happen.
std::vector<std::string> shown(const std::vector<testing::ReceivedKey>& keys, const std::string& swallowed = {}) {
    std::vector<std::string> out;
    for (const auto& key : keys) {
        if (!key.down && key.keysym == swallowed) continue;
        out.push_back(key.keysym + (key.down ? "+" : "-"));
    }
    return out;
}

KeyEvent ev(KeyEventKind kind, ports::KeyCode code, ports::KeyFlags flags, std::int32_t pid = 0) {
    return KeyEvent{kind, code, flags, false, pid};
}

class X11KeyEventSourceTest : public ::testing::Test {
protected:
    template <class F>
    auto onMain(F fn) {
        std::packaged_task<decltype(fn())()> task(std::move(fn));
        auto result = task.get_future();
        main_.post([&task] { task(); });
        return result.get();
    }

    void SetUp() override {
        if (server_.display().empty()) GTEST_SKIP() << "Xvfb is not installed";
        user_ = XOpenDisplay(server_.display().c_str());
        ASSERT_NE(user_, nullptr);
        ledger_ = std::make_shared<SyntheticKeyLedger>();
        X11KeySourceOptions options{server_.display(), "Menu", ::getpid(), ledger_, 0.3};
        source_ = onMain([&] { return X11KeyEventSource::open(main_, options); });
        ASSERT_NE(source_, nullptr);
        monitor_ = onMain([&] {
            return source_->addGlobalMonitor({true, true, true}, [this](const KeyEvent& e) { monitored_.add(e); });
        });
    }
    void TearDown() override {
        onMain([&] {
            tap_.reset();
            monitor_.reset();
            source_.reset();
            return 0;
        });
        main_.stop();
        if (user_ != nullptr) XCloseDisplay(user_);
    }

    void makeTap(std::vector<ports::SwallowableKey> declared, TapVerdict verdict, bool expectClaimed = true) {
        const bool claimed = onMain([&] {
            tap_ = source_->createTap({ports::TapLocation::hid, ports::TapOptions::defaultTap, {true, true, true}},
                                      [this, verdict](const KeyEvent& e) {
                                          tapped_.add(e);
                                          return verdict;
                                      });
            return tap_->setSwallowable(declared);
        });
        EXPECT_EQ(claimed, expectClaimed);
    }

    /// The user presses or releases a key (from another client, as a keyboard would).
    void userKey(KeySym keysym, bool down) {
        XTestFakeKeyEvent(user_, XKeysymToKeycode(user_, keysym), down ? True : False, CurrentTime);
        XSync(user_, False);
    }
    void userTap(KeySym keysym) {
        userKey(keysym, true);
        userKey(keysym, false);
    }

    testing::PrivateDesktop server_{{.autoRepeat = false}};
    rt::ThreadExecutor main_{"main"};
    Display* user_ = nullptr;
    std::shared_ptr<SyntheticKeyLedger> ledger_;
    std::unique_ptr<X11KeyEventSource> source_;
    std::unique_ptr<ports::KeyMonitor> monitor_;
    std::unique_ptr<ports::KeyTap> tap_;
    Seen monitored_;
    Seen tapped_;
};

TEST_F(X11KeyEventSourceTest, KeysAndModifiersArriveAsVirtualCodesWithTheirFlags) {
    userKey(XK_Control_L, true);
    userTap(XK_a);
    userKey(XK_Control_L, false);
    userTap(XK_Menu);
    userKey(XK_Alt_R, true);
    userKey(XK_Alt_R, false);
    const std::vector<KeyEvent> expected{
        ev(KeyEventKind::flagsChanged, keys::kControl, flags::kControl),
        ev(KeyEventKind::keyDown, keys::kA, flags::kControl),
        ev(KeyEventKind::keyUp, keys::kA, flags::kControl),
        ev(KeyEventKind::flagsChanged, keys::kControl, 0),
        ev(KeyEventKind::flagsChanged, keys::kFn, flags::kFn),
        ev(KeyEventKind::flagsChanged, keys::kFn, 0),
        ev(KeyEventKind::flagsChanged, keys::kRightOption, flags::kOption),
        ev(KeyEventKind::flagsChanged, keys::kRightOption, 0),
    };
    EXPECT_EQ(monitored_.wait(expected.size()), expected);
}

TEST_F(X11KeyEventSourceTest, ADeclaredKeyTheTapSwallowsNeverReachesTheApplication) {
    ProbeWindow window(user_, "probe", "Gedit", 1);
    window.focus();
    makeTap({{keys::kEscape, {}}}, TapVerdict::swallow);
    userTap(XK_Escape);
    userTap(XK_b);
    const auto tapped = tapped_.wait(4);
    ASSERT_EQ(tapped.size(), 4U);
    EXPECT_EQ(tapped[0], ev(KeyEventKind::keyDown, keys::kEscape, 0));
    EXPECT_EQ(tapped[1], ev(KeyEventKind::keyUp, keys::kEscape, 0));
    EXPECT_EQ(shown(window.keys(2), "Escape"), (std::vector<std::string>{"b+", "b-"}))
        << "the undeclared key still arrives";
    const auto monitored = monitored_.wait(2);
    ASSERT_EQ(monitored.size(), 2U) << "monitors do not see swallowed keys";
    EXPECT_EQ(monitored[0].keyCode, ports::KeyCode{11});  // b
}

TEST_F(X11KeyEventSourceTest, ADeclaredKeyTheTapPassesIsReplayedToTheApplication) {
    ProbeWindow window(user_, "probe", "Gedit", 1);
    window.focus();
    makeTap({{keys::kEscape, {}}, {keys::kL, {flags::kControl | flags::kOption}}}, TapVerdict::pass);
    userTap(XK_Escape);
    userTap(XK_l);  // without Control+Option: not grabbed at all
    std::vector<std::string> got;
    for (const auto& key : window.keys(4)) got.push_back(key.keysym + (key.down ? "+" : "-"));
    EXPECT_EQ(got, (std::vector<std::string>{"Escape+", "Escape-", "l+", "l-"}));
    EXPECT_EQ(tapped_.wait(4).size(), 4U);
    EXPECT_EQ(monitored_.wait(4).size(), 4U);
}

TEST_F(X11KeyEventSourceTest, ChordsAreClaimedUnderTheirModifiersWhateverTheLockKeys) {
    ProbeWindow window(user_, "probe", "Gedit", 1);
    window.focus();
    makeTap({{keys::kL, {flags::kControl | flags::kOption}}}, TapVerdict::swallow);
    userTap(XK_Num_Lock);  // NumLock on defeats a grab without its variant
    userKey(XK_Control_L, true);
    userKey(XK_Alt_L, true);
    userTap(XK_l);
    userKey(XK_Alt_L, false);
    userKey(XK_Control_L, false);
    userTap(XK_Num_Lock);
    bool sawL = false;
    for (const auto& key : window.keys(12, std::chrono::milliseconds(600))) sawL = sawL || key.keysym == "l";
    EXPECT_FALSE(sawL);
    bool tappedChord = false;
    for (const auto& e : tapped_.wait(8)) {
        tappedChord = tappedChord || (e == ev(KeyEventKind::keyDown, keys::kL, flags::kControl | flags::kOption));
    }
    EXPECT_TRUE(tappedChord);
}

TEST_F(X11KeyEventSourceTest, VeskasOwnKeysCarryItsProcessId) {
    XTestKeyPoster poster(X11Connection::open(server_.display()), PasteChordTable::defaults(), ledger_);
    ASSERT_TRUE(poster.post({{keys::kDelete, true, 0}, {keys::kDelete, false, 0}}));
    userTap(XK_Delete);  // the same device, but not ours
    const auto seen = monitored_.wait(4);
    ASSERT_EQ(seen.size(), 4U);
    EXPECT_EQ(seen[0], ev(KeyEventKind::keyDown, keys::kDelete, 0, ::getpid()));
    EXPECT_EQ(seen[1], ev(KeyEventKind::keyUp, keys::kDelete, 0, ::getpid()));
    EXPECT_EQ(seen[2].sourcePid, 0);
    EXPECT_EQ(seen[3].sourcePid, 0);
}

TEST_F(X11KeyEventSourceTest, ASlowTapLetsTheKeyThroughAndIsSwitchedOff) {
    ProbeWindow window(user_, "probe", "Gedit", 1);
    window.focus();
    makeTap({{keys::kEscape, {}}}, TapVerdict::swallow);
    main_.post([] { std::this_thread::sleep_for(std::chrono::milliseconds(700)); });  // the main thread is busy
    userTap(XK_Escape);
    std::vector<std::string> got;
    for (const auto& key : window.keys(2)) got.push_back(key.keysym + (key.down ? "+" : "-"));
    EXPECT_EQ(got, (std::vector<std::string>{"Escape+", "Escape-"}));
    bool notified = false;
    for (const auto& e : tapped_.wait(3)) notified = notified || e.kind == KeyEventKind::tapDisabledByTimeout;
    EXPECT_TRUE(notified);
    EXPECT_FALSE(onMain([&] { return tap_->isEnabled(); }));

    onMain([&] {
        tap_->setEnabled(true);
        return 0;
    });
    userTap(XK_Escape);
    EXPECT_EQ(shown(window.keys(3, std::chrono::milliseconds(400)), "Escape"), std::vector<std::string>{"Escape+"})
        << "switched on again, it swallows";
}

TEST_F(X11KeyEventSourceTest, AKeyAnotherProgramHoldsCannotBeClaimed) {
    XGrabKey(user_, XKeysymToKeycode(user_, XK_Escape), AnyModifier, DefaultRootWindow(user_), False, GrabModeAsync,
             GrabModeAsync);
    XSync(user_, False);
    makeTap({{keys::kEscape, {}}, {keys::kS, {flags::kControl | flags::kOption}}}, TapVerdict::swallow, false);
}

TEST_F(X11KeyEventSourceTest, KeysForVeskasOwnWindowsGoToLocalMonitors) {
    Seen local;
    auto localMonitor = onMain([&] {
        return source_->addLocalMonitor({true, true, true}, [&local](const KeyEvent& e) { local.add(e); });
    });
    ProbeWindow mine(user_, "veska", "Veska", ::getpid());
    mine.focus();
    userTap(XK_q);
    EXPECT_EQ(local.wait(2).size(), 2U);
    EXPECT_TRUE(monitored_.wait(1, std::chrono::milliseconds(200)).empty());
    onMain([&] {
        localMonitor.reset();
        return 0;
    });
}

}  // namespace
}  // namespace veska::platform
