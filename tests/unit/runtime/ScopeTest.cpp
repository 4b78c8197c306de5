// Scopes on the virtual loop: waiting for them to drain, and which tasks a cancellation reaches.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/Sleep.h"
#include "runtime/Spawn.h"
#include "runtime/VirtualLoop.h"

using namespace veska::rt;

namespace {

Task<void> nap(std::vector<std::string>* trace, int id, double seconds) {
    try {
        co_await sleepFor(seconds);
    } catch (const Cancelled&) {
        trace->push_back("cancelled " + std::to_string(id));
        throw;
    }
}

Task<void> awaitDrained(Scope* scope, std::vector<std::string>* trace, Executor* clock) {
    try {
        co_await scope->drained();
        trace->push_back("drained at " + std::to_string(static_cast<int>(clock->now() * 10)));
    } catch (const Cancelled&) {
        trace->push_back("waiter cancelled at " + std::to_string(static_cast<int>(clock->now() * 10)));
        throw;
    }
}

}  // namespace

TEST(Scope, DrainedResumesWhenTheLastTaskEndsHoweverItEnds) {
    struct Row {
        const char* name;
        std::vector<double> sleeps;
        double cancelAllAt;     // negative: never
        double cancelWaiterAt;  // negative: never
        double destroyAt;       // negative: never
        std::string last;       // the waiter's last trace line (times in tenths)
    };
    const std::vector<Row> rows = {
        {"empty scope", {}, -1, -1, -1, "drained at 0"},
        {"tasks end in their own time", {1, 3, 2}, -1, -1, -1, "drained at 30"},
        {"cancelled tasks unwind first", {1, 3, 2}, 1.5, -1, -1, "drained at 15"},
        {"waiter cancelled, tasks go on", {1, 3, 2}, -1, 1.5, -1, "waiter cancelled at 15"},
        {"scope destroyed under the waiter", {1, 3, 2}, -1, -1, 2.5, "drained at 25"},
    };
    for (const Row& row : rows) {
        VirtualLoop loop;
        std::vector<std::string> trace;
        auto scope = std::make_unique<Scope>();
        for (std::size_t i = 0; i < row.sleeps.size(); ++i) scope->start(loop.main(), nap(&trace, static_cast<int>(i), row.sleeps[i]));
        JoinHandle<void> waiter = spawn(loop.lane("owner"), awaitDrained(scope.get(), &trace, &loop.main()));
        Timer cancelAll = loop.main().postAfter(row.cancelAllAt, [&scope] { scope->cancelAll(); });
        Timer cancelWaiter = loop.main().postAfter(row.cancelWaiterAt, [&waiter] { waiter.cancel(); });
        Timer destroy = loop.main().postAfter(row.destroyAt, [&scope] { scope.reset(); });
        if (row.cancelAllAt < 0) cancelAll.cancel();
        if (row.cancelWaiterAt < 0) cancelWaiter.cancel();
        if (row.destroyAt < 0) destroy.cancel();
        loop.runFor(10);
        ASSERT_FALSE(trace.empty()) << row.name;
        EXPECT_EQ(trace.back(), row.last) << row.name;
        if (scope) EXPECT_EQ(scope->size(), 0u) << row.name;
        EXPECT_TRUE(waiter.done()) << row.name;
    }
}

TEST(Scope, CancelAllReachesExactlyTheTasksStillRunningInSpawnOrder) {
    // Many tasks ending in a scrambled order leave and reuse the scope's bookkeeping many times.
    VirtualLoop loop;
    std::vector<std::string> trace;
    Scope scope;
    constexpr int kTasks = 200;
    std::vector<std::string> expected;
    for (int i = 0; i < kTasks; ++i) {
        const int seconds = (i * 37) % kTasks + 1;
        scope.start(loop.main(), nap(&trace, i, seconds));
        if (seconds > 150) expected.push_back("cancelled " + std::to_string(i));
    }
    loop.runFor(150.5);
    EXPECT_EQ(scope.size(), expected.size());
    scope.cancelAll();
    loop.runUntilIdle();
    EXPECT_EQ(trace, expected);
    EXPECT_EQ(scope.size(), 0u);
    for (int i = 0; i < 3; ++i) scope.start(loop.main(), nap(&trace, 1000 + i, 1));
    EXPECT_EQ(scope.size(), 3u);
    loop.runFor(2);
    EXPECT_EQ(scope.size(), 0u);
}
