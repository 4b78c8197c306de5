// An executor pumped by the test's own thread on the steady clock, for adapters in real time.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <utility>

#include "runtime/Executor.h"

namespace veska::testing {

/// Callbacks run only inside `runUntil` and `advance`, on the calling thread, so a test reads
/// what its tasks wrote without locks. `post` and timers may come from any thread.
class RealTimeLoop final : public rt::Executor {
public:
    void post(std::function<void()> fn) override {
        std::lock_guard lock(mutex_);
        ready_.push_back(std::move(fn));
        wake_.notify_all();
    }
    [[nodiscard]] double now() const override {
        return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
    }
    [[nodiscard]] double wallNow() const override {
        return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    }
    [[nodiscard]] const std::string& name() const override { return name_; }

    /// Runs callbacks as they become due until `done()` holds or `maxSeconds` pass.
    bool runUntil(const std::function<bool()>& done, double maxSeconds) {
        const double end = now() + maxSeconds;
        while (!done()) {
            if (now() >= end) return false;
            pump(std::min(end, now() + 0.01));
        }
        return true;
    }
    void advance(double seconds) {
        const double end = now() + seconds;
        while (now() < end) pump(end);
    }

protected:
    void schedule(double delaySeconds, std::function<void()> fn, std::shared_ptr<rt::TimerState> state) override {
        std::lock_guard lock(mutex_);
        timers_.emplace(std::make_pair(now() + delaySeconds, seq_++), Due{std::move(fn), std::move(state)});
        wake_.notify_all();
    }

private:
    struct Due {
        std::function<void()> fn;
        std::shared_ptr<rt::TimerState> state;
    };

    /// Runs what is ready and due; otherwise waits for work until `until` at the latest.
    void pump(double until) {
        std::function<void()> next;
        {
            std::unique_lock lock(mutex_);
            while (!timers_.empty() && timers_.begin()->first.first <= now()) {
                Due due = std::move(timers_.begin()->second);
                timers_.erase(timers_.begin());
                if (due.state->cancelled) continue;
                ready_.push_back([fn = std::move(due.fn), state = due.state] {
                    if (state->cancelled) return;
                    state->fired = true;
                    fn();
                });
            }
            if (ready_.empty()) {
                double wakeAt = until;
                if (!timers_.empty()) wakeAt = std::min(wakeAt, timers_.begin()->first.first);
                const auto wait = std::chrono::duration<double>(std::max(0.0, wakeAt - now()));
                wake_.wait_for(lock, wait);
                return;
            }
            next = std::move(ready_.front());
            ready_.pop_front();
        }
        CurrentGuard guard(this);
        next();
    }

    std::string name_ = "test";
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> ready_;
    std::map<std::pair<double, unsigned long long>, Due> timers_;
    unsigned long long seq_ = 0;
};

}  // namespace veska::testing
