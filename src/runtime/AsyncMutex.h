// AsyncMutex: a lock held across awaits, granted to waiting tasks first come first served.
#pragma once

#include <algorithm>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>

#include "runtime/Task.h"

namespace veska::rt {

/// A mutual-exclusion lock for tasks: `co_await mutex.lock()` yields a guard that releases it
/// when destroyed, so it can be held over awaits (unlike std::mutex). Waiters are served in
/// arrival order; a waiter cancelled before it resumes passes the lock on. Thread-safe.
class AsyncMutex {
    struct Waiter {
        detail::WakeToken token;
        bool granted = false;
    };
    struct State {
        std::mutex mutex;
        bool locked = false;
        std::deque<std::shared_ptr<Waiter>> waiters;

        /// Hands the lock to the next waiter, or frees it.
        void release() {
            std::shared_ptr<Waiter> next;
            {
                std::lock_guard lock(mutex);
                if (waiters.empty()) {
                    locked = false;
                    return;
                }
                next = std::move(waiters.front());
                waiters.pop_front();
                next->granted = true;
            }
            next->token.wake();
        }
    };

public:
    AsyncMutex() : state_(std::make_shared<State>()) {}

    class Guard {
    public:
        Guard() = default;
        explicit Guard(std::shared_ptr<State> state) : state_(std::move(state)) {}
        Guard(Guard&&) noexcept = default;
        Guard& operator=(Guard&& other) noexcept {
            if (this != &other) {
                unlock();
                state_ = std::move(other.state_);
            }
            return *this;
        }
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;
        ~Guard() { unlock(); }
        void unlock() {
            if (auto state = std::move(state_)) state->release();
        }
        [[nodiscard]] bool owns() const { return static_cast<bool>(state_); }

    private:
        std::shared_ptr<State> state_;
    };

    /// The lock now if it is free.
    std::optional<Guard> tryLock() {
        std::lock_guard lock(state_->mutex);
        if (state_->locked) return std::nullopt;
        state_->locked = true;
        return Guard(state_);
    }
    [[nodiscard]] bool isLocked() const {
        std::lock_guard lock(state_->mutex);
        return state_->locked;
    }

    class Awaiter : public detail::AwaiterBase {
    public:
        Awaiter(detail::TaskContext* ctx, std::shared_ptr<State> state)
            : AwaiterBase(ctx), state_(std::move(state)) {}
        Awaiter(Awaiter&&) noexcept = default;
        ~Awaiter() override { withdraw(); }

        bool await_ready() {
            if (cancelledBeforeSuspend()) return true;
            std::lock_guard lock(state_->mutex);
            if (state_->locked) return false;
            state_->locked = true;
            acquired_ = true;
            return true;
        }
        void await_suspend(std::coroutine_handle<> h) {
            detail::WakeToken token = hook(h);
            std::lock_guard lock(state_->mutex);
            waiter_ = std::make_shared<Waiter>(Waiter{token, false});
            state_->waiters.push_back(waiter_);
        }
        Guard await_resume() {
            if (waiter_ && waiter_->granted) acquired_ = true;
            waiter_.reset();
            Guard guard = acquired_ ? Guard(state_) : Guard();
            acquired_ = false;
            if (ctx_->cancelled()) throw Cancelled{};  // the guard passes the lock on
            return guard;
        }

    private:
        void withdraw() override {
            if (!waiter_) return;
            bool granted = false;
            {
                std::lock_guard lock(state_->mutex);
                auto& waiters = state_->waiters;
                if (auto it = std::find(waiters.begin(), waiters.end(), waiter_); it != waiters.end()) waiters.erase(it);
                granted = waiter_->granted;
            }
            waiter_.reset();
            if (granted) state_->release();
        }

        std::shared_ptr<State> state_;
        std::shared_ptr<Waiter> waiter_;
        bool acquired_ = false;
    };
    struct Lock {
        std::shared_ptr<State> state;
        Awaiter bind(detail::TaskContext* ctx) && { return Awaiter(ctx, std::move(state)); }
    };
    /// `co_await mutex.lock()`: waits for the lock and yields its guard.
    Lock lock() const { return Lock{state_}; }

private:
    std::shared_ptr<State> state_;
};

}  // namespace veska::rt
