// The Linux permissions against the real things they read: a capture device, the session's
// accessibility switch and the X server's extensions.
#include <cstdlib>
#include <map>

#include <gtest/gtest.h>

#include "contract/PermissionsContract.h"
#include "integration/atspi/AtspiDesktop.h"
#include "platform/linux/audiocapture/PulseAudioCapture.h"
#include "platform/linux/permissions/LinuxPermissions.h"
#include "runtime/Completion.h"
#include "runtime/RunLoop.h"
#include "support/PulseDaemon.h"

namespace veska::platform {
namespace {

using ports::Permission;
using ports::PermissionStatus;
using testing::AtspiDesktop;

/// Runs a request on the loop until it ends (at most 10 s).
bool runRequest(rt::RunLoop& loop, rt::Task<bool> request) {
    auto handle = rt::spawn(loop, std::move(request));
    loop.runUntil([&] { return handle.done(); }, 10);
    return handle.done() && handle.take();
}

/// The permissions over a capture of `server`, counting the settings shown.
struct Machine {
    explicit Machine(std::string server)
        : capture(std::move(server)), permissions(loop, capture, [this](Permission p) { ++shown[p]; }) {}
    rt::RunLoop loop;
    PulseAudioCapture capture;
    std::map<Permission, int> shown;
    LinuxPermissions permissions;
};

class LinuxPermissionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!AtspiDesktop::get().missing().empty()) GTEST_SKIP() << AtspiDesktop::get().missing();
        ASSERT_TRUE(AtspiDesktop::get().setEnabled(true));
    }
};

TEST_F(LinuxPermissionsTest, MicrophoneIsWhetherACaptureDeviceOpens) {
    testing::PulseDaemon daemon;
    if (daemon.server().empty()) GTEST_SKIP() << "pulseaudio did not start (scripts/setup installs it)";
    const struct {
        std::string server;
        PermissionStatus expected;
    } rows[] = {{daemon.server(), PermissionStatus::granted},
                {"unix:/nonexistent/pulse/native", PermissionStatus::denied}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.server);
        Machine setup(row.server);
        // The first read has no answer yet; it starts a check whose answer `settled` waits for.
        EXPECT_EQ(setup.permissions.status(Permission::microphone), PermissionStatus::notDetermined);
        auto settled = rt::spawn(setup.loop, setup.permissions.settled());
        ASSERT_TRUE(setup.loop.runUntil([&] { return settled.done(); }, 10));
        EXPECT_EQ(setup.permissions.status(Permission::microphone), row.expected);
        EXPECT_EQ(runRequest(setup.loop, setup.permissions.request(Permission::microphone)),
                  row.expected == PermissionStatus::granted);
    }
}

/// A capture that counts how often it was asked whether it opens.
class CountingCapture final : public ports::AudioCapture {
public:
    explicit CountingCapture(std::string server) : inner_(std::move(server)) {}
    rt::Task<bool> requestAccess() override {
        ++asked;
        return inner_.requestAccess();
    }
    rt::Task<std::optional<ports::AudioFormat>> deviceFormat() override { return inner_.deviceFormat(); }
    rt::Task<std::unique_ptr<ports::AudioCaptureStream>> start(ports::AudioCaptureRequest request) override {
        return inner_.start(std::move(request));
    }
    int asked = 0;

private:
    PulseAudioCapture inner_;
};

TEST_F(LinuxPermissionsTest, AMicrophoneThatOpensIsNotCheckedAgainAtEveryReadButAMissingOneIs) {
    testing::PulseDaemon daemon;
    if (daemon.server().empty()) GTEST_SKIP() << "pulseaudio did not start (scripts/setup installs it)";
    const struct {
        std::string server;
        PermissionStatus expected;
        bool checkedAgain;
    } rows[] = {{daemon.server(), PermissionStatus::granted, false},
                {"unix:/nonexistent/pulse/native", PermissionStatus::denied, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.server);
        rt::RunLoop loop;
        CountingCapture capture(row.server);
        LinuxPermissions permissions(loop, capture, [](Permission) {});
        ASSERT_TRUE(loop.runUntil([&] { return permissions.status(Permission::microphone) == row.expected; }, 10));
        ASSERT_TRUE(loop.runUntil([&] { return capture.asked >= 1; }, 1));
        const int asked = capture.asked;
        // What the watchdog and the permissions window do: read again and again.
        loop.runUntil(
            [&] {
                (void)permissions.status(Permission::microphone);
                return row.checkedAgain && capture.asked > asked + 1;
            },
            1);
        EXPECT_EQ(capture.asked > asked + 1, row.checkedAgain) << capture.asked - asked << " more checks";
        EXPECT_EQ(permissions.status(Permission::microphone), row.expected);
    }
}

/// A capture whose sound server answers whether it opens only when the test says so.
class GatedCapture final : public ports::AudioCapture {
public:
    rt::Task<bool> requestAccess() override { co_return co_await answer.wait(); }
    rt::Task<std::optional<ports::AudioFormat>> deviceFormat() override { co_return std::nullopt; }
    rt::Task<std::unique_ptr<ports::AudioCaptureStream>> start(ports::AudioCaptureRequest) override { co_return nullptr; }
    rt::Completion<bool> answer;
};

