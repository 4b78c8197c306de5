// Completion<T>: a one-shot result handed from any thread (an adapter's callback) to a task.
#pragma once

#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <type_traits>
#include <variant>

#include "runtime/Task.h"

namespace veska::rt {

/// A result that arrives once, from anywhere. Copies share it. The first of `resolve` and
/// `fail` wins; later ones are ignored. `co_await completion.wait()` yields the value or
/// rethrows the error; a cancelled waiter stops waiting (the result, if it comes, is kept).
template <class T>
class Completion {
    struct State {
        std::mutex mutex;
        std::variant<std::monostate, ValueOf<T>, std::exception_ptr> result;
        std::optional<detail::WakeToken> waiter;
    };

public:
    Completion() : state_(std::make_shared<State>()) {}

    template <class... Args>
    bool resolve(Args&&... args) {
        return settle([&](auto& result) { result.template emplace<1>(std::forward<Args>(args)...); });
    }
    bool fail(std::exception_ptr error) {
        return settle([&](auto& result) { result.template emplace<2>(std::move(error)); });
    }
    template <class E>
    bool failWith(E error) {
        return fail(std::make_exception_ptr(std::move(error)));
    }
    [[nodiscard]] bool settled() const {
        std::lock_guard lock(state_->mutex);
        return state_->result.index() != 0;
    }

    class Awaiter : public detail::AwaiterBase {
    public:
        Awaiter(detail::TaskContext* ctx, std::shared_ptr<State> state)
            : AwaiterBase(ctx), state_(std::move(state)) {}
        Awaiter(Awaiter&&) noexcept = default;
        ~Awaiter() { withdraw(); }
        bool await_ready() const {
            if (cancelledBeforeSuspend()) return true;
            std::lock_guard lock(state_->mutex);
            return state_->result.index() != 0;
        }
        void await_suspend(std::coroutine_handle<> h) {
            detail::WakeToken token = hook(h);
            std::lock_guard lock(state_->mutex);
            if (state_->result.index() != 0) {
                token.wake();
                return;
            }
            state_->waiter = token;
        }
        ValueOf<T> await_resume() {
            throwIfCancelled();
            std::lock_guard lock(state_->mutex);
            if (state_->result.index() == 2) std::rethrow_exception(std::get<2>(state_->result));
            return std::get<1>(state_->result);
        }

    private:
        void withdraw() override {
            std::lock_guard lock(state_->mutex);
            state_->waiter.reset();
        }
        std::shared_ptr<State> state_;
    };
    struct Wait {
        std::shared_ptr<State> state;
        Awaiter bind(detail::TaskContext* ctx) && { return Awaiter(ctx, std::move(state)); }
    };
    Wait wait() const { return Wait{state_}; }

private:
    template <class F>
    bool settle(F&& set) {
        std::optional<detail::WakeToken> waiter;
        {
            std::lock_guard lock(state_->mutex);
            if (state_->result.index() != 0) return false;
            set(state_->result);
            waiter = std::move(state_->waiter);
            state_->waiter.reset();
        }
        if (waiter) waiter->wake();
        return true;
    }

    std::shared_ptr<State> state_;
};

/// A task that waits for `completion` and finishes with its result (one side of a `race`).
template <class T>
Task<T> completed(Completion<T> completion) {
    if constexpr (std::is_void_v<T>) {
        co_await completion.wait();
    } else {
        co_return co_await completion.wait();
    }
}

}  // namespace veska::rt
