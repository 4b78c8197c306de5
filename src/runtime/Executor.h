// Executors: where callbacks and coroutines run, and the clock they read.
#pragma once

#include <functional>
#include <memory>
#include <atomic>
#include <string>

namespace veska::rt {

/// Shared state of one scheduled timer: the executor checks `cancelled` before firing.
struct TimerState {
    std::atomic<bool> cancelled{false};
    std::atomic<bool> fired{false};
};

/// Handle to a scheduled callback. Cancelling is thread-safe and idempotent; destroying the
/// handle cancels the timer, so a timer lives exactly as long as whoever holds it.
class Timer {
public:
    Timer() = default;
    explicit Timer(std::shared_ptr<TimerState> state) : state_(std::move(state)) {}
    Timer(Timer&&) noexcept = default;
    Timer& operator=(Timer&& other) noexcept {
        if (this != &other) {
            cancel();
            state_ = std::move(other.state_);
        }
        return *this;
    }
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;
    ~Timer() { cancel(); }

    void cancel() {
        if (state_) state_->cancelled = true;
        state_.reset();
    }
    /// True while the callback is still due: scheduled, neither fired nor cancelled.
    [[nodiscard]] bool pending() const { return state_ && !state_->cancelled && !state_->fired; }
    /// Lets the timer run on its own; the handle no longer cancels it.
    void release() { state_.reset(); }

private:
    std::shared_ptr<TimerState> state_;
};

/// A serial executor: callbacks posted to it run one at a time, first in first out, and
/// timers fire in deadline order (first in first out among equal deadlines).
class Executor {
public:
    virtual ~Executor() = default;

    /// Runs `fn` later on this executor. Safe to call from any thread.
    virtual void post(std::function<void()> fn) = 0;
    /// Runs `fn` on this executor once `delaySeconds` have passed. Safe from any thread.
    Timer postAfter(double delaySeconds, std::function<void()> fn);
    /// Monotonic seconds (the system uptime).
    [[nodiscard]] virtual double now() const = 0;
    /// Calendar time in seconds since 1970, for dates and cookie expiry.
    [[nodiscard]] virtual double wallNow() const = 0;
    [[nodiscard]] virtual const std::string& name() const = 0;

    /// True when called from a callback this executor is running.
    [[nodiscard]] bool isCurrent() const { return current() == this; }
    /// The executor running the calling thread's current callback, or none.
    static Executor* current();

    /// Runs `fn` every `intervalSeconds` until the returned timer is cancelled or destroyed.
    Timer every(double intervalSeconds, std::function<void()> fn);

protected:
    /// Queues `fn` to run after `delaySeconds` unless `state` is cancelled by then. The
    /// executor drops cancelled entries without running them (and without moving virtual
    /// time to their deadline). Safe from any thread.
    virtual void schedule(double delaySeconds, std::function<void()> fn,
                          std::shared_ptr<TimerState> state) = 0;

    /// Marks the calling thread as running this executor for the guard's lifetime.
    class CurrentGuard {
    public:
        explicit CurrentGuard(Executor* executor);
        ~CurrentGuard();
        CurrentGuard(const CurrentGuard&) = delete;
        CurrentGuard& operator=(const CurrentGuard&) = delete;

    private:
        Executor* previous_;
    };
};

}  // namespace veska::rt
