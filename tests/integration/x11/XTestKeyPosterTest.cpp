// The XTest key poster against a private X server: what a focused window receives.
#include <gtest/gtest.h>
// Xlib's macros (None, Bool, Status) must come after the test framework's headers.
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <unistd.h>

#include <memory>

#include "integration/x11/ProbeWindow.h"
#include "platform/linux/x11/XTestKeyPoster.h"
#include "support/PrivateDesktop.h"

namespace veska::platform {
namespace {

using ports::SyntheticKey;
using testing::ProbeWindow;
using testing::ReceivedKey;
namespace keys = ports::keys;
namespace flags = ports::flags;

std::vector<SyntheticKey> commandChord(ports::KeyCode letter) {
    return {{keys::kCommand, true, flags::kCommand},
            {letter, true, flags::kCommand},
            {letter, false, flags::kCommand},
            {keys::kCommand, false, 0}};
}

class XTestKeyPosterTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (server_.display().empty()) GTEST_SKIP() << "Xvfb is not installed";
        client_ = XOpenDisplay(server_.display().c_str());
        ASSERT_NE(client_, nullptr);
        poster_ = std::make_unique<XTestKeyPoster>(X11Connection::open(server_.display()), PasteChordTable::defaults(),
                                                   std::make_shared<SyntheticKeyLedger>());
    }
    void TearDown() override {
        poster_.reset();
        if (client_ != nullptr) XCloseDisplay(client_);
    }

    /// Presses or releases a key as if the user did, from another client.
    void userKey(KeySym keysym, bool down) {
        XTestFakeKeyEvent(client_, XKeysymToKeycode(client_, keysym), down ? True : False, CurrentTime);
        XSync(client_, False);
    }

    testing::PrivateDesktop server_{{.autoRepeat = false}};
    Display* client_ = nullptr;
    std::unique_ptr<XTestKeyPoster> poster_;
};

TEST_F(XTestKeyPosterTest, CommandChordsArriveAsTheWindowsOwnShortcut) {
    struct Row {
        const char* windowClass;
        ports::KeyCode letter;
        unsigned int state;
        const char* letterName;
        std::size_t transitions;
    };
    const Row rows[] = {
        {"Gedit", keys::kV, ControlMask, "v", 4},
        {"XTerm", keys::kV, ControlMask | ShiftMask, "v", 8},
        {"kitty", keys::kC, ControlMask | ShiftMask, "c", 8},
        {"firefox", keys::kC, ControlMask, "c", 4},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.windowClass);
        ProbeWindow window(client_, "probe", row.windowClass, ::getpid());
        window.focus();
        ASSERT_TRUE(poster_->post(commandChord(row.letter)));
        std::vector<ReceivedKey> got;
        for (const ReceivedKey& key : window.keys(row.transitions)) {
            if (key.keysym == row.letterName && key.down) got.push_back(key);
        }
        ASSERT_EQ(got.size(), 1U);
        EXPECT_EQ(got[0].state & (ControlMask | ShiftMask | Mod1Mask), row.state);
    }
}

TEST_F(XTestKeyPosterTest, ModifiersTheUserHoldsAreReleasedFirst) {
    ProbeWindow window(client_, "probe", "Gedit", ::getpid());
    window.focus();
    userKey(XK_Control_L, true);
    userKey(XK_Shift_L, true);
    EXPECT_EQ(poster_->heldModifiers(), flags::kControl | flags::kShift);

    ASSERT_TRUE(poster_->post({{keys::kDelete, true, 0}, {keys::kDelete, false, 0}}));
    std::vector<ReceivedKey> backspaces;
    for (const ReceivedKey& key : window.keys(6)) {
        if (key.keysym == "BackSpace" && key.down) backspaces.push_back(key);
    }
    ASSERT_EQ(backspaces.size(), 1U);
    EXPECT_EQ(backspaces[0].state & (ControlMask | ShiftMask), 0U) << "a held Control would delete a word";
    EXPECT_EQ(poster_->heldModifiers(), flags::kNone);
}

TEST_F(XTestKeyPosterTest, AKeyWithoutCounterpartPostsNothing) {
    ProbeWindow window(client_, "probe", "Gedit", ::getpid());
    window.focus();
    const unsigned long long before = poster_->ledger().postedCount();
    EXPECT_FALSE(poster_->post({{keys::kA, true, 0}, {keys::kFn, true, flags::kFn}, {keys::kA, false, 0}}));
    EXPECT_EQ(poster_->ledger().postedCount(), before);
    EXPECT_TRUE(window.keys(1, std::chrono::milliseconds(300)).empty());
}

TEST_F(XTestKeyPosterTest, PostingNeedsTheXTestExtension) {
    EXPECT_TRUE(poster_->canPost());
}

TEST_F(XTestKeyPosterTest, TheAutomationRouteTypesFromAProcessOfItsOwn) {
    ProbeWindow window(client_, "probe", "Gedit", ::getpid());
    window.focus();
    ::setenv("DISPLAY", server_.display().c_str(), 1);
    const unsigned long long before = poster_->ledger().postedCount();
    if (::system("command -v xdotool >/dev/null 2>&1") != 0) GTEST_SKIP() << "xdotool is not installed";
    ASSERT_TRUE(poster_->postViaAutomation(commandChord(keys::kV)));
    EXPECT_EQ(poster_->ledger().postedCount(), before) << "automation keys are not Veska's own";
    bool pasted = false;
    for (const ReceivedKey& key : window.keys(4)) {
        pasted = pasted || (key.keysym == "v" && key.down && (key.state & ControlMask) != 0);
    }
    EXPECT_TRUE(pasted);

    XTestKeyPoster missing(X11Connection::open(server_.display()), PasteChordTable::defaults(), nullptr,
                           "veska-no-such-automation-program");
    EXPECT_FALSE(missing.postViaAutomation(commandChord(keys::kV)));
}

}  // namespace
}  // namespace veska::platform
