// ThreadExecutor: the worker loop that runs ready callbacks and due timers.
#include "runtime/ThreadExecutor.h"

#include <chrono>

namespace veska::rt {

namespace {
double steadySeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}
}  // namespace

ThreadExecutor::ThreadExecutor(std::string name) : name_(std::move(name)), thread_([this] { loop(); }) {}

ThreadExecutor::~ThreadExecutor() { stop(); }

void ThreadExecutor::stop() {
    {
        std::lock_guard lock(mutex_);
        if (stopping_ && !thread_.joinable()) return;
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
    std::deque<std::function<void()>> ready;
    std::priority_queue<Due, std::vector<Due>, Later> timers;
    {
        std::lock_guard lock(mutex_);
        ready.swap(ready_);
        timers.swap(timers_);
    }
}

void ThreadExecutor::post(std::function<void()> fn) {
    {
        std::lock_guard lock(mutex_);
        if (stopping_) return;
        ready_.push_back(std::move(fn));
    }
    wake_.notify_one();
}

void ThreadExecutor::schedule(double delay, std::function<void()> fn, std::shared_ptr<TimerState> state) {
    {
        std::lock_guard lock(mutex_);
        if (stopping_) return;
        timers_.push(Due{steadySeconds() + (delay > 0 ? delay : 0), seq_++, std::move(fn), std::move(state)});
    }
    wake_.notify_one();
}

double ThreadExecutor::now() const { return steadySeconds(); }

double ThreadExecutor::wallNow() const {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

void ThreadExecutor::loop() {
    CurrentGuard guard(this);
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        while (!timers_.empty() && timers_.top().state->cancelled) timers_.pop();
        if (!ready_.empty()) {
            auto fn = std::move(ready_.front());
            ready_.pop_front();
            lock.unlock();
            fn();
            lock.lock();
            continue;
        }
        if (!timers_.empty()) {
            const double wait = timers_.top().deadline - steadySeconds();
            if (wait <= 0) {
                Due due = timers_.top();
                timers_.pop();
                lock.unlock();
                if (!due.state->cancelled) due.fn();
                lock.lock();
                continue;
            }
            wake_.wait_for(lock, std::chrono::duration<double>(wait));
            continue;
        }
        wake_.wait(lock);
    }
}

}  // namespace veska::rt
