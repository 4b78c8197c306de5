// Cancellation: from outside and inside, while sleeping, racing and receiving, and destruction.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "runtime/Channel.h"
#include "runtime/Race.h"
#include "runtime/VirtualLoop.h"

using namespace veska::rt;

namespace {

/// Appends to a trace when destroyed: shows when a frame's locals die.
struct Sentinel {
    std::vector<std::string>* trace;
    std::string label;
    ~Sentinel() { trace->push_back(label); }
};

Task<int> sleeper(std::vector<std::string>* trace, std::string label, double seconds, int value) {
    Sentinel sentinel{trace, label + " gone"};
    co_await sleepFor(seconds);
    trace->push_back(label + " woke");
    co_return value;
}

Task<std::optional<int>> receiver(Channel<int> channel) {
    std::optional<int> value = co_await channel.receive();
    co_return value;
}

Task<int> swallower(int* awaitsAfterCatch) {
    try {
        co_await sleepFor(10);
    } catch (...) {
        // A handler that swallows everything: the next await must still refuse to go on.
    }
    ++*awaitsAfterCatch;
    co_await sleepFor(1);
    ++*awaitsAfterCatch;
    co_return 1;
}

Task<void> cancelsItself(JoinHandle<void>** self, std::vector<std::string>* trace) {
    (*self)->cancel();
    trace->push_back("still running until the next await");
    co_await yieldNow();
    trace->push_back("never");
}

}  // namespace

TEST(Cancellation, FromOutsideWhileSleepingWithdrawsTheTimer) {
    VirtualLoop loop;
    std::vector<std::string> trace;
    JoinHandle<int> handle = spawn(loop.main(), sleeper(&trace, "s", 90, 1));
    loop.runFor(1);
    handle.cancel();
    loop.runUntilIdle();
    EXPECT_EQ(handle.outcome(), Outcome::cancelled);
    EXPECT_EQ(trace, std::vector<std::string>{"s gone"});
    EXPECT_FALSE(loop.hasPendingTimers());
    EXPECT_DOUBLE_EQ(loop.now(), 1);
}

TEST(Cancellation, FromInsideTakesEffectAtTheNextAwait) {
    VirtualLoop loop;
    std::vector<std::string> trace;
    JoinHandle<void> handle;
    JoinHandle<void>* self = &handle;
    handle = spawn(loop.main(), cancelsItself(&self, &trace));
    loop.runUntilIdle();
    EXPECT_EQ(handle.outcome(), Outcome::cancelled);
    EXPECT_EQ(trace, std::vector<std::string>{"still running until the next await"});
}

TEST(Cancellation, GenericHandlerCannotSwallowIt) {
    VirtualLoop loop;
    int awaitsAfterCatch = 0;
    JoinHandle<int> handle = spawn(loop.main(), swallower(&awaitsAfterCatch));
    loop.runFor(1);
    handle.cancel();
    loop.runFor(5);
    EXPECT_EQ(awaitsAfterCatch, 1);
    EXPECT_EQ(handle.outcome(), Outcome::cancelled);
}

TEST(Cancellation, WhileReceivingLeavesLaterValuesForOthers) {
    VirtualLoop loop;
    Channel<int> channel;
    JoinHandle<std::optional<int>> first = spawn(loop.main(), receiver(channel));
    loop.runUntilIdle();
    first.cancel();
    loop.runUntilIdle();
    EXPECT_EQ(first.outcome(), Outcome::cancelled);
    channel.send(7);
    EXPECT_EQ(loop.run(receiver(channel)), std::optional<int>(7));
}

TEST(Cancellation, ValueHandedOverAsTheReceiverIsCancelledIsNotLost) {
    VirtualLoop loop;
    Channel<int> channel;
    JoinHandle<std::optional<int>> first = spawn(loop.main(), receiver(channel));
    loop.runUntilIdle();
    channel.send(1);  // handed to the waiting receiver; its wake-up is queued
    first.cancel();   // the cancellation is queued behind it
    loop.runUntilIdle();
    EXPECT_EQ(first.outcome(), Outcome::cancelled);
    EXPECT_EQ(channel.tryReceive(), std::optional<int>(1));
}

TEST(Cancellation, ClosedChannelEndsReceiversWithNothing) {
    VirtualLoop loop;
    Channel<int> channel;
    JoinHandle<std::optional<int>> waiting = spawn(loop.main(), receiver(channel));
    loop.runUntilIdle();
    channel.send(3);
    loop.runUntilIdle();
    EXPECT_EQ(waiting.take(), std::optional<int>(3));
    JoinHandle<std::optional<int>> second = spawn(loop.main(), receiver(channel));
    loop.runUntilIdle();
    channel.close();
    loop.runUntilIdle();
    EXPECT_EQ(second.take(), std::nullopt);
    EXPECT_FALSE(channel.send(4));
}

