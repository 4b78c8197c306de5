// Scopes whose tasks run on real threads: destroyed, cancelled, spawned into and drained while
// their tasks finish on other threads at the same moment.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>
#include <vector>

#include "runtime/Completion.h"
#include "runtime/RunOn.h"
#include "runtime/Spawn.h"
#include "runtime/ThreadExecutor.h"

using namespace veska::rt;

namespace {

/// A few worker threads, and a way to let everything already posted to them run.
class Workers {
public:
    explicit Workers(int count) {
        for (int i = 0; i < count; ++i) threads_.push_back(std::make_unique<ThreadExecutor>("worker" + std::to_string(i)));
    }
    Executor& operator[](std::size_t i) { return *threads_[i % threads_.size()]; }
    std::vector<Executor*> all() {
        std::vector<Executor*> executors;
        for (auto& thread : threads_) executors.push_back(thread.get());
        return executors;
    }
    /// Returns once every callback queued on every worker before the call (and what those
    /// queue in turn, a few hops deep) has run.
    void flush() {
        for (int pass = 0; pass < 3; ++pass) {
            for (auto& thread : threads_) {
                std::promise<void> reached;
                thread->post([&reached] { reached.set_value(); });
                reached.get_future().wait();
            }
        }
    }

private:
    std::vector<std::unique_ptr<ThreadExecutor>> threads_;
};

/// Waits for a condition another thread makes true; fails the test instead of hanging.
template <class Pred>
bool eventually(Pred pred) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::yield();
    }
    return true;
}

/// What the tasks of a round report: frames alive, slices run, and slices run too late.
struct Probe {
    std::atomic<int> frames{0};
    std::atomic<int> slices{0};
    std::atomic<bool> ownerGone{false};
    std::atomic<int> lateSlices{0};
    std::atomic<int> cancelledSeen{0};
    std::atomic<int> wrongThread{0};

    void slice() {
        if (ownerGone) ++lateSlices;
        ++slices;
    }
};

struct FrameMark {
    explicit FrameMark(Probe* p) : probe(p) { ++probe->frames; }
    ~FrameMark() { --probe->frames; }
    FrameMark(const FrameMark&) = delete;
    FrameMark& operator=(const FrameMark&) = delete;
    Probe* probe;
};

/// Runs `steps` slices, hopping between the workers every third one.
Task<void> hopper(Probe* probe, std::vector<Executor*> executors, int steps) {
    FrameMark mark(probe);
    for (int i = 0; i < steps; ++i) {
        probe->slice();
        if (i % 3 == 2) {
            co_await resumeOn(*executors[static_cast<std::size_t>(i) % executors.size()]);
        } else {
            co_await yieldNow();
        }
    }
    probe->slice();
}

/// Hops between the workers until cancelled, checking every slice runs where the task is.
Task<void> wanderer(Probe* probe, std::vector<Executor*> executors) {
    FrameMark mark(probe);
    for (std::size_t i = 0;; ++i) {
        Executor* target = executors[i % executors.size()];
        bool cancelled = false;
        try {
            co_await resumeOn(*target);
        } catch (const Cancelled&) {
            cancelled = true;
        }
        Executor& here = co_await currentExecutor();
        if (&here != Executor::current() || &here != target) ++probe->wrongThread;
        if (cancelled) {
            ++probe->cancelledSeen;
            throw Cancelled{};
        }
        probe->slice();
    }
}

Task<int> echo(int value, int yields) {
    for (int i = 0; i < yields; ++i) co_await yieldNow();
    co_return value;
}

Task<void> finishAtOnce(std::atomic<int>* finished) {
    ++*finished;
    co_return;
}

}  // namespace

