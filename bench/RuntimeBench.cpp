// Cost of the runtime's basic moves: post-and-resume, timers, channel hand-over, spawn.
#include <benchmark/benchmark.h>

#include "runtime/Channel.h"
#include "runtime/RunOn.h"
#include "runtime/Sleep.h"
#include "runtime/Spawn.h"
#include "runtime/ThreadExecutor.h"
#include "runtime/VirtualLoop.h"

#include <future>

using namespace veska::rt;

namespace {

Task<void> yielder(int n) {
    for (int i = 0; i < n; ++i) co_await yieldNow();
}

Task<void> sleeper(int n) {
    for (int i = 0; i < n; ++i) co_await sleepFor(0.001);
}

Task<void> leaf() { co_return; }

Task<void> inlineAwaits(int n) {
    for (int i = 0; i < n; ++i) co_await leaf();
}

Task<int> drain(Channel<int> channel) {
    int total = 0;
    while (auto value = co_await channel.receive()) total += *value;
    co_return total;
}

// One post of a resumption and the resume itself, on the virtual loop.
void postAndResumeVirtual(benchmark::State& state) {
    VirtualLoop loop;
    for (auto _ : state) loop.run(yielder(1000));
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(postAndResumeVirtual);

// The same through a real thread's queue (lock, condition variable, wake-up).
void postAndResumeThread(benchmark::State& state) {
    ThreadExecutor executor("bench");
    for (auto _ : state) {
        std::promise<void> done;
        auto body = [](std::promise<void>* d) -> Task<void> {
            co_await yielder(1000);
            d->set_value();
        };
        JoinHandle<void> handle = spawn(executor, body(&done));
        done.get_future().wait();
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(postAndResumeThread)->UseRealTime();

// A plain post of a callback with no coroutine, for comparison.
void plainPostVirtual(benchmark::State& state) {
    VirtualLoop loop;
    int count = 0;
    for (auto _ : state) {
        for (int i = 0; i < 1000; ++i) loop.main().post([&count] { ++count; });
        loop.runUntilIdle();
    }
    benchmark::DoNotOptimize(count);
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(plainPostVirtual);

void inlineAwait(benchmark::State& state) {
    VirtualLoop loop;
    for (auto _ : state) loop.run(inlineAwaits(1000));
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(inlineAwait);

void timerSleep(benchmark::State& state) {
    VirtualLoop loop;
    for (auto _ : state) loop.run(sleeper(1000));
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(timerSleep);

void channelHandOver(benchmark::State& state) {
    VirtualLoop loop;
    for (auto _ : state) {
        Channel<int> channel;
        JoinHandle<int> handle = spawn(loop.main(), drain(channel));
        for (int i = 0; i < 1000; ++i) {
            channel.send(i);
            loop.runUntilIdle();
        }
        channel.close();
        loop.runUntilIdle();
        benchmark::DoNotOptimize(handle.take());
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(channelHandOver);

void spawnAndJoin(benchmark::State& state) {
    VirtualLoop loop;
    for (auto _ : state) {
        for (int i = 0; i < 1000; ++i) {
            JoinHandle<void> handle = spawn(loop.main(), leaf());
            loop.runUntilIdle();
        }
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(spawnAndJoin);

// Spawning into a scope: the scope's bookkeeping on top of a plain spawn.
void scopeSpawnAndFinish(benchmark::State& state) {
    VirtualLoop loop;
    Scope scope;
    for (auto _ : state) {
        for (int i = 0; i < 1000; ++i) scope.start(loop.main(), leaf());
        loop.runUntilIdle();
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(scopeSpawnAndFinish);

Task<void> races(int n) {
    for (int i = 0; i < n; ++i) co_await race(leaf(), yielder(1));
}

// A race: a scope of its own with two tasks, the loser cancelled and awaited.
void raceOfTwo(benchmark::State& state) {
    VirtualLoop loop;
    for (auto _ : state) loop.run(races(1000));
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(raceOfTwo);

Task<void> hops(Executor* queue, int n) {
    for (int i = 0; i < n; ++i) co_await runOn(*queue, leaf());
}

// runOn between two real threads: a scope whose child finishes on the other thread.
void runOnThread(benchmark::State& state) {
    ThreadExecutor main("bench.main");
    ThreadExecutor queue("bench.queue");
    for (auto _ : state) {
        std::promise<void> done;
        auto body = [](Executor* q, std::promise<void>* d) -> Task<void> {
            co_await hops(q, 1000);
            d->set_value();
        };
        JoinHandle<void> handle = spawn(main, body(&queue, &done));
        done.get_future().wait();
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(runOnThread)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
