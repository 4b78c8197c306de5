// VirtualLoop: lanes, the ready queue, the timer heap and virtual time.
#include "runtime/VirtualLoop.h"

namespace veska::rt {

class VirtualLoop::Lane final : public Executor {
public:
    Lane(VirtualLoop* loop, std::string name) : loop_(loop), name_(std::move(name)) {}
    void post(std::function<void()> fn) override { loop_->enqueue(this, std::move(fn)); }
    [[nodiscard]] double now() const override { return loop_->now(); }
    [[nodiscard]] double wallNow() const override { return loop_->startWall_ + loop_->now(); }
    [[nodiscard]] const std::string& name() const override { return name_; }
    void runCallback(std::function<void()>& fn) {
        CurrentGuard guard(this);
        fn();
    }

protected:
    void schedule(double delay, std::function<void()> fn, std::shared_ptr<TimerState> state) override {
        loop_->enqueueTimer(this, delay, std::move(fn), std::move(state));
    }

private:
    VirtualLoop* loop_;
    std::string name_;
};

VirtualLoop::VirtualLoop(double startWall) : startWall_(startWall) { lane("main"); }

VirtualLoop::~VirtualLoop() {
    // Dropping queued callbacks may destroy suspended tasks, whose awaiters only touch
    // shared timer states: take the queues out first so nothing re-enters them mid-clear.
    std::deque<Ready> ready;
    std::priority_queue<Due, std::vector<Due>, Later> timers;
    {
        std::lock_guard lock(mutex_);
        ready.swap(ready_);
        timers.swap(timers_);
    }
    ready.clear();
    while (!timers.empty()) timers.pop();
    std::lock_guard lock(mutex_);
    ready_.clear();
    while (!timers_.empty()) timers_.pop();
}

Executor& VirtualLoop::main() { return lane("main"); }

Executor& VirtualLoop::lane(const std::string& name) {
    std::lock_guard lock(mutex_);
    auto& slot = lanes_[name];
    if (!slot) slot = std::make_unique<Lane>(this, name);
    return *slot;
}

double VirtualLoop::now() const {
    std::lock_guard lock(mutex_);
    return now_;
}

void VirtualLoop::enqueue(Lane* lane, std::function<void()> fn) {
    std::lock_guard lock(mutex_);
    ready_.push_back(Ready{lane, std::move(fn)});
}

void VirtualLoop::enqueueTimer(Lane* lane, double delay, std::function<void()> fn,
                               std::shared_ptr<TimerState> state) {
    std::lock_guard lock(mutex_);
    const double deadline = now_ + (delay > 0 ? delay : 0);
    timers_.push(Due{deadline, seq_++, lane, std::move(fn), std::move(state)});
}

bool VirtualLoop::runOne() {
    Ready next;
    {
        std::lock_guard lock(mutex_);
        if (ready_.empty()) return false;
        next = std::move(ready_.front());
        ready_.pop_front();
    }
    ++callbacksRun_;
    next.lane->runCallback(next.fn);
    return true;
}

std::size_t VirtualLoop::runUntilIdle() {
    std::size_t count = 0;
    while (runOne()) ++count;
    // Timers already due at the current time count as ready work.
    double deadline = 0;
    while (nextDeadline(deadline) && deadline <= now()) {
        fireNextTimer();
        ++count;
        while (runOne()) ++count;
    }
    return count;
}

bool VirtualLoop::nextDeadline(double& deadline) {
    std::lock_guard lock(mutex_);
    while (!timers_.empty() && timers_.top().state->cancelled) timers_.pop();
    if (timers_.empty()) return false;
    deadline = timers_.top().deadline;
    return true;
}

bool VirtualLoop::hasPendingTimers() {
    double deadline = 0;
    return nextDeadline(deadline);
}

void VirtualLoop::fireNextTimer() {
    Due due;
    {
        std::lock_guard lock(mutex_);
        due = timers_.top();
        timers_.pop();
        if (due.deadline > now_) now_ = due.deadline;
    }
    if (due.state->cancelled) return;
    ++callbacksRun_;
    due.lane->runCallback(due.fn);
}

void VirtualLoop::runFor(double seconds) {
    const double end = now() + seconds;
    runUntilIdle();
    double deadline = 0;
    while (nextDeadline(deadline) && deadline <= end) {
        fireNextTimer();
        runUntilIdle();
    }
    std::lock_guard lock(mutex_);
    if (end > now_) now_ = end;
}

bool VirtualLoop::runUntil(const std::function<bool()>& done, double maxSeconds) {
    const double end = now() + maxSeconds;
    runUntilIdle();
    double deadline = 0;
    while (!done()) {
        if (!nextDeadline(deadline) || deadline > end) break;
        fireNextTimer();
        runUntilIdle();
    }
    return done();
}

}  // namespace veska::rt
