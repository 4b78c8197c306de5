// race(a, b): the first of two tasks to finish wins; the other is cancelled and awaited.
#pragma once

#include <variant>

#include "runtime/Sleep.h"
#include "runtime/Spawn.h"

namespace veska::rt {

namespace detail {

/// Suspends until either of two spawned tasks ends, or the waiting task is cancelled; never
/// throws, so the race itself decides what to do next.
class FirstDoneAwaiter : public AwaiterBase {
public:
    FirstDoneAwaiter(TaskContext* ctx, std::shared_ptr<RootBase> a, std::shared_ptr<RootBase> b)
        : AwaiterBase(ctx), a_(std::move(a)), b_(std::move(b)) {}
    FirstDoneAwaiter(FirstDoneAwaiter&&) noexcept = default;
    bool await_ready() const { return anyDone() || cancelledBeforeSuspend(); }
    void await_suspend(std::coroutine_handle<> h) {
        WakeToken token = hook(h);
        a_->whenDone([token] { token.wake(); });
        b_->whenDone([token] { token.wake(); });
    }
    void await_resume() const {}

private:
    [[nodiscard]] bool anyDone() const {
        return a_->outcome != Outcome::running || b_->outcome != Outcome::running;
    }
    void withdraw() override {}
    std::shared_ptr<RootBase> a_;
    std::shared_ptr<RootBase> b_;
};

struct FirstDone {
    std::shared_ptr<RootBase> a;
    std::shared_ptr<RootBase> b;
    FirstDoneAwaiter bind(TaskContext* ctx) && { return FirstDoneAwaiter(ctx, std::move(a), std::move(b)); }
};

}  // namespace detail

/// Runs `a` and `b` as tasks of their own on the calling task's executor (a first). The first
/// to end decides: its value is returned as the variant's alternative 0 or 1, its error is
/// rethrown. The other is cancelled and awaited before the race returns. Cancelling the race
/// cancels both and waits for both before `Cancelled` is thrown.
template <class A, class B>
Task<std::variant<ValueOf<A>, ValueOf<B>>> race(Task<A> a, Task<B> b) {
    Executor& executor = co_await currentExecutor();
    Scope scope;
    JoinHandle<A> first = scope.spawn(executor, std::move(a));
    JoinHandle<B> second = scope.spawn(executor, std::move(b));
    co_await detail::FirstDone{first.root(), second.root()};
    const bool firstWon = first.done();
    first.cancel();
    second.cancel();
    co_await first.ended();
    co_await second.ended();
    // Both have ended; only now may the race itself give up.
    co_await cancellationPoint();
    if (firstWon) co_return std::variant<ValueOf<A>, ValueOf<B>>(std::in_place_index<0>, first.take());
    co_return std::variant<ValueOf<A>, ValueOf<B>>(std::in_place_index<1>, second.take());
}

}  // namespace veska::rt
