// RunLoop: an executor whose callbacks run on the thread that pumps it, on real time.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <queue>
#include <string>
#include <vector>

#include "runtime/Executor.h"

namespace veska::rt {

/// A serial executor with no thread of its own: `runUntil` and `runFor` run its ready
/// callbacks and due timers on the calling thread, waiting for real time in between. The main
/// loop of a command-line program, and the executor of tests that talk to real servers. Only
/// one thread pumps it at a time; `post` and timers may be used from any thread.
class RunLoop final : public Executor {
public:
    explicit RunLoop(std::string name = "main");
    ~RunLoop() override = default;
    RunLoop(const RunLoop&) = delete;
    RunLoop& operator=(const RunLoop&) = delete;

    void post(std::function<void()> fn) override;
    [[nodiscard]] double now() const override;
    [[nodiscard]] double wallNow() const override;
    [[nodiscard]] const std::string& name() const override { return name_; }

    /// Runs callbacks until `done()` holds (checked before waiting and after every callback)
    /// or `maxSeconds` have passed; returns whether `done()` held.
    bool runUntil(const std::function<bool()>& done, double maxSeconds);
    /// Runs callbacks while `seconds` pass.
    void runFor(double seconds);

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
    /// The next callback due by now, if any.
    std::function<void()> takeDue(double at);

    std::string name_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> ready_;
    std::priority_queue<Due, std::vector<Due>, Later> timers_;
    std::uint64_t seq_ = 0;
};

}  // namespace veska::rt
