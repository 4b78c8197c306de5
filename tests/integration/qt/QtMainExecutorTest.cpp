// The main executor on Qt's event loop: order, timers, cancellation, tasks, other threads.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <atomic>
#include <thread>

#include "platform/linux/qt/QtMainExecutor.h"
#include "runtime/Sleep.h"
#include "runtime/Spawn.h"

namespace veska::platform {
namespace {

/// Runs Qt's event loop until `done` holds or two seconds pass.
template <class F>
void spinUntil(F done) {
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.start(2000);
    while (!done() && deadline.isActive()) loop.processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
}

class QtMainExecutorTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "qt_adapter_tests";
        static char* argv[] = {name, nullptr};
        if (QCoreApplication::instance() == nullptr) new QCoreApplication(argc, argv);
    }
};

TEST_F(QtMainExecutorTest, CallbacksRunInOrderOnTheGuiThreadWhoeverPostsThem) {
    QtMainExecutor main;
    std::vector<int> order;
    std::atomic<int> done{0};
    const auto gui = std::this_thread::get_id();
    bool allOnGui = true;
    std::thread other([&] {
        for (int i = 0; i < 3; ++i) {
            main.post([&, i] {
                order.push_back(i);
                allOnGui = allOnGui && std::this_thread::get_id() == gui && main.isCurrent();
                ++done;
            });
        }
    });
    other.join();
    spinUntil([&] { return done == 3; });
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
    EXPECT_TRUE(allOnGui);
    EXPECT_FALSE(main.isCurrent()) << "only while running one of its callbacks";
}

TEST_F(QtMainExecutorTest, TimersFireByDeadlineAndCancelledOnesNever) {
    QtMainExecutor main;
    std::vector<std::string> fired;
    rt::Timer late = main.postAfter(0.06, [&] { fired.push_back("late"); });
    rt::Timer early = main.postAfter(0.02, [&] { fired.push_back("early"); });
    rt::Timer cancelled = main.postAfter(0.01, [&] { fired.push_back("cancelled"); });
    cancelled.cancel();
    const double start = main.now();
    spinUntil([&] { return fired.size() == 2; });
    EXPECT_EQ(fired, (std::vector<std::string>{"early", "late"}));
    EXPECT_GE(main.now() - start, 0.059);
    EXPECT_GT(main.wallNow(), 1.7e9);
}

TEST_F(QtMainExecutorTest, TasksSleepAndResumeOnIt) {
    QtMainExecutor main;
    bool finished = false;
    bool resumedOnMain = false;
    auto task = [](QtMainExecutor& executor, bool& onMain, bool& end) -> rt::Task<void> {
        co_await rt::sleepFor(0.01);
        onMain = executor.isCurrent();
        end = true;
    };
    rt::JoinHandle<void> handle;
    main.post([&] { handle = rt::spawn(main, task(main, resumedOnMain, finished)); });
    spinUntil([&] { return finished; });
    EXPECT_TRUE(finished);
    EXPECT_TRUE(resumedOnMain);
}

}  // namespace
}  // namespace veska::platform
