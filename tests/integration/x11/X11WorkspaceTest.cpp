// The X11 workspace against a private X server: applications, the frontmost one, activation.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "integration/x11/ProbeWindow.h"
#include "platform/linux/x11/X11Workspace.h"
#include "support/PrivateDesktop.h"

extern char** environ;

namespace veska::platform {
namespace {

using testing::ProbeWindow;

/// A child process that only waits, to own a window of "another application".
class Sleeper {
public:
    Sleeper() {
        char name[] = "sleep";
        char seconds[] = "60";
        char* argv[] = {name, seconds, nullptr};
        if (posix_spawnp(&pid_, "sleep", nullptr, nullptr, argv, environ) != 0) pid_ = 0;
    }
    ~Sleeper() { stop(); }
    void stop() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = 0;
    }
    [[nodiscard]] pid_t pid() const { return pid_; }

private:
    pid_t pid_ = 0;
};

class X11WorkspaceTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (server_.display().empty()) GTEST_SKIP() << "Xvfb is not installed";
        client_ = XOpenDisplay(server_.display().c_str());
        ASSERT_NE(client_, nullptr);
        workspace_ = std::make_unique<X11Workspace>(X11Connection::open(server_.display()));
    }
    void TearDown() override {
        workspace_.reset();
        if (client_ != nullptr) XCloseDisplay(client_);
    }

    testing::PrivateDesktop server_;
    Display* client_ = nullptr;
    std::unique_ptr<X11Workspace> workspace_;
};

TEST_F(X11WorkspaceTest, ApplicationsAreProcessesWithWindowsInTheOrderTheyStarted) {
    Sleeper other;
    ASSERT_GT(other.pid(), 0);
    ProbeWindow second(client_, "sleep", "Other", other.pid());
    ProbeWindow first(client_, "probe", "Probe", ::getpid());
    ProbeWindow firstAgain(client_, "probe", "Probe", ::getpid());
    ProbeWindow nobody(client_, "ghost", "Ghost", 0);

    const std::vector<ports::RunningApp> apps = workspace_->runningApplications();
    ASSERT_EQ(apps.size(), 2U);
    EXPECT_EQ(apps[0].pid, ::getpid());
    EXPECT_EQ(apps[0].bundleIdentifier, "Probe");
    EXPECT_EQ(apps[0].executablePath, std::filesystem::read_symlink("/proc/self/exe").string());
    EXPECT_EQ(apps[0].bundlePath, std::filesystem::read_symlink("/proc/self/exe").parent_path().string());
    EXPECT_EQ(apps[1].pid, other.pid());
    EXPECT_EQ(apps[1].bundleIdentifier, "Other");
    EXPECT_EQ(workspace_->ownProcessId(), ::getpid());
}

TEST_F(X11WorkspaceTest, TheFrontmostApplicationFollowsTheFocusAndActivationMovesIt) {
    Sleeper other;
    ProbeWindow mine(client_, "probe", "Probe", ::getpid());
    ProbeWindow theirs(client_, "sleep", "Other", other.pid());
    EXPECT_FALSE(workspace_->frontmostApplication().has_value());

    mine.focus();
    auto front = workspace_->frontmostApplication();
    ASSERT_TRUE(front.has_value());
    EXPECT_EQ(front->pid, ::getpid());
    EXPECT_TRUE(front->active);

    ASSERT_TRUE(workspace_->activate(other.pid()));
    front = workspace_->frontmostApplication();
    ASSERT_TRUE(front.has_value());
    EXPECT_EQ(front->pid, other.pid());
    EXPECT_FALSE(workspace_->activate(999999));
}

TEST_F(X11WorkspaceTest, AQuitApplicationIsRememberedAsTerminated) {
    Sleeper other;
    const pid_t pid = other.pid();
    {
        ProbeWindow theirs(client_, "sleep", "Other", pid);
        ASSERT_TRUE(workspace_->application(pid).has_value());
        other.stop();
    }
    const auto gone = workspace_->application(pid);
    ASSERT_TRUE(gone.has_value());
    EXPECT_TRUE(gone->terminated);
    EXPECT_EQ(gone->bundleIdentifier, "Other");
    EXPECT_FALSE(workspace_->application(424242).has_value());
}

TEST_F(X11WorkspaceTest, FilesAreLookedUpOnDisk) {
    EXPECT_TRUE(workspace_->fileExists("/proc/self/exe"));
    EXPECT_FALSE(workspace_->fileExists("/no/such/Electron Framework.framework"));
}

}  // namespace
}  // namespace veska::platform
