// RunLoop: ready callbacks and due timers run on the pumping thread.
#include "runtime/RunLoop.h"

#include <algorithm>
#include <chrono>

namespace veska::rt {

namespace {
double steadySeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}
}  // namespace

RunLoop::RunLoop(std::string name) : name_(std::move(name)) {}

void RunLoop::post(std::function<void()> fn) {
    {
        std::lock_guard lock(mutex_);
        ready_.push_back(std::move(fn));
    }
    wake_.notify_one();
}

void RunLoop::schedule(double delay, std::function<void()> fn, std::shared_ptr<TimerState> state) {
    {
        std::lock_guard lock(mutex_);
        timers_.push(Due{steadySeconds() + std::max(delay, 0.0), seq_++, std::move(fn), std::move(state)});
    }
    wake_.notify_one();
}

double RunLoop::now() const {
    return steadySeconds();
}

double RunLoop::wallNow() const {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

std::function<void()> RunLoop::takeDue(double at) {
    while (!timers_.empty() && timers_.top().state->cancelled) timers_.pop();
    if (!ready_.empty()) {
        auto fn = std::move(ready_.front());
        ready_.pop_front();
        return fn;
    }
    if (!timers_.empty() && timers_.top().deadline <= at) {
        Due due = timers_.top();
        timers_.pop();
        return [due = std::move(due)] {
            if (!due.state->cancelled) due.fn();
        };
    }
    return nullptr;
}

bool RunLoop::runUntil(const std::function<bool()>& done, double maxSeconds) {
    CurrentGuard guard(this);
    const double end = steadySeconds() + std::max(maxSeconds, 0.0);
    while (true) {
        if (done && done()) return true;
        std::unique_lock lock(mutex_);
        const double at = steadySeconds();
        if (auto fn = takeDue(at)) {
            lock.unlock();
            fn();
            continue;
        }
        if (at >= end) return done && done();
        double until = end;
        if (!timers_.empty()) until = std::min(until, timers_.top().deadline);
        wake_.wait_for(lock, std::chrono::duration<double>(until - at));
    }
}

void RunLoop::runFor(double seconds) {
    runUntil(nullptr, seconds);
}

}  // namespace veska::rt
