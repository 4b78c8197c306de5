// Channel<T>: an unbounded, closable queue from producers to tasks on one executor.
#pragma once

#include <algorithm>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>

#include "runtime/Task.h"

namespace veska::rt {

/// Unbounded first-in first-out queue. `send` and `close` are safe from any thread;
/// `co_await receive()` yields the next value, or nothing once the channel is closed and
/// drained. Copies of a Channel share one queue. Receivers are served in arrival order.
template <class T>
class Channel {
    struct Waiter {
        detail::WakeToken token;
        std::optional<T>* slot;
        bool* served;
    };
    struct State {
        std::mutex mutex;
        std::deque<T> items;
        std::deque<std::shared_ptr<Waiter>> waiters;
        bool closed = false;
    };

public:
    Channel() : state_(std::make_shared<State>()) {}

    /// Queues `value`; false (and the value dropped) when the channel is closed.
    bool send(T value) {
        std::shared_ptr<Waiter> waiter;
        {
            std::lock_guard lock(state_->mutex);
            if (state_->closed) return false;
            if (state_->waiters.empty()) {
                state_->items.push_back(std::move(value));
                return true;
            }
            waiter = std::move(state_->waiters.front());
            state_->waiters.pop_front();
            waiter->slot->emplace(std::move(value));
            *waiter->served = true;
        }
        waiter->token.wake();
        return true;
    }

    /// Ends the channel: waiting receivers get nothing once the queue is drained.
    void close() {
        std::deque<std::shared_ptr<Waiter>> waiters;
        {
            std::lock_guard lock(state_->mutex);
            if (state_->closed) return;
            state_->closed = true;
            waiters = std::move(state_->waiters);
            state_->waiters.clear();
            for (auto& waiter : waiters) *waiter->served = true;
        }
        for (auto& waiter : waiters) waiter->token.wake();
    }

    [[nodiscard]] bool closed() const {
        std::lock_guard lock(state_->mutex);
        return state_->closed;
    }
    [[nodiscard]] std::size_t size() const {
        std::lock_guard lock(state_->mutex);
        return state_->items.size();
    }

    /// A value now, without waiting: nothing when the queue is empty.
    std::optional<T> tryReceive() {
        std::lock_guard lock(state_->mutex);
        if (state_->items.empty()) return std::nullopt;
        std::optional<T> value(std::move(state_->items.front()));
        state_->items.pop_front();
        return value;
    }

    class Awaiter : public detail::AwaiterBase {
    public:
        Awaiter(detail::TaskContext* ctx, std::shared_ptr<State> state)
            : AwaiterBase(ctx), state_(std::move(state)) {}
        Awaiter(Awaiter&&) noexcept = default;
        ~Awaiter() { withdraw(); }

        bool await_ready() {
            if (cancelledBeforeSuspend()) return true;
            std::lock_guard lock(state_->mutex);
            if (!state_->items.empty()) {
                value_.emplace(std::move(state_->items.front()));
                state_->items.pop_front();
                return true;
            }
            return state_->closed;
        }
        void await_suspend(std::coroutine_handle<> h) {
            detail::WakeToken token = hook(h);
            std::lock_guard lock(state_->mutex);
            waiter_ = std::make_shared<Waiter>(Waiter{token, &value_, &served_});
            state_->waiters.push_back(waiter_);
        }
        std::optional<T> await_resume() {
            waiter_.reset();
            if (value_ && ctx_->cancelled()) {
                // The task was cancelled before it could use the value: give it back.
                std::lock_guard lock(state_->mutex);
                state_->items.push_front(std::move(*value_));
                value_.reset();
            }
            if (value_) {
                std::optional<T> value = std::move(value_);
                value_.reset();
                return value;
            }
            throwIfCancelled();
            return std::nullopt;
        }

    private:
        // A value handed over while the task was being cancelled is put back at the front,
        // so nothing sent is lost.
        void withdraw() override {
            if (!waiter_) return;
            std::lock_guard lock(state_->mutex);
            auto& waiters = state_->waiters;
            if (auto it = std::find(waiters.begin(), waiters.end(), waiter_); it != waiters.end()) waiters.erase(it);
            if (served_ && value_) {
                state_->items.push_front(std::move(*value_));
                value_.reset();
            }
            waiter_.reset();
        }

        std::shared_ptr<State> state_;
        std::shared_ptr<Waiter> waiter_;
        std::optional<T> value_;
        bool served_ = false;
    };

    struct Receive {
        std::shared_ptr<State> state;
        Awaiter bind(detail::TaskContext* ctx) && { return Awaiter(ctx, std::move(state)); }
    };
    /// `co_await channel.receive()`: the next value, or nothing when closed and drained.
    Receive receive() const { return Receive{state_}; }

private:
    std::shared_ptr<State> state_;
};

}  // namespace veska::rt