TEST_F(LinuxPermissionsTest, SettledWaitsForTheMicrophonesFirstAnswerButNotForever) {
    // Two waiters, woken by the answer itself (well before the bound), then at once.
    rt::RunLoop loop;
    GatedCapture gated;
    LinuxPermissions permissions(loop, gated, [](Permission) {});
    auto first = rt::spawn(loop, permissions.settled());
    auto second = rt::spawn(loop, permissions.settled());
    loop.runUntil([] { return false; }, 0.1);
    EXPECT_FALSE(first.done());
    EXPECT_EQ(permissions.status(Permission::microphone), PermissionStatus::notDetermined);
    gated.answer.resolve(true);
    EXPECT_TRUE(loop.runUntil([&] { return first.done() && second.done(); }, LinuxPermissions::kSettleSeconds / 3));
    EXPECT_EQ(permissions.status(Permission::microphone), PermissionStatus::granted);
    auto again = rt::spawn(loop, permissions.settled());
    EXPECT_TRUE(loop.runUntil([&] { return again.done(); }, LinuxPermissions::kSettleSeconds / 3));

    // A sound server that never answers: the wait ends at its bound, the state still unknown.
    GatedCapture silent;
    LinuxPermissions unanswered(loop, silent, [](Permission) {});
    auto bounded = rt::spawn(loop, unanswered.settled());
    EXPECT_TRUE(loop.runUntil([&] { return bounded.done(); }, LinuxPermissions::kSettleSeconds + 5));
    EXPECT_EQ(unanswered.status(Permission::microphone), PermissionStatus::notDetermined);
}

TEST_F(LinuxPermissionsTest, AccessibilityIsTheSessionSwitchAndAskingTurnsItOn) {
    Machine setup("unix:/nonexistent/pulse/native");
    ASSERT_TRUE(AtspiDesktop::get().setEnabled(false));
    EXPECT_EQ(setup.permissions.status(Permission::accessibility), PermissionStatus::denied);
    EXPECT_TRUE(runRequest(setup.loop, setup.permissions.request(Permission::accessibility)));
    EXPECT_EQ(setup.permissions.status(Permission::accessibility), PermissionStatus::granted);
    platform::A11yStatus status;
    EXPECT_EQ(status.isEnabled(), true);
}

TEST_F(LinuxPermissionsTest, InputMonitoringNeedsTheDisplaysExtensionsAndScreenIsAlwaysOpen) {
    Machine setup("unix:/nonexistent/pulse/native");
    EXPECT_EQ(setup.permissions.status(Permission::inputMonitoring), PermissionStatus::granted);
    EXPECT_EQ(setup.permissions.status(Permission::screenRecording), PermissionStatus::granted);
    EXPECT_TRUE(runRequest(setup.loop, setup.permissions.request(Permission::inputMonitoring)));
    // Without a display nothing can be watched or posted.
    const std::string display = std::getenv("DISPLAY");
    ::setenv("DISPLAY", ":4097", 1);
    EXPECT_EQ(setup.permissions.status(Permission::inputMonitoring), PermissionStatus::denied);
    EXPECT_FALSE(runRequest(setup.loop, setup.permissions.request(Permission::inputMonitoring)));
    ::unsetenv("DISPLAY");
    EXPECT_EQ(setup.permissions.status(Permission::inputMonitoring), PermissionStatus::denied);
    ::setenv("DISPLAY", display.c_str(), 1);
    EXPECT_EQ(setup.permissions.status(Permission::inputMonitoring), PermissionStatus::granted);
}

/// The contract on the real permissions. They cannot be switched behind the port's back here
/// (the microphone and the X extensions are what the machine has), so the switching cases skip.
/// No sound server: the microphone is not granted, which the contract allows.
class RealRig final : public contract::PermissionsRig {
public:
    RealRig() : setup_("unix:/nonexistent/pulse/native") {
        if (AtspiDesktop::get().missing().empty()) AtspiDesktop::get().setEnabled(true);
    }
    ports::Permissions& permissions() override { return setup_.permissions; }
    [[nodiscard]] bool canSwitch() const override { return false; }
    void setGranted(Permission, bool) override {}
    bool run(rt::Task<bool> request) override { return runRequest(setup_.loop, std::move(request)); }
    int settingsShown(Permission permission) override { return setup_.shown[permission]; }

private:
    Machine setup_;
};

struct RealRigFactory {
    static std::unique_ptr<contract::PermissionsRig> make() {
        if (!AtspiDesktop::get().missing().empty()) [] { GTEST_SKIP() << AtspiDesktop::get().missing(); }();
        return std::make_unique<RealRig>();
    }
};

}  // namespace
}  // namespace veska::platform

namespace veska::contract {
INSTANTIATE_TYPED_TEST_SUITE_P(LinuxPermissions, PermissionsContract,
                               ::testing::Types<platform::RealRigFactory>);
}  // namespace veska::contract
