// Executors: the current-executor marker and repeating timers.
#include "runtime/Executor.h"

namespace veska::rt {

namespace {
thread_local Executor* tCurrent = nullptr;

}  // namespace

Executor* Executor::current() { return tCurrent; }

Executor::CurrentGuard::CurrentGuard(Executor* executor) : previous_(tCurrent) { tCurrent = executor; }
Executor::CurrentGuard::~CurrentGuard() { tCurrent = previous_; }

Timer Executor::postAfter(double delaySeconds, std::function<void()> fn) {
    auto state = std::make_shared<TimerState>();
    schedule(delaySeconds, [state, fn = std::move(fn)] {
        state->fired = true;
        fn();
    }, state);
    return Timer(state);
}

Timer Executor::every(double intervalSeconds, std::function<void()> fn) {
    auto state = std::make_shared<TimerState>();
    auto shared = std::make_shared<std::function<void()>>(std::move(fn));
    struct Rearm {
        static void go(Executor* executor, double interval,
                       const std::shared_ptr<std::function<void()>>& fn,
                       const std::shared_ptr<TimerState>& state) {
            std::weak_ptr<TimerState> weak = state;
            executor->schedule(interval, [executor, interval, fn, weak] {
                auto alive = weak.lock();
                if (!alive || alive->cancelled) return;
                (*fn)();
                if (!alive->cancelled) go(executor, interval, fn, alive);
            }, state);
        }
    };
    Rearm::go(this, intervalSeconds, shared, state);
    return Timer(state);
}

}  // namespace veska::rt
