// Spawned tasks: starting, waking, cancelling and destroying them under their frame lock.
#include "runtime/Spawn.h"

namespace veska::rt {
namespace detail {

/// Holds a task's frame lock. Re-entrant on the thread holding it, so a task may be woken or
/// destroyed from inside its own slice without deadlock.
class RootBase::FrameLock {
public:
    explicit FrameLock(RootBase& root) : root_(root), owns_(!root.frameHeldHere()) {
        if (!owns_) return;
        root_.frameMutex_.lock();
        root_.frameHolder_.store(std::this_thread::get_id(), std::memory_order_relaxed);
    }
    ~FrameLock() {
        if (!owns_) return;
        root_.frameHolder_.store(std::thread::id{}, std::memory_order_relaxed);
        root_.frameMutex_.unlock();
    }
    FrameLock(const FrameLock&) = delete;
    FrameLock& operator=(const FrameLock&) = delete;

private:
    RootBase& root_;
    bool owns_;
};

void TaskContext::resumeHere(std::coroutine_handle<> h) { h.resume(); }

void WakeToken::wake() const {
    auto root = root_.lock();
    if (!root) return;
    Executor* executor = root->ctx->executor.load();
    executor->post([root, id = id_] { root->wakeUp(id); });
}

void WakeToken::wakeHereIfCurrent() const {
    auto root = root_.lock();
    if (!root) return;
    if (!root->ctx->executor.load()->isCurrent()) {
        wake();
        return;
    }
    root->wakeUp(id_);
}

RootBase::~RootBase() = default;

void RootBase::start() {
    FrameLock lock(*this);
    if (outcome != Outcome::running) return;  // destroyed before it could start
    frame().resume();
}

void RootBase::wakeUp(std::uint64_t waitId) {
    FrameLock lock(*this);
    if (ctx->hook != nullptr && ctx->waitId == waitId) ctx->hook->onWake();
}

void RootBase::cancel() {
    if (ctx->cancelRequested.exchange(true)) return;
    postCancel();
}

void RootBase::postCancel() {
    Executor* executor = ctx->executor.load();
    executor->post([self = shared_from_this(), executor] {
        FrameLock lock(*self);
        // The task may have moved to another executor after this was posted: its wait is
        // withdrawn there, so that it unwinds where it now runs.
        if (self->ctx->executor.load() != executor) {
            self->postCancel();
            return;
        }
        if (self->ctx->hook != nullptr) self->ctx->hook->onCancel();
    });
}

void RootBase::destroyFrame() {
    VESKA_CHECK(!frameHeldHere(), "a task destroying its own frame while it runs");
    auto keep = shared_from_this();
    FrameLock lock(*this);
    if (outcome != Outcome::running) return;
    ctx->cancelRequested = true;
    dropFrame();
    finished(Outcome::cancelled);
}

void RootBase::whenDone(std::function<void()> callback) {
    {
        std::lock_guard lock(doneMutex_);
        if (outcome == Outcome::running) {
            onDone_.push_back(std::move(callback));
            return;
        }
    }
    callback();
}

void RootBase::finished(Outcome how) {
    const auto keep = shared_from_this();  // the scope may hold the last reference
    std::vector<std::function<void()>> callbacks;
    {
        std::lock_guard lock(doneMutex_);
        outcome = how;
        callbacks = std::move(onDone_);
        onDone_.clear();
    }
    // Leave the scope before anyone waiting is woken: a waiter on another executor may destroy
    // the scope (runOn's, in its frame) as soon as it resumes.
    if (scope) {
        auto owner = std::move(scope);
        leaveScope(*owner, *this);
    }
    for (auto& callback : callbacks) callback();
}

std::shared_ptr<RootBase> launch(Executor& executor, std::shared_ptr<RootBase> root) {
    root->ctx->executor = &executor;
    executor.post([root] { root->start(); });
    return root;
}

void JoinAwaiter::await_suspend(std::coroutine_handle<> h) {
    WakeToken token = hook(h);
    root_->whenDone([token] { token.wake(); });
}

}  // namespace detail
}  // namespace veska::rt
