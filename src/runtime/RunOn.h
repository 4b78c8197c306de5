// runOn(executor, task): runs a task on another executor while the caller waits on its own.
#pragma once

#include "runtime/Race.h"

namespace veska::rt {

/// Runs `task` as a task of its own on `executor` and waits for it without leaving the
/// caller's executor: its value or error comes back here, and so does `Cancelled`. Cancelling
/// the caller cancels the task and waits for it to end first, so nothing of it outlives the
/// call. The way to do work on a serial queue (look-ups, typing) on behalf of the main one.
template <class T>
Task<T> runOn(Executor& executor, Task<T> task) {
    Scope scope;
    JoinHandle<T> child = scope.spawn(executor, std::move(task));
    co_await detail::FirstDone{child.root(), child.root()};
    child.cancel();
    co_await child.ended();
    co_await cancellationPoint();
    if constexpr (std::is_void_v<T>) {
        child.take();
    } else {
        co_return child.take();
    }
}

}  // namespace veska::rt
