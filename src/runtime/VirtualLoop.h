// VirtualLoop: a deterministic loop with virtual time whose lanes stand in for every executor.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <queue>
#include <string>
#include <vector>

#include "runtime/Executor.h"
#include "runtime/Spawn.h"

namespace veska::rt {

/// Runs every lane (the main executor and each serial queue) on the calling thread. Callbacks
/// run first in first out across all lanes; timers fire in deadline order, first in first out
/// among equal deadlines; virtual time moves only when nothing is ready to run. The same
/// program gives the same trace every time.
class VirtualLoop {
public:
    /// `startWall` is the calendar time (seconds since 1970) at virtual time 0.
    explicit VirtualLoop(double startWall = 1.8e9);
    ~VirtualLoop();
    VirtualLoop(const VirtualLoop&) = delete;
    VirtualLoop& operator=(const VirtualLoop&) = delete;

    /// The main executor.
    Executor& main();
    /// The lane named `name`, created on first use.
    Executor& lane(const std::string& name);

    [[nodiscard]] double now() const;
    /// Runs what is ready without moving time; returns how many callbacks ran.
    std::size_t runUntilIdle();
    /// Runs for `seconds` of virtual time: every timer due by then fires, then time stands at
    /// the end of the span.
    void runFor(double seconds);
    /// Runs until `done()` holds or `maxSeconds` of virtual time pass; true if it held.
    bool runUntil(const std::function<bool()>& done, double maxSeconds = 3600);

    /// Runs `task` on the main lane to its end (at most `maxSeconds` of virtual time) and
    /// returns its result; rethrows its error or `Cancelled`.
    template <class T>
    ValueOf<T> run(Task<T> task, double maxSeconds = 3600) {
        JoinHandle<T> handle = spawn(main(), std::move(task));
        runUntil([&] { return handle.done(); }, maxSeconds);
        VESKA_CHECK(handle.done(), "task did not finish within the virtual time given");
        return handle.take();
    }

    /// Callbacks run so far (for determinism checks).
    [[nodiscard]] std::size_t callbacksRun() const { return callbacksRun_; }
    [[nodiscard]] bool hasPendingTimers();

private:
    class Lane;
    struct Ready {
        Lane* lane;
        std::function<void()> fn;
    };
    struct Due {
        double deadline;
        std::uint64_t seq;
        Lane* lane;
        std::function<void()> fn;
        std::shared_ptr<TimerState> state;
    };
    struct Later {
        bool operator()(const Due& a, const Due& b) const {
            return a.deadline != b.deadline ? a.deadline > b.deadline : a.seq > b.seq;
        }
    };

    void enqueue(Lane* lane, std::function<void()> fn);
    void enqueueTimer(Lane* lane, double delay, std::function<void()> fn, std::shared_ptr<TimerState> state);
    bool runOne();
    /// The next live timer's deadline, dropping cancelled ones; false when there is none.
    bool nextDeadline(double& deadline);
    void fireNextTimer();

    mutable std::mutex mutex_;
    std::deque<Ready> ready_;
    std::priority_queue<Due, std::vector<Due>, Later> timers_;
    std::uint64_t seq_ = 0;
    double now_ = 0;
    double startWall_;
    std::size_t callbacksRun_ = 0;
    std::map<std::string, std::unique_ptr<Lane>> lanes_;
};

}  // namespace veska::rt
