// Task<T>: a lazily started coroutine with symmetric transfer and cooperative cancellation.
#pragma once

#include <atomic>
#include <cstdint>
#include <coroutine>
#include <exception>
#include <memory>
#include <optional>
#include <utility>
#include <variant>

#include "runtime/Check.h"
#include "runtime/Executor.h"

namespace veska::rt {

/// Thrown at the first await after a task was cancelled. Deliberately not a std::exception,
/// so `catch (const std::exception&)` never swallows it; and once a task is cancelled every
/// later await throws again, so a handler that swallows it cannot keep the task going.
struct Cancelled {};

namespace detail {

struct RootBase;

/// What a suspended awaiter does when its task is cancelled: it withdraws whatever it waits
/// for and resumes the task, whose `await_resume` then throws `Cancelled`.
class CancelHook {
public:
    virtual void onCancel() = 0;
    /// What the awaiter waited for has happened: resume the task normally.
    virtual void onWake() = 0;

public:
    virtual ~CancelHook() = default;
};

/// The context shared by a spawned task and every task it awaits inline: the executor it runs
/// on, its cancellation flag, and the one awaiter it is suspended on.
struct TaskContext {
    std::atomic<Executor*> executor{nullptr};
    std::atomic<bool> cancelRequested{false};
    CancelHook* hook = nullptr;  // touched on the executor only
    std::uint64_t waitId = 0;    // which suspension `hook` belongs to
    std::weak_ptr<RootBase> root;

    [[nodiscard]] bool cancelled() const { return cancelRequested.load(); }
    /// Resumes `h` now, on the calling executor thread (which holds the frame lock).
    void resumeHere(std::coroutine_handle<> h);
};

/// Lets anyone, from any thread, wake one particular suspension of a task. A token whose
/// task has moved on, been cancelled or been destroyed does nothing.
class WakeToken {
public:
    WakeToken() = default;
    WakeToken(std::weak_ptr<RootBase> root, std::uint64_t id) : root_(std::move(root)), id_(id) {}
    /// Wakes the task from a fresh callback on its executor.
    void wake() const;
    /// Wakes the task at once when called on its executor (from a callback of its own, such
    /// as a timer), else like `wake()`.
    void wakeHereIfCurrent() const;

private:
    std::weak_ptr<RootBase> root_;
    std::uint64_t id_ = 0;
};

/// Common part of every runtime awaiter: the cancellation check before suspending, the hook
/// registration while suspended, and the throw after a cancelled wait.
class AwaiterBase : public CancelHook {
public:
    explicit AwaiterBase(TaskContext* ctx) : ctx_(ctx) {}
    AwaiterBase(const AwaiterBase&) = delete;
    AwaiterBase& operator=(const AwaiterBase&) = delete;
    AwaiterBase(AwaiterBase&& other) noexcept : ctx_(other.ctx_) {}
    ~AwaiterBase() override { unhook(); }

protected:

    [[nodiscard]] bool cancelledBeforeSuspend() const { return ctx_->cancelled(); }
    /// Registers the suspension; the returned token wakes it.
    WakeToken hook(std::coroutine_handle<> h) {
        handle_ = h;
        ctx_->hook = this;
        return WakeToken(ctx_->root, ++ctx_->waitId);
    }
    void unhook() {
        if (ctx_ != nullptr && ctx_->hook == this) ctx_->hook = nullptr;
    }
    void onWake() override {
        unhook();
        ctx_->resumeHere(handle_);
    }
    void throwIfCancelled() const {
        if (cancelledWait_ || ctx_->cancelled()) throw Cancelled{};
    }
    /// Resumes the task with `Cancelled` after `withdraw()` gave up the wait.
    void onCancel() override {
        unhook();
        withdraw();
        cancelledWait_ = true;
        ctx_->resumeHere(handle_);
    }
    virtual void withdraw() = 0;

    TaskContext* ctx_;
    std::coroutine_handle<> handle_;
    bool cancelledWait_ = false;
};

/// Anything a task may await: it binds to the task's context and yields an awaiter.
template <class A>
concept Bindable = requires(A&& a, TaskContext* ctx) { std::forward<A>(a).bind(ctx); };

class PromiseBase {
public:
    std::suspend_always initial_suspend() noexcept { return {}; }

    template <Bindable A>
    auto await_transform(A&& awaitable) {
        return std::forward<A>(awaitable).bind(ctx);
    }

