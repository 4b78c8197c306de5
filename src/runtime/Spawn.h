// Spawning tasks on executors: join handles that cancel, and scopes that own their tasks.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "runtime/Task.h"

namespace veska::rt {

/// How a spawned task ended.
enum class Outcome { running, value, error, cancelled };

namespace detail {

struct ScopeState;

/// The runtime's record of one spawned task: its context, its frame while it lives, its
/// outcome once it ends, and who waits for that.
///
/// The frame is touched under the frame lock only: by its executor while resuming it or
/// handing it a wake-up or a cancellation, and by a scope destroying it from any thread. So
/// a scope on one thread can destroy a task that runs on another: it waits for the slice
/// running there to reach its next suspension.
struct RootBase : std::enable_shared_from_this<RootBase> {
    virtual ~RootBase();

    std::shared_ptr<TaskContext> ctx = std::make_shared<TaskContext>();
    std::atomic<Outcome> outcome{Outcome::running};  // set last, once the result is stored
    std::exception_ptr error;
    /// The scope that owns the task until it ends (set before it starts, then under the frame lock).
    std::shared_ptr<ScopeState> scope;
    std::size_t scopeSlot = 0;  // where the scope keeps it (under the scope's lock)

    /// Runs `callback` when the task ends (at once if it has); thread-safe.
    void whenDone(std::function<void()> callback);

    /// Requests cancellation; thread-safe. The wait it is suspended on is withdrawn from a
    /// callback on the task's executor (the one it is on when the callback runs).
    void cancel();
    /// Destroys the frame; the outcome becomes `cancelled`. From any thread but one inside
    /// the task: a slice running on another thread is waited for.
    void destroyFrame();
    /// Starts the task from a callback on its executor; the caller keeps the root alive.
    void start();
    /// Hands a wake-up for suspension `waitId` to the task from a callback on its executor;
    /// the caller keeps the root alive (the task may end and leave its scope meanwhile).
    void wakeUp(std::uint64_t waitId);
    /// True when the calling thread holds the frame lock (it is inside the task).
    [[nodiscard]] bool frameHeldHere() const {
        return frameHolder_.load(std::memory_order_relaxed) == std::this_thread::get_id();
    }

protected:
    virtual std::coroutine_handle<> frame() = 0;
    virtual void dropFrame() = 0;
    void finished(Outcome how);

private:
    class FrameLock;
    void postCancel();

    std::mutex doneMutex_;
    std::vector<std::function<void()>> onDone_;
    std::mutex frameMutex_;
    std::atomic<std::thread::id> frameHolder_{};
};

/// Takes `root` out of its scope's tasks when it ends (unless the scope is closing).
void leaveScope(ScopeState& state, RootBase& root);

template <class T>
struct RootState final : RootBase {
    Task<T> task;
    std::optional<ValueOf<T>> value;

    std::coroutine_handle<> frame() override { return task.handle(); }
    void dropFrame() override { task.reset(); }

    static void onFinished(void* self, std::coroutine_handle<> /*frame*/) {
        auto* root = static_cast<RootState*>(self);
        auto& promise = root->task.handle().promise();
        Outcome how = Outcome::value;
        if (root->ctx->cancelled()) {
            how = Outcome::cancelled;
        } else if (auto error = promise.error()) {
            how = Outcome::error;
            root->error = error;
        } else if constexpr (std::is_void_v<T>) {
            root->value.emplace();
        } else {
            root->value.emplace(promise.result());
        }
        // The frame is suspended at its final point: destroying it here is allowed.
        root->task.reset();
        root->finished(how);
    }
};

std::shared_ptr<RootBase> launch(Executor& executor, std::shared_ptr<RootBase> root);

template <class T>
std::shared_ptr<RootState<T>> makeRoot(Task<T> task) {
    auto root = std::make_shared<RootState<T>>();
    root->task = std::move(task);
    auto& promise = root->task.handle().promise();
    promise.ctx = root->ctx.get();
    promise.onRootFinished = &RootState<T>::onFinished;
    promise.rootState = root.get();
    root->ctx->root = root;
    return root;
}

/// Waits for a spawned task to end, without being cancellable itself when `shielded`.
class JoinAwaiter : public AwaiterBase {
public:
    JoinAwaiter(TaskContext* ctx, std::shared_ptr<RootBase> root, bool shielded)
        : AwaiterBase(ctx), root_(std::move(root)), shielded_(shielded) {}
    JoinAwaiter(JoinAwaiter&&) noexcept = default;

    bool await_ready() const {
        return root_->outcome != Outcome::running || (!shielded_ && cancelledBeforeSuspend());
    }
    void await_suspend(std::coroutine_handle<> h);
    void await_resume() const {
        if (!shielded_) throwIfCancelled();
    }

private:
    void withdraw() override {}
    void onCancel() override {
        if (!shielded_) AwaiterBase::onCancel();
    }

    std::shared_ptr<RootBase> root_;
    bool shielded_;
};

}  // namespace detail

/// Handle to a spawned task. `cancel()` asks it to stop; `co_await handle.join()` gives its
/// value, rethrows its error, or throws `Cancelled` when it was cancelled. Dropping the handle
/// cancels the task, which then unwinds on its executor.
template <class T = void>
class JoinHandle {
public:
    JoinHandle() = default;
    explicit JoinHandle(std::shared_ptr<detail::RootState<T>> root) : root_(std::move(root)) {}
    JoinHandle(JoinHandle&&) noexcept = default;
    JoinHandle& operator=(JoinHandle&& other) noexcept {
        if (this != &other) {
            cancel();
            root_ = std::move(other.root_);
        }
        return *this;
    }
    JoinHandle(const JoinHandle&) = delete;
    JoinHandle& operator=(const JoinHandle&) = delete;
    ~JoinHandle() { cancel(); }

