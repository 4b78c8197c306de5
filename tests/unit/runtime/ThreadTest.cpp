// Real threads: posts from other threads, completions resolved elsewhere, thread executors.
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>
#include <vector>

#include "runtime/Channel.h"
#include "runtime/Completion.h"
#include "runtime/Spawn.h"
#include "runtime/ThreadExecutor.h"
#include "runtime/VirtualLoop.h"

using namespace veska::rt;

namespace {
Task<int> awaitCompletion(Completion<int> completion) {
    const int value = co_await completion.wait();
    co_return value;
}

Task<int> drain(Channel<int> channel) {
    int total = 0;
    while (auto value = co_await channel.receive()) total += *value;
    co_return total;
}
}  // namespace

TEST(Threads, PostsFromAnotherThreadAllArriveInTheirOrder) {
    VirtualLoop loop;
    std::vector<int> seen;
    std::thread producer([&] {
        for (int i = 0; i < 1000; ++i) loop.main().post([&seen, i] { seen.push_back(i); });
    });
    producer.join();
    loop.runUntilIdle();
    ASSERT_EQ(seen.size(), 1000u);
    for (int i = 0; i < 1000; ++i) EXPECT_EQ(seen[i], i);
}

TEST(Threads, CompletionResolvedOnAnotherThreadResumesOnTheTasksExecutor) {
    ThreadExecutor executor("veska.test");
    Completion<int> completion;
    std::promise<std::pair<int, bool>> result;
    auto body = [](Completion<int> c, Executor* expected, std::promise<std::pair<int, bool>>* out) -> Task<void> {
        const int value = co_await c.wait();
        out->set_value({value, Executor::current() == expected});
    };
    JoinHandle<void> handle = spawn(executor, body(completion, &executor, &result));
    std::thread resolver([completion]() mutable { completion.resolve(41 + 1); });
    resolver.join();
    auto [value, onExecutor] = result.get_future().get();
    EXPECT_EQ(value, 42);
    EXPECT_TRUE(onExecutor);
}

TEST(Threads, ChannelFedByManyThreadsLosesNothing) {
    ThreadExecutor executor("veska.sum");
    Channel<int> channel;
    JoinHandle<int> handle = spawn(executor, drain(channel));
    std::vector<std::thread> producers;
    for (int t = 0; t < 4; ++t) {
        producers.emplace_back([channel]() mutable {
            for (int i = 1; i <= 1000; ++i) channel.send(i);
        });
    }
    for (auto& producer : producers) producer.join();
    channel.close();
    std::promise<int> total;
    auto joiner = [](JoinHandle<int>* h, std::promise<int>* out) -> Task<void> {
        out->set_value(co_await h->join());
    };
    JoinHandle<void> waiter = spawn(executor, joiner(&handle, &total));
    EXPECT_EQ(total.get_future().get(), 4 * 500500);
}

TEST(Threads, ThreadExecutorFiresTimersInDeadlineOrderAndDropsCancelledOnes) {
    ThreadExecutor executor("veska.timers");
    std::mutex mutex;
    std::vector<int> order;
    std::promise<void> done;
    auto push = [&](int v) {
        std::lock_guard lock(mutex);
        order.push_back(v);
    };
    Timer late = executor.postAfter(0.03, [&] { push(3); });
    Timer cancelled = executor.postAfter(0.01, [&] { push(99); });
    Timer early = executor.postAfter(0.0, [&] { push(1); });
    Timer middle = executor.postAfter(0.02, [&] { push(2); });
    Timer last = executor.postAfter(0.04, [&] { done.set_value(); });
    cancelled.cancel();
    done.get_future().wait();
    std::lock_guard lock(mutex);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST(Threads, CancelFromAnotherThreadStopsAWaitingTask) {
    ThreadExecutor executor("veska.cancel");
    Completion<int> never;
    JoinHandle<int> handle = spawn(executor, awaitCompletion(never));
    std::thread canceller([&] { handle.cancel(); });
    canceller.join();
    std::promise<Outcome> outcome;
    auto joiner = [](JoinHandle<int>* h, std::promise<Outcome>* out) -> Task<void> {
        co_await h->ended();
        out->set_value(h->outcome());
    };
    JoinHandle<void> waiter = spawn(executor, joiner(&handle, &outcome));
    EXPECT_EQ(outcome.get_future().get(), Outcome::cancelled);
}