TEST(Cancellation, RaceCancelsAndAwaitsTheLoserBeforeReturning) {
    VirtualLoop loop;
    std::vector<std::string> trace;
    auto racer = [](std::vector<std::string>* t) -> Task<std::size_t> {
        auto result = co_await race(sleeper(t, "fast", 1, 1), sleeper(t, "slow", 5, 2));
        t->push_back("race returned");
        co_return result.index();
    };
    EXPECT_EQ(loop.run(racer(&trace)), 0u);
    EXPECT_EQ(trace, (std::vector<std::string>{"fast woke", "fast gone", "slow gone", "race returned"}));
    EXPECT_DOUBLE_EQ(loop.now(), 1);
    EXPECT_FALSE(loop.hasPendingTimers());
}

TEST(Cancellation, RaceRethrowsTheWinnersError) {
    VirtualLoop loop;
    auto failer = []() -> Task<int> {
        co_await sleepFor(0.5);
        throw std::logic_error("first");
    };
    auto racer = [](Task<int> a) -> Task<int> {
        std::vector<std::string> ignored;
        auto result = co_await race(std::move(a), sleeper(&ignored, "s", 3, 9));
        co_return std::get<1>(result);
    };
    EXPECT_THROW(loop.run(racer(failer())), std::logic_error);
}

TEST(Cancellation, CancellingARaceStopsBothChildrenFirst) {
    VirtualLoop loop;
    std::vector<std::string> trace;
    auto racer = [](std::vector<std::string>* t) -> Task<void> {
        Sentinel sentinel{t, "race frame gone"};
        co_await race(sleeper(t, "a", 5, 1), sleeper(t, "b", 6, 2));
        t->push_back("never");
    };
    JoinHandle<void> handle = spawn(loop.main(), racer(&trace));
    loop.runFor(1);
    handle.cancel();
    loop.runUntilIdle();
    EXPECT_EQ(handle.outcome(), Outcome::cancelled);
    EXPECT_EQ(trace, (std::vector<std::string>{"a gone", "b gone", "race frame gone"}));
}

TEST(Cancellation, RaceOfReceiveAndSleepActsAsATimeout) {
    VirtualLoop loop;
    Channel<int> channel;
    auto next = [](Channel<int> ch) -> Task<std::string> {
        auto timeout = []() -> Task<void> { co_await sleepFor(10); };
        auto result = co_await race(receiver(ch), timeout());
        co_return result.index() == 0 ? "value" : "timeout";
    };
    EXPECT_EQ(loop.run(next(channel)), "timeout");
    EXPECT_DOUBLE_EQ(loop.now(), 10);
    loop.main().postAfter(2, [channel]() mutable { channel.send(5); }).release();
    EXPECT_EQ(loop.run(next(channel)), "value");
    EXPECT_EQ(channel.size(), 0u);
}

TEST(Cancellation, DestroyingAScopeDestroysSuspendedTasksAtOnce) {
    VirtualLoop loop;
    std::vector<std::string> trace;
    Channel<int> channel;
    {
        Scope scope;
        scope.start(loop.main(), sleeper(&trace, "sleeping", 30, 1));
        scope.start(loop.main(), receiver(channel));
        loop.runUntilIdle();
        EXPECT_EQ(scope.size(), 2u);
    }
    EXPECT_EQ(trace, std::vector<std::string>{"sleeping gone"});
    EXPECT_FALSE(loop.hasPendingTimers());
    channel.send(1);  // no receiver is registered any more: the value waits in the queue
    EXPECT_EQ(channel.size(), 1u);
    loop.runFor(60);
    EXPECT_EQ(trace, std::vector<std::string>{"sleeping gone"});
}

TEST(Cancellation, DestroyingAnUnstartedOrSuspendedTaskObjectIsSafe) {
    VirtualLoop loop;
    std::vector<std::string> trace;
    { Task<int> neverStarted = sleeper(&trace, "idle", 1, 1); }
    EXPECT_TRUE(trace.empty());  // locals of a frame that never ran were never built
    auto outer = [](std::vector<std::string>* t) -> Task<void> {
        Task<int> inner = sleeper(t, "inner", 5, 1);
        co_await std::move(inner);
    };
    {
        Scope scope;
        scope.start(loop.main(), outer(&trace));
        loop.runFor(1);
    }
    EXPECT_EQ(trace, std::vector<std::string>{"inner gone"});
    EXPECT_FALSE(loop.hasPendingTimers());
}

TEST(Cancellation, DroppingTheHandleCancelsAndTheTaskUnwinds) {
    VirtualLoop loop;
    std::vector<std::string> trace;
    { JoinHandle<int> dropped = spawn(loop.main(), sleeper(&trace, "dropped", 20, 1)); }
    loop.runFor(30);
    EXPECT_EQ(trace, std::vector<std::string>{"dropped gone"});
}