    void cancel() {
        if (root_) root_->cancel();
    }
    [[nodiscard]] bool valid() const { return static_cast<bool>(root_); }
    [[nodiscard]] bool done() const { return root_ && root_->outcome != Outcome::running; }
    [[nodiscard]] Outcome outcome() const { return root_ ? root_->outcome.load() : Outcome::cancelled; }

    /// The task's result once it ended; rethrows its error, or `Cancelled`.
    ValueOf<T> take() {
        VESKA_CHECK(done(), "taking the result of a running task");
        if (root_->outcome == Outcome::cancelled) throw Cancelled{};
        if (root_->outcome == Outcome::error) std::rethrow_exception(root_->error);
        return std::move(*root_->value);
    }

    /// Awaitable: waits for the end and yields the result. Cancelling the waiter does not
    /// cancel the task (the handle does that when it is dropped).
    struct Join {
        JoinHandle* handle;
        bool shielded;
        struct Awaiter : detail::JoinAwaiter {
            Awaiter(detail::TaskContext* ctx, JoinHandle* h, bool shielded)
                : detail::JoinAwaiter(ctx, h->root_, shielded), handle(h) {}
            ValueOf<T> await_resume() {
                detail::JoinAwaiter::await_resume();
                return handle->take();
            }
            JoinHandle* handle;
        };
        Awaiter bind(detail::TaskContext* ctx) && { return Awaiter(ctx, handle, shielded); }
    };
    Join join() { return Join{this, false}; }

    /// Awaitable: waits for the end, even when the waiting task is cancelled meanwhile (for
    /// clean-up that must see the end of what it cancelled); yields nothing, throws nothing.
    struct Ended {
        std::shared_ptr<detail::RootBase> root;
        detail::JoinAwaiter bind(detail::TaskContext* ctx) && {
            return detail::JoinAwaiter(ctx, std::move(root), true);
        }
    };
    Ended ended() const { return Ended{root_}; }

    [[nodiscard]] const std::shared_ptr<detail::RootState<T>>& root() const { return root_; }

private:
    std::shared_ptr<detail::RootState<T>> root_;
};

/// Starts `task` on `executor` (from a fresh callback) and returns its handle.
template <class T>
JoinHandle<T> spawn(Executor& executor, Task<T> task) {
    auto root = detail::makeRoot(std::move(task));
    detail::launch(executor, root);
    return JoinHandle<T>(std::move(root));
}

namespace detail {
/// Waits until a scope has no task left.
class DrainAwaiter : public AwaiterBase {
public:
    DrainAwaiter(TaskContext* ctx, std::shared_ptr<ScopeState> state);
    DrainAwaiter(DrainAwaiter&&) noexcept = default;
    ~DrainAwaiter() override;
    bool await_ready() const;
    void await_suspend(std::coroutine_handle<> h);
    void await_resume() const { throwIfCancelled(); }

private:
    void withdraw() override;
    std::shared_ptr<ScopeState> state_;
};
}  // namespace detail

/// Owns the tasks spawned through it. Destroying the scope destroys every task of it at once,
/// so none of them runs again after its owner is gone; the owner keeps its scope as its last
/// member. Its tasks may run on any executors: one running on another thread when the scope
/// is destroyed is waited for until it suspends, then destroyed (so such a task must not wait
/// for the scope's thread while it runs); one running on the destroying thread (the owner is
/// destroyed from inside it) is cancelled instead. `spawn`, `start`, `cancelAll`, `size` and
/// `drained` are thread-safe; destruction is the owner's, once.
class Scope {
public:
    Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;
    ~Scope();

    template <class T>
    JoinHandle<T> spawn(Executor& executor, Task<T> task) {
        auto root = detail::makeRoot(std::move(task));
        adopt(root);
        detail::launch(executor, root);
        return JoinHandle<T>(std::move(root));
    }
    /// Spawns a task the scope alone owns (its handle is not needed).
    template <class T>
    void start(Executor& executor, Task<T> task) {
        auto root = detail::makeRoot(std::move(task));
        adopt(root);
        detail::launch(executor, root);
    }
    /// Asks every task of the scope to stop; they unwind on their executors.
    void cancelAll();
    /// Tasks that have not ended yet.
    [[nodiscard]] std::size_t size() const;

    /// Awaitable: resumes once the scope has no task left (at once when it has none), on the
    /// waiter's executor, wherever the tasks end. `cancelAll()` then `drained()` waits for
    /// everything to unwind. The waiter must not be a task of the scope.
    struct Drained {
        std::shared_ptr<detail::ScopeState> state;
        detail::DrainAwaiter bind(detail::TaskContext* ctx) && { return {ctx, std::move(state)}; }
    };
    [[nodiscard]] Drained drained() const { return Drained{state_}; }

private:
    void adopt(const std::shared_ptr<detail::RootBase>& root);

    std::shared_ptr<detail::ScopeState> state_;
};

}  // namespace veska::rt
