// Tasks on the virtual loop: results, errors, ordering, determinism and deep synchronous chains.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "runtime/Sleep.h"
#include "runtime/Spawn.h"
#include "runtime/VirtualLoop.h"

using namespace veska::rt;

namespace {

Task<int> constant(int value) { co_return value; }

Task<int> sum(int a, int b) {
    const int x = co_await constant(a);
    const int y = co_await constant(b);
    co_return x + y;
}

Task<int> failing() {
    co_await yieldNow();
    throw std::runtime_error("boom");
}

Task<void> record(std::vector<std::string>* trace, std::string label, double delay) {
    co_await sleepFor(delay);
    trace->push_back(label + "@" + std::to_string(static_cast<int>(delay * 1000)));
}

Task<void> syncLeaf() { co_return; }

Task<int> manySyncAwaits(int n) {
    int count = 0;
    for (int i = 0; i < n; ++i) {
        co_await syncLeaf();
        ++count;
    }
    co_return count;
}

}  // namespace

TEST(Task, ValuesAndErrorsPropagateThroughNestedAwaits) {
    VirtualLoop loop;
    EXPECT_EQ(loop.run(sum(2, 3)), 5);
    EXPECT_THROW(loop.run(failing()), std::runtime_error);
}

TEST(Task, LazyUntilSpawnedAndStartsFromAFreshCallback) {
    VirtualLoop loop;
    bool started = false;
    auto body = [](bool* flag) -> Task<void> {
        *flag = true;
        co_return;
    };
    Task<void> task = body(&started);
    EXPECT_FALSE(started);
    JoinHandle<void> handle = spawn(loop.main(), std::move(task));
    EXPECT_FALSE(started);
    loop.runUntilIdle();
    EXPECT_TRUE(started);
    EXPECT_EQ(handle.outcome(), Outcome::value);
}

TEST(Task, TimersFireInDeadlineOrderAndFifoAmongEqualDeadlines) {
    VirtualLoop loop;
    std::vector<std::string> trace;
    Scope scope;
    scope.start(loop.main(), record(&trace, "c", 0.3));
    scope.start(loop.main(), record(&trace, "a", 0.1));
    scope.start(loop.lane("other"), record(&trace, "b1", 0.2));
    scope.start(loop.main(), record(&trace, "b2", 0.2));
    loop.runFor(1);
    EXPECT_EQ(trace, (std::vector<std::string>{"a@100", "b1@200", "b2@200", "c@300"}));
}

TEST(Task, PostsRunInOrderAcrossLanesAndTimeStandsStillUntilIdle) {
    VirtualLoop loop;
    std::vector<int> order;
    double seenAt = -1;
    loop.main().post([&] { order.push_back(1); });
    loop.lane("q").post([&] { order.push_back(2); });
    loop.main().postAfter(0, [&] {
        order.push_back(4);
        seenAt = loop.now();
    }).release();
    loop.main().post([&] { order.push_back(3); });
    loop.runFor(5);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_DOUBLE_EQ(seenAt, 0);
    EXPECT_DOUBLE_EQ(loop.now(), 5);
}

TEST(Task, HundredThousandSynchronousAwaitsDoNotGrowTheStack) {
    VirtualLoop loop;
    EXPECT_EQ(loop.run(manySyncAwaits(100000)), 100000);
}

TEST(Task, SameProgramGivesSameTraceTwice) {
    auto runOnce = [] {
        VirtualLoop loop;
        std::vector<std::string> trace;
        Scope scope;
        for (int i = 0; i < 20; ++i) {
            auto& lane = (i % 3 == 0) ? loop.main() : loop.lane("lane" + std::to_string(i % 3));
            scope.start(lane, record(&trace, std::to_string(i), 0.01 * ((i * 7) % 5)));
        }
        loop.runFor(1);
        return std::make_pair(trace, loop.callbacksRun());
    };
    EXPECT_EQ(runOnce(), runOnce());
}

TEST(Task, RepeatingTimerFiresUntilCancelled) {
    VirtualLoop loop;
    int ticks = 0;
    Timer timer = loop.main().every(3.0, [&] { ++ticks; });
    loop.runFor(10);
    EXPECT_EQ(ticks, 3);
    timer.cancel();
    loop.runFor(10);
    EXPECT_EQ(ticks, 3);
    EXPECT_FALSE(loop.hasPendingTimers());
}

TEST(Task, ResumeOnHopsToTheOtherExecutor) {
    VirtualLoop loop;
    auto hop = [](Executor* target) -> Task<std::string> {
        co_await resumeOn(*target);
        co_return Executor::current()->name();
    };
    EXPECT_EQ(loop.run(hop(&loop.lane("veska.live-typer"))), "veska.live-typer");
}

TEST(Task, ErrorOutcomeIsKeptForJoiners) {
    VirtualLoop loop;
    JoinHandle<int> handle = spawn(loop.main(), failing());
    auto waiter = [](JoinHandle<int>* h) -> Task<std::string> {
        try {
            co_await h->join();
        } catch (const std::runtime_error& error) {
            co_return error.what();
        }
        co_return "no error";
    };
    EXPECT_EQ(loop.run(waiter(&handle)), "boom");
    EXPECT_EQ(handle.outcome(), Outcome::error);
}
