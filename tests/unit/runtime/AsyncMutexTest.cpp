// AsyncMutex: exclusion across awaits, arrival order, and cancellation of waiters.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/AsyncMutex.h"
#include "runtime/Sleep.h"
#include "runtime/Spawn.h"
#include "runtime/VirtualLoop.h"

using namespace veska::rt;

namespace {
Task<void> critical(AsyncMutex* mutex, std::vector<std::string>* trace, std::string name, double hold) {
    AsyncMutex::Guard guard = co_await mutex->lock();
    trace->push_back(name + "+");
    co_await sleepFor(hold);
    trace->push_back(name + "-");
}
}  // namespace

TEST(AsyncMutex, HoldersNeverInterleaveAndWaitersGoInArrivalOrder) {
    VirtualLoop loop;
    AsyncMutex mutex;
    std::vector<std::string> trace;
    Scope scope;
    scope.start(loop.main(), critical(&mutex, &trace, "a", 1));
    scope.start(loop.lane("other"), critical(&mutex, &trace, "b", 1));
    scope.start(loop.main(), critical(&mutex, &trace, "c", 1));
    loop.runFor(10);
    EXPECT_EQ(trace, (std::vector<std::string>{"a+", "a-", "b+", "b-", "c+", "c-"}));
    EXPECT_FALSE(mutex.isLocked());
}

TEST(AsyncMutex, CancelledWaiterPassesTheLockOn) {
    VirtualLoop loop;
    AsyncMutex mutex;
    std::vector<std::string> trace;
    Scope scope;
    scope.start(loop.main(), critical(&mutex, &trace, "a", 1));
    JoinHandle<void> b = spawn(loop.main(), critical(&mutex, &trace, "b", 1));
    scope.start(loop.main(), critical(&mutex, &trace, "c", 1));
    loop.runFor(0.5);
    b.cancel();
    loop.runFor(10);
    EXPECT_EQ(b.outcome(), Outcome::cancelled);
    EXPECT_EQ(trace, (std::vector<std::string>{"a+", "a-", "c+", "c-"}));
    EXPECT_FALSE(mutex.isLocked());
}

TEST(AsyncMutex, CancellingTheHolderReleasesTheLock) {
    VirtualLoop loop;
    AsyncMutex mutex;
    std::vector<std::string> trace;
    JoinHandle<void> a = spawn(loop.main(), critical(&mutex, &trace, "a", 5));
    Scope scope;
    scope.start(loop.main(), critical(&mutex, &trace, "b", 1));
    loop.runFor(1);
    a.cancel();
    loop.runFor(3);
    EXPECT_EQ(trace, (std::vector<std::string>{"a+", "b+", "b-"}));
    EXPECT_FALSE(mutex.isLocked());
}

TEST(AsyncMutex, DestroyingAWaitingTaskLeavesTheQueueConsistent) {
    VirtualLoop loop;
    AsyncMutex mutex;
    std::vector<std::string> trace;
    Scope outer;
    outer.start(loop.main(), critical(&mutex, &trace, "a", 2));
    {
        Scope inner;
        inner.start(loop.main(), critical(&mutex, &trace, "gone", 1));
        loop.runFor(1);
    }
    outer.start(loop.main(), critical(&mutex, &trace, "c", 1));
    loop.runFor(10);
    EXPECT_EQ(trace, (std::vector<std::string>{"a+", "a-", "c+", "c-"}));
    EXPECT_FALSE(mutex.isLocked());
    EXPECT_TRUE(mutex.tryLock().has_value());
}