    TaskContext* ctx = nullptr;
    std::coroutine_handle<> continuation;
    /// Set on the outermost task of a spawn: told when the task finishes.
    void (*onRootFinished)(void* root, std::coroutine_handle<> self) = nullptr;
    void* rootState = nullptr;

    struct FinalAwaiter {
        bool await_ready() noexcept { return false; }
        template <class P>
        std::coroutine_handle<> await_suspend(std::coroutine_handle<P> h) noexcept {
            PromiseBase& p = h.promise();
            if (p.continuation) return p.continuation;
            if (p.onRootFinished != nullptr) p.onRootFinished(p.rootState, h);
            return std::noop_coroutine();
        }
        void await_resume() noexcept {}
    };
    FinalAwaiter final_suspend() noexcept { return {}; }
};

template <class T>
class Promise;

}  // namespace detail

/// A lazily started coroutine producing T. Awaiting it runs it inline in the awaiting task's
/// context (same executor, same cancellation); `spawn` runs it as a task of its own.
/// Destroying a Task destroys its frame, wherever it is suspended.
template <class T = void>
class [[nodiscard]] Task {
public:
    using promise_type = detail::Promise<T>;
    using Handle = std::coroutine_handle<promise_type>;

    Task() = default;
    explicit Task(Handle h) : handle_(h) {}
    Task(Task&& other) noexcept : handle_(std::exchange(other.handle_, {})) {}
    Task& operator=(Task&& other) noexcept {
        if (this != &other) {
            reset();
            handle_ = std::exchange(other.handle_, {});
        }
        return *this;
    }
    Task(const Task&) = delete;
    Task& operator=(const Task&) = delete;
    ~Task() { reset(); }

    void reset() {
        if (handle_) std::exchange(handle_, {}).destroy();
    }
    [[nodiscard]] Handle handle() const { return handle_; }
    [[nodiscard]] explicit operator bool() const { return static_cast<bool>(handle_); }

    class Awaiter {
    public:
        Awaiter(Handle child, detail::TaskContext* ctx) : child_(child), ctx_(ctx) {}
        bool await_ready() const { return ctx_->cancelled(); }
        std::coroutine_handle<> await_suspend(std::coroutine_handle<> parent) {
            child_.promise().ctx = ctx_;
            child_.promise().continuation = parent;
            return child_;
        }
        T await_resume() {
            if (!child_.promise().hasOutcome()) throw Cancelled{};
            return child_.promise().result();
        }

    private:
        Handle child_;
        detail::TaskContext* ctx_;
    };

    Awaiter bind(detail::TaskContext* ctx) && {
        VESKA_CHECK(handle_, "awaiting an empty task");
        return Awaiter(handle_, ctx);
    }

private:
    Handle handle_;
};

namespace detail {

template <class T>
class Promise : public PromiseBase {
public:
    Task<T> get_return_object() { return Task<T>(std::coroutine_handle<Promise>::from_promise(*this)); }
    template <class U>
    void return_value(U&& value) {
        outcome_.template emplace<1>(std::forward<U>(value));
    }
    void unhandled_exception() { outcome_.template emplace<2>(std::current_exception()); }

    [[nodiscard]] bool hasOutcome() const { return outcome_.index() != 0; }
    T result() {
        if (outcome_.index() == 2) std::rethrow_exception(std::get<2>(outcome_));
        return std::move(std::get<1>(outcome_));
    }
    [[nodiscard]] std::exception_ptr error() const {
        return outcome_.index() == 2 ? std::get<2>(outcome_) : nullptr;
    }

private:
    std::variant<std::monostate, T, std::exception_ptr> outcome_;
};

template <>
class Promise<void> : public PromiseBase {
public:
    Task<void> get_return_object() {
        return Task<void>(std::coroutine_handle<Promise>::from_promise(*this));
    }
    void return_void() { finished_ = true; }
    void unhandled_exception() {
        error_ = std::current_exception();
        finished_ = true;
    }

    [[nodiscard]] bool hasOutcome() const { return finished_; }
    void result() {
        if (error_) std::rethrow_exception(error_);
    }
    [[nodiscard]] std::exception_ptr error() const { return error_; }

private:
    bool finished_ = false;
    std::exception_ptr error_;
};

}  // namespace detail

/// The value a task yields, with void mapped to std::monostate (for races and outcomes).
template <class T>
using ValueOf = std::conditional_t<std::is_void_v<T>, std::monostate, T>;

}  // namespace veska::rt
