// What a contract suite needs from where it runs: an executor, and a way to let time pass.
#pragma once

#include <functional>
#include <optional>
#include <stdexcept>
#include <utility>

#include "runtime/Executor.h"
#include "runtime/Spawn.h"
#include "runtime/Task.h"

namespace veska::contract {

/// The place a contract suite runs: the simulated loop on virtual time, or loopback services
/// on real time. The executor runs its callbacks on the test's own thread, inside `runUntil`
/// and `advance` (a real-time env pumps it there), so a suite may touch port objects between
/// runs without locks. Suites keep their durations short and assert on outcomes and order,
/// never on exact times.
class ContractEnv {
public:
    virtual ~ContractEnv() = default;
    /// The executor the suite's tasks run on.
    virtual rt::Executor& executor() = 0;
    /// Runs work and lets time pass until `done()` holds or `maxSeconds` have passed.
    virtual bool runUntil(const std::function<bool()>& done, double maxSeconds) = 0;
    /// Runs work while `seconds` pass.
    virtual void advance(double seconds) = 0;
};

/// Runs `task` on the env's executor to its end and returns its value; rethrows its error.
/// A task still running after `maxSeconds` fails the test with an exception, never a hang.
template <class T>
rt::ValueOf<T> runTask(ContractEnv& env, rt::Task<T> task, double maxSeconds = 30) {
    rt::JoinHandle<T> handle = rt::spawn(env.executor(), std::move(task));
    if (!env.runUntil([&] { return handle.done(); }, maxSeconds)) {
        throw std::runtime_error("the task did not finish in time");
    }
    return handle.take();
}

/// Runs `task` and returns the `E` it failed with; nothing when it ended without one.
template <class E, class T>
std::optional<E> runForError(ContractEnv& env, rt::Task<T> task, double maxSeconds = 30) {
    try {
        runTask(env, std::move(task), maxSeconds);
    } catch (const E& error) {
        return error;
    }
    return std::nullopt;
}

}  // namespace veska::contract
