// The idle inhibitor against a fake logind on a private bus, and where there is none.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "integration/inhibit/FakeLogind.h"
#include "platform/linux/inhibit/LogindInhibitor.h"

namespace veska::platform {
namespace {

/// Waits (for real, up to two seconds) until `done()` holds.
template <class Pred>
bool eventually(Pred done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (std::chrono::steady_clock::now() < deadline) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
}

class Inhibitor : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(bus.address().empty()) << "dbus-daemon did not start"; }
    testing::PrivateBus bus;
};

TEST_F(Inhibitor, AnActivityHoldsAnIdleLockUntilItEnds) {
    testing::FakeLogind logind(bus.address());
    ASSERT_TRUE(logind.ready());
    LogindInhibitor inhibitor(bus.address());
    auto activity = inhibitor.begin("Reading text aloud");
    ASSERT_TRUE(inhibitor.settle(5));
    ASSERT_EQ(logind.calls().size(), 1u);
    const auto call = logind.calls()[0];
    EXPECT_EQ(call.what, "idle");
    EXPECT_EQ(call.who, "Veska");
    EXPECT_EQ(call.why, "Reading text aloud");
    EXPECT_EQ(call.mode, "block");
    EXPECT_TRUE(logind.held(0));
    auto second = inhibitor.begin("Reading text aloud");
    ASSERT_TRUE(inhibitor.settle(5));
    activity.reset();
    EXPECT_TRUE(eventually([&] { return !logind.held(0); }));
    EXPECT_TRUE(logind.held(1)) << "each activity has its own lock";
    second.reset();
    EXPECT_TRUE(eventually([&] { return !logind.held(1); }));
}

TEST_F(Inhibitor, AnActivityEndedBeforeLogindAnswersLeavesNoLock) {
    testing::FakeLogind logind(bus.address(), /*replyDelayMs=*/300);
    ASSERT_TRUE(logind.ready());
    LogindInhibitor inhibitor(bus.address());
    auto activity = inhibitor.begin("Reading text aloud");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    activity.reset();  // the call is still on its way
    ASSERT_TRUE(inhibitor.settle(5));
    ASSERT_EQ(logind.calls().size(), 1u);
    EXPECT_TRUE(eventually([&] { return !logind.held(0); })) << "the late lock is closed on arrival";
}

TEST_F(Inhibitor, WithoutLogindActivitiesAreHeldSilently) {
    struct Row {
        const char* what;
        std::optional<std::string> address;
    };
    const std::vector<Row> rows = {
        {"a bus without logind", bus.address()},
        {"no bus at that address", std::string("unix:path=/nonexistent/veska/bus")},
        {"an address that is not D-Bus", std::string("not an address")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        LogindInhibitor inhibitor(row.address);
        auto activity = inhibitor.begin("Reading text aloud");
        EXPECT_NE(activity, nullptr);
        EXPECT_TRUE(inhibitor.settle(5));
        activity.reset();
    }
}

TEST_F(Inhibitor, DestroyingTheInhibitorWithActivitiesQueuedIsSafe) {
    testing::FakeLogind logind(bus.address(), /*replyDelayMs=*/100);
    ASSERT_TRUE(logind.ready());
    std::vector<std::unique_ptr<ports::Activity>> activities;
    {
        LogindInhibitor inhibitor(bus.address());
        for (int i = 0; i < 5; ++i) activities.push_back(inhibitor.begin("Reading text aloud"));
    }
    activities.clear();
    EXPECT_TRUE(eventually([&] {
        for (std::size_t i = 0; i < logind.calls().size(); ++i) {
            if (logind.held(i)) return false;
        }
        return true;
    }));
    EXPECT_LE(logind.calls().size(), 5u);
}

}  // namespace
}  // namespace veska::platform
