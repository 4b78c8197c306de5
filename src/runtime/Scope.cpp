// Scopes: the tasks they own, shared with the threads those tasks end on.
#include <utility>

#include "runtime/Spawn.h"

namespace veska::rt {
namespace detail {

/// What a scope shares with its tasks, behind one lock: the tasks that have not ended, the
/// tasks waiting for them all to end, and whether the scope is closed (being destroyed), after
/// which nothing here changes. Tasks ending on any thread leave it.
struct ScopeState {
    std::mutex mutex;
    /// In spawning order; a task that ended leaves a hole until the holes are swept.
    std::vector<std::shared_ptr<RootBase>> roots;
    std::size_t live = 0;
    std::vector<std::pair<const DrainAwaiter*, WakeToken>> drainWaiters;
    bool closed = false;

    void add(const std::shared_ptr<RootBase>& root) {
        root->scopeSlot = roots.size();
        roots.push_back(root);
        ++live;
    }
    void remove(RootBase& root) {
        if (root.scopeSlot >= roots.size() || roots[root.scopeSlot].get() != &root) return;
        roots[root.scopeSlot].reset();
        --live;
        if (live == 0) {
            roots.clear();
        } else if (roots.size() >= kSweepAt && live * 2 < roots.size()) {
            sweep();
        }
    }
    /// The tasks still running, in spawning order.
    [[nodiscard]] std::vector<std::shared_ptr<RootBase>> running() const {
        std::vector<std::shared_ptr<RootBase>> result;
        result.reserve(live);
        for (const auto& root : roots) {
            if (root) result.push_back(root);
        }
        return result;
    }

private:
    static constexpr std::size_t kSweepAt = 32;
    void sweep() {
        std::erase(roots, nullptr);
        for (std::size_t i = 0; i < roots.size(); ++i) roots[i]->scopeSlot = i;
    }
};

namespace {
void wakeAll(const std::vector<std::pair<const DrainAwaiter*, WakeToken>>& waiters) {
    for (const auto& waiter : waiters) waiter.second.wake();
}
}  // namespace

void leaveScope(ScopeState& state, RootBase& root) {
    std::vector<std::pair<const DrainAwaiter*, WakeToken>> waiters;
    {
        std::lock_guard lock(state.mutex);
        if (state.closed) return;  // the scope's destructor took its tasks
        state.remove(root);
        if (state.live == 0) waiters.swap(state.drainWaiters);
    }
    wakeAll(waiters);
}

DrainAwaiter::DrainAwaiter(TaskContext* ctx, std::shared_ptr<ScopeState> state)
    : AwaiterBase(ctx), state_(std::move(state)) {}

DrainAwaiter::~DrainAwaiter() { withdraw(); }

bool DrainAwaiter::await_ready() const {
    if (cancelledBeforeSuspend()) return true;
    std::lock_guard lock(state_->mutex);
    return state_->live == 0;
}

void DrainAwaiter::await_suspend(std::coroutine_handle<> h) {
    WakeToken token = hook(h);
    {
        std::lock_guard lock(state_->mutex);
        if (state_->live != 0) {
            state_->drainWaiters.emplace_back(this, token);
            return;
        }
    }
    token.wake();  // the last task ended between the check and now
}

void DrainAwaiter::withdraw() {
    if (!state_) return;  // moved from
    std::lock_guard lock(state_->mutex);
    std::erase_if(state_->drainWaiters, [this](const auto& waiter) { return waiter.first == this; });
}

}  // namespace detail

Scope::Scope() : state_(std::make_shared<detail::ScopeState>()) {}

Scope::~Scope() {
    std::vector<std::shared_ptr<detail::RootBase>> roots;
    std::vector<std::pair<const detail::DrainAwaiter*, detail::WakeToken>> waiters;
    {
        std::lock_guard lock(state_->mutex);
        state_->closed = true;
        roots = state_->running();
        state_->roots.clear();
        state_->live = 0;
        waiters.swap(state_->drainWaiters);
    }
    for (auto& root : roots) {
        if (root->frameHeldHere()) {
            root->cancel();  // the scope's owner is being destroyed from inside this task
        } else {
            root->destroyFrame();
        }
    }
    detail::wakeAll(waiters);
}

void Scope::cancelAll() {
    std::vector<std::shared_ptr<detail::RootBase>> roots;
    {
        std::lock_guard lock(state_->mutex);
        roots = state_->running();
    }
    for (auto& root : roots) root->cancel();
}

std::size_t Scope::size() const {
    std::lock_guard lock(state_->mutex);
    return state_->live;
}

void Scope::adopt(const std::shared_ptr<detail::RootBase>& root) {
    root->scope = state_;
    std::lock_guard lock(state_->mutex);
    VESKA_CHECK(!state_->closed, "spawning into a scope that is being destroyed");
    state_->add(root);
}

}  // namespace veska::rt
