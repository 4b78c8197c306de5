// RunLoop: callbacks and timers run on the thread that pumps it, for as long as it pumps.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "runtime/RunLoop.h"
#include "runtime/Sleep.h"
#include "runtime/Spawn.h"

namespace veska::rt {

namespace {

Task<int> sleepThenAnswer(double seconds) {
    co_await sleepFor(seconds);
    co_return 42;
}

}  // namespace

TEST(RunLoop, WorkPostedFromAnotherThreadRunsOnThePumpingThreadInOrder) {
    RunLoop loop;
    std::vector<int> seen;
    std::vector<std::thread::id> threads;
    std::thread poster([&] {
        for (int i = 0; i < 3; ++i) {
            loop.post([&, i] {
                seen.push_back(i);
                threads.push_back(std::this_thread::get_id());
            });
        }
    });
    EXPECT_TRUE(loop.runUntil([&] { return seen.size() == 3; }, 5));
    poster.join();
    EXPECT_EQ(seen, (std::vector<int>{0, 1, 2}));
    for (auto id : threads) EXPECT_EQ(id, std::this_thread::get_id());
}

TEST(RunLoop, TimersFireInDeadlineOrderOnlyWhilePumpedAndCancelledOnesNever) {
    RunLoop loop;
    std::vector<std::string> fired;
    Timer late = loop.postAfter(0.03, [&] { fired.push_back("late"); });
    Timer early = loop.postAfter(0.01, [&] { fired.push_back("early"); });
    Timer cancelled = loop.postAfter(0.02, [&] { fired.push_back("cancelled"); });
    Timer far = loop.postAfter(10, [&] { fired.push_back("far"); });
    cancelled.cancel();
    EXPECT_TRUE(fired.empty()) << "nothing runs until the loop is pumped";
    loop.runFor(0.1);
    EXPECT_EQ(fired, (std::vector<std::string>{"early", "late"}));
}

TEST(RunLoop, RunUntilGivesUpAfterItsTimeAndTasksSleepOnRealTime) {
    RunLoop loop;
    const double start = loop.now();
    EXPECT_FALSE(loop.runUntil([] { return false; }, 0.02));
    EXPECT_GE(loop.now() - start, 0.02);
    auto handle = spawn(loop, sleepThenAnswer(0.02));
    EXPECT_TRUE(loop.runUntil([&] { return handle.done(); }, 5));
    EXPECT_EQ(handle.take(), 42);
    bool current = false;
    loop.post([&] { current = loop.isCurrent(); });
    loop.runFor(0);
    EXPECT_TRUE(current);
    EXPECT_FALSE(loop.isCurrent()) << "only while pumping";
}

}  // namespace veska::rt
