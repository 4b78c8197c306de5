// Awaitables that move a task through time and between executors: sleep, yield, resumeOn.
#pragma once

#include "runtime/Task.h"

namespace veska::rt {

/// `co_await sleepFor(s)`: resumes after `s` seconds of the executor's clock; a cancelled task
/// wakes at once with `Cancelled` and its timer is withdrawn.
struct SleepFor {
    double seconds;

    class Awaiter : public detail::AwaiterBase {
    public:
        Awaiter(detail::TaskContext* ctx, double seconds) : AwaiterBase(ctx), seconds_(seconds) {}
        Awaiter(Awaiter&&) noexcept = default;
        bool await_ready() const { return cancelledBeforeSuspend(); }
        void await_suspend(std::coroutine_handle<> h) {
            detail::WakeToken token = hook(h);
            timer_ = ctx_->executor.load()->postAfter(seconds_, [token] { token.wakeHereIfCurrent(); });
        }
        void await_resume() const { throwIfCancelled(); }

    private:
        void withdraw() override { timer_.cancel(); }
        double seconds_;
        Timer timer_;
    };
    Awaiter bind(detail::TaskContext* ctx) && { return Awaiter(ctx, seconds); }
};

/// `co_await yieldNow()`: lets every callback already queued on the executor run first.
struct YieldNow {
    class Awaiter : public detail::AwaiterBase {
    public:
        using AwaiterBase::AwaiterBase;
        bool await_ready() const { return cancelledBeforeSuspend(); }
        void await_suspend(std::coroutine_handle<> h) { hook(h).wake(); }
        void await_resume() const { throwIfCancelled(); }

    private:
        void withdraw() override {}
    };
    Awaiter bind(detail::TaskContext* ctx) && { return Awaiter(ctx); }
};

/// `co_await resumeOn(e)`: the task continues on executor `e` (and stays there). The hop is
/// made even when the task was cancelled, so that it unwinds on `e`; `Cancelled` is thrown
/// after arriving. To run a piece of work elsewhere and come back, prefer `runOn`.
struct ResumeOn {
    Executor* target;

    class Awaiter : public detail::AwaiterBase {
    public:
        Awaiter(detail::TaskContext* ctx, Executor* target) : AwaiterBase(ctx), target_(target) {}
        bool await_ready() const { return false; }
        void await_suspend(std::coroutine_handle<> h) {
            detail::WakeToken token = hook(h);
            ctx_->executor = target_;
            token.wake();
        }
        void await_resume() const { throwIfCancelled(); }

    private:
        void withdraw() override {}
        Executor* target_;
    };
    Awaiter bind(detail::TaskContext* ctx) && { return Awaiter(ctx, target); }
};

/// `co_await cancellationPoint()`: throws `Cancelled` if the task was cancelled; never suspends.
struct CancellationPoint {
    struct Awaiter {
        detail::TaskContext* ctx;
        bool await_ready() const { return true; }
        void await_suspend(std::coroutine_handle<> /*h*/) {}
        void await_resume() const {
            if (ctx->cancelled()) throw Cancelled{};
        }
    };
    Awaiter bind(detail::TaskContext* ctx) && { return Awaiter{ctx}; }
};

/// `co_await currentExecutor()`: the executor the task runs on (never suspends).
struct CurrentExecutor {
    struct Awaiter {
        detail::TaskContext* ctx;
        bool await_ready() const { return true; }
        void await_suspend(std::coroutine_handle<> /*h*/) {}
        Executor& await_resume() const { return *ctx->executor.load(); }
    };
    Awaiter bind(detail::TaskContext* ctx) && { return Awaiter{ctx}; }
};

inline SleepFor sleepFor(double seconds) { return SleepFor{seconds}; }
/// A task that only sleeps `seconds`: the time-out side of a `race`.
inline Task<void> delay(double seconds) { co_await sleepFor(seconds); }
inline YieldNow yieldNow() { return {}; }
inline ResumeOn resumeOn(Executor& executor) { return ResumeOn{&executor}; }
inline CancellationPoint cancellationPoint() { return {}; }
inline CurrentExecutor currentExecutor() { return {}; }

}  // namespace veska::rt