TEST(ScopeAcrossThreads, DestroyingTheScopeStopsEveryTaskOnEveryThreadBeforeItReturns) {
    Workers workers(3);
    Probe probe;
    for (int round = 0; round < 400; ++round) {
        probe.ownerGone = false;
        probe.slices = 0;
        auto scope = std::make_unique<Scope>();
        for (int child = 0; child < 6; ++child) {
            // Short tasks finish while the scope is being destroyed; long ones are mid-slice.
            const int steps = child % 2 == 0 ? 1 : 40;
            scope->start(workers[static_cast<std::size_t>(child)], hopper(&probe, workers.all(), steps));
        }
        const int target = (round % 8) * 6;
        ASSERT_TRUE(eventually([&] { return probe.slices >= target; }));
        scope.reset();
        probe.ownerGone = true;
        ASSERT_EQ(probe.frames, 0) << "round " << round;
    }
    workers.flush();
    EXPECT_EQ(probe.lateSlices, 0);
}

TEST(ScopeAcrossThreads, SpawningWhileTasksLeaveOnOtherThreadsLosesNoneAndKeepsNoneTooLong) {
    Workers workers(2);
    std::atomic<int> finished{0};
    Scope scope;
    constexpr int kTasks = 20000;
    for (int i = 0; i < kTasks; ++i) scope.start(workers[static_cast<std::size_t>(i)], finishAtOnce(&finished));
    ASSERT_TRUE(eventually([&] { return finished == kTasks; }));
    workers.flush();
    EXPECT_EQ(scope.size(), 0u);
}

TEST(ScopeAcrossThreads, CancellingTheScopeWhileTasksFinishGivesEachOneOutcome) {
    Workers workers(3);
    for (int round = 0; round < 300; ++round) {
        Scope scope;
        std::vector<JoinHandle<int>> handles;
        for (int i = 0; i < 8; ++i) handles.push_back(scope.spawn(workers[static_cast<std::size_t>(i)], echo(i, i % 4)));
        if (round % 2 == 1) std::this_thread::yield();
        scope.cancelAll();
        ASSERT_TRUE(eventually([&] {
            for (auto& handle : handles) {
                if (!handle.done()) return false;
            }
            return true;
        }));
        for (int i = 0; i < 8; ++i) {
            const Outcome outcome = handles[static_cast<std::size_t>(i)].outcome();
            ASSERT_TRUE(outcome == Outcome::value || outcome == Outcome::cancelled) << "round " << round;
            if (outcome == Outcome::value) EXPECT_EQ(handles[static_cast<std::size_t>(i)].take(), i);
        }
        workers.flush();
        EXPECT_EQ(scope.size(), 0u);
    }
}

TEST(ScopeAcrossThreads, ATaskDestroyingItsOwnScopeIsCancelledAndItsSiblingsAreGone) {
    Workers workers(3);
    struct Owner {
        Probe* probe;
        Scope scope;  // last member: its tasks stop before the fields above die
    };
    auto destroyer = [](Owner* owner, Probe* probe) -> Task<void> {
        FrameMark mark(probe);
        co_await yieldNow();
        delete owner;
        try {
            co_await yieldNow();
        } catch (const Cancelled&) {
            ++probe->cancelledSeen;
            throw;
        }
    };
    Probe probe;
    constexpr int kRounds = 1000;
    for (int round = 0; round < kRounds; ++round) {
        probe.ownerGone = false;
        auto* owner = new Owner{&probe, {}};
        for (int child = 1; child < 5; ++child) owner->scope.start(workers[static_cast<std::size_t>(child)], hopper(&probe, workers.all(), 30));
        owner->scope.start(workers[0], destroyer(owner, &probe));
        ASSERT_TRUE(eventually([&] { return probe.frames == 0; })) << "round " << round;
    }
    workers.flush();
    EXPECT_EQ(probe.cancelledSeen, kRounds);
}

