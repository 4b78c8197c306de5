// ThreadExecutor: a serial executor on a real thread of its own, with a timer heap.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <queue>
#include <string>
#include <thread>
#include <vector>

#include "runtime/Executor.h"

namespace veska::rt {

/// Serial queue backed by one thread, reading the steady clock. Lives until destroyed:
/// the destructor stops the thread after the callback running now, dropping the rest.
class ThreadExecutor final : public Executor {
public:
    explicit ThreadExecutor(std::string name);
    ~ThreadExecutor() override;
    ThreadExecutor(const ThreadExecutor&) = delete;
    ThreadExecutor& operator=(const ThreadExecutor&) = delete;

    void post(std::function<void()> fn) override;
    [[nodiscard]] double now() const override;
    [[nodiscard]] double wallNow() const override;
    [[nodiscard]] const std::string& name() const override { return name_; }

    /// Stops the thread (after the running callback) and drops what is still queued.
    void stop();

protected:
    void schedule(double delay, std::function<void()> fn, std::shared_ptr<TimerState> state) override;

private:
    struct Due {
        double deadline;
        std::uint64_t seq;
        std::function<void()> fn;
        std::shared_ptr<TimerState> state;
    };
    struct Later {
        bool operator()(const Due& a, const Due& b) const {
            return a.deadline != b.deadline ? a.deadline > b.deadline : a.seq > b.seq;
        }
    };
    void loop();

    std::string name_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> ready_;
    std::priority_queue<Due, std::vector<Due>, Later> timers_;
    std::uint64_t seq_ = 0;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace veska::rt
