// Spawned tasks: starting, waking, cancelling and destroying them, and scopes.
#include "runtime/Spawn.h"

#include <algorithm>

namespace veska::rt {
namespace detail {

namespace {
/// Marks the root as running while one of its coroutines is resumed.
class RunningGuard {
public:
    explicit RunningGuard(std::shared_ptr<RootBase> root) : root_(std::move(root)) {
        if (root_) root_->running = true;
    }
    ~RunningGuard() {
        if (root_) root_->running = false;
    }
    RunningGuard(const RunningGuard&) = delete;
    RunningGuard& operator=(const RunningGuard&) = delete;

private:
    std::shared_ptr<RootBase> root_;
};
}  // namespace

void TaskContext::resumeHere(std::coroutine_handle<> h) {
    RunningGuard guard(root.lock());
    h.resume();
}

void WakeToken::wake() const {
    auto root = root_.lock();
    if (!root) return;
    Executor* executor = root->ctx->executor.load();
    executor->post([root, id = id_] {
        TaskContext& ctx = *root->ctx;
        if (ctx.hook != nullptr && ctx.waitId == id) ctx.hook->onWake();
    });
}

void WakeToken::wakeHereIfCurrent() const {
    auto root = root_.lock();
    if (!root) return;
    TaskContext& ctx = *root->ctx;
    if (!ctx.executor.load()->isCurrent()) {
        wake();
        return;
    }
    if (ctx.hook != nullptr && ctx.waitId == id_) ctx.hook->onWake();
}

RootBase::~RootBase() = default;

void RootBase::start() {
    auto self = shared_from_this();
    if (outcome != Outcome::running) return;  // destroyed before it could start
    RunningGuard guard(self);
    frame().resume();
}

void RootBase::cancel() {
    if (ctx->cancelRequested.exchange(true)) return;
    auto self = shared_from_this();
    ctx->executor.load()->post([self] {
        if (self->ctx->hook != nullptr) self->ctx->hook->onCancel();
    });
}

void RootBase::destroyFrame() {
    if (outcome != Outcome::running) return;
    ctx->cancelRequested = true;
    auto keep = shared_from_this();
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
    if (scope != nullptr) {
        Scope* owner = scope;
        scope = nullptr;
        owner->forget(this);
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

Scope::~Scope() {
    auto roots = std::move(roots_);
    roots_.clear();
    for (auto& root : roots) {
        root->scope = nullptr;
        if (root->running) {
            root->cancel();  // the scope's owner is being destroyed from inside this task
        } else {
            root->destroyFrame();
        }
    }
}

void Scope::cancelAll() {
    auto roots = roots_;
    for (auto& root : roots) root->cancel();
}

void Scope::adopt(const std::shared_ptr<detail::RootBase>& root) {
    root->scope = this;
    roots_.push_back(root);
}

void Scope::forget(detail::RootBase* root) {
    auto it = std::find_if(roots_.begin(), roots_.end(),
                           [root](const auto& owned) { return owned.get() == root; });
    if (it != roots_.end()) roots_.erase(it);
}

}  // namespace veska::rt