TEST(ScopeAcrossThreads, RunOnStoppedAsItsWorkFinishesEndsOnceAndLeavesNothingBehind) {
    // The caller is stopped either by cancelling it (it unwinds on its own executor) or by
    // destroying its owner's scope (its frame and the work's are destroyed at once).
    Workers workers(2);
    ThreadExecutor caller("caller");
    auto work = [](Probe* p) -> Task<int> {
        FrameMark mark(p);
        p->slice();
        co_await yieldNow();
        p->slice();
        co_return 7;
    };
    auto call = [](Executor* queue, Task<int> job, Probe* p) -> Task<int> {
        FrameMark mark(p);
        const int value = co_await runOn(*queue, std::move(job));
        co_return value;
    };
    for (const bool destroy : {false, true}) {
        Probe probe;
        for (int round = 0; round < 600; ++round) {
            probe.ownerGone = false;
            auto scope = std::make_unique<Scope>();
            JoinHandle<int> handle = scope->spawn(caller, call(&workers[static_cast<std::size_t>(round)], work(&probe), &probe));
            for (int spin = 0; spin < round % 40; ++spin) std::this_thread::yield();
            if (destroy) {
                scope.reset();
                probe.ownerGone = true;
                ASSERT_EQ(probe.frames, 0) << "round " << round;
            } else {
                handle.cancel();
            }
            ASSERT_TRUE(eventually([&] { return handle.done(); }));
            if (handle.outcome() == Outcome::value) {
                EXPECT_EQ(handle.take(), 7);
            } else {
                ASSERT_EQ(handle.outcome(), Outcome::cancelled) << "round " << round;
            }
        }
        workers.flush();
        EXPECT_EQ(probe.frames, 0) << "destroy=" << destroy;
        EXPECT_EQ(probe.lateSlices, 0) << "destroy=" << destroy;
    }
}

TEST(ScopeAcrossThreads, CancellingATaskAsItHopsUnwindsItOnTheExecutorItHoppedTo) {
    Workers workers(3);
    Probe probe;
    constexpr int kRounds = 300;
    for (int round = 0; round < kRounds; ++round) {
        Scope scope;
        JoinHandle<void> handle = scope.spawn(workers[static_cast<std::size_t>(round)], wanderer(&probe, workers.all()));
        const int target = probe.slices + round % 20;
        ASSERT_TRUE(eventually([&] { return probe.slices >= target; }));
        handle.cancel();
        ASSERT_TRUE(eventually([&] { return handle.done(); }));
        ASSERT_EQ(handle.outcome(), Outcome::cancelled);
    }
    workers.flush();
    EXPECT_EQ(probe.wrongThread, 0);
    EXPECT_EQ(probe.cancelledSeen, kRounds);
    EXPECT_EQ(probe.frames, 0);
}

TEST(ScopeAcrossThreads, DrainedResumesTheOwnerOnlyOnceEveryTaskEndedOnItsThread) {
    Workers workers(3);
    ThreadExecutor owner("owner");
    struct Report {
        int finished = 0;
        std::size_t left = 0;
        bool onOwner = false;
    };
    auto body = [](std::vector<Executor*> executors, Executor* self, std::atomic<int>* finished, bool cancel) -> Task<Report> {
        Scope scope;
        constexpr int kTasks = 12;
        for (int i = 0; i < kTasks; ++i) {
            scope.start(*executors[static_cast<std::size_t>(i) % executors.size()], echo(i, i % 5));
            scope.start(*executors[static_cast<std::size_t>(i + 1) % executors.size()], finishAtOnce(finished));
        }
        if (cancel) scope.cancelAll();
        co_await scope.drained();
        co_return Report{finished->load(), scope.size(), Executor::current() == self};
    };
    for (int round = 0; round < 200; ++round) {
        std::atomic<int> finished{0};
        const bool cancel = round % 2 == 1;
        JoinHandle<Report> handle = spawn(owner, body(workers.all(), &owner, &finished, cancel));
        ASSERT_TRUE(eventually([&] { return handle.done(); }));
        const Report report = handle.take();
        EXPECT_EQ(report.left, 0u);
        EXPECT_TRUE(report.onOwner);
        // Cancelled before they started, tasks end without running their first slice.
        if (!cancel) EXPECT_EQ(report.finished, 12) << "round " << round;
    }
}
