// Live typing on its own queue: coalesced updates, the changed tail retyped, settle and retract.
#include "core/desktop/LiveTyper.h"

#include <utility>
#include <vector>

#include "core/desktop/LiveTyperDiff.h"
#include "runtime/RunOn.h"
#include "runtime/Sleep.h"

namespace veska {
namespace {

/// Deletes go out in bursts of this many key pairs, with a short pause after each burst.
constexpr std::size_t kDeleteBurst = 16;
constexpr double kBurstPauseSeconds = 0.003;
/// After asking the target to come to the front: how often and how long to look for it there,
/// and how long to let it settle once it is.
constexpr int kActivationPolls = 20;
constexpr double kActivationPollSeconds = 0.025;
constexpr double kAfterActivationSeconds = 0.080;

const std::vector<ports::SyntheticKey> kDeletePair{{.keyCode = ports::keys::kDelete, .down = true},
                                                   {.keyCode = ports::keys::kDelete, .down = false}};

}  // namespace

LiveTyper::LiveTyper(SelectionService& selection, std::optional<ports::RunningApp> target)
    : selection_(selection),
      services_(selection.services()),
      q_(services_.liveTyper),
      target_(std::move(target)),
      canPostKeys_(selection.hasInputMonitoring()),
      clipboardBefore_(services_.pasteboard.plainText()) {
    anchor_->owner = this;
}

LiveTyper::~LiveTyper() {
    std::lock_guard guard(anchor_->mutex);
    anchor_->owner = nullptr;
}

void LiveTyper::enqueue(rt::Task<void> work) {
    // The scope is only touched on the queue, so work handed over from any thread is started
    // there; if the typer is gone by then, the work is dropped without running.
    auto pending = std::make_shared<rt::Task<void>>(std::move(work));
    q_.post([anchor = anchor_, pending] {
        std::lock_guard guard(anchor->mutex);
        if (anchor->owner != nullptr) anchor->owner->scope_.start(anchor->owner->q_, std::move(*pending));
    });
}

void LiveTyper::update(std::string text) {
    bool wasScheduled = false;
    {
        std::lock_guard guard(lock_);
        latest_ = std::move(text);
        wasScheduled = std::exchange(scheduled_, true);
    }
    if (!wasScheduled) enqueue(drainWork());
}

rt::Task<bool> LiveTyper::settle(std::string text) {
    {
        std::lock_guard guard(lock_);
        latest_ = text;
        scheduled_ = true;
    }
    rt::Completion<bool> done;
    enqueue(settleWork(std::move(text), done));
    const bool matches = co_await done.wait();
    co_return matches;
}

rt::Task<void> LiveTyper::retract() {
    co_await settle(std::string());
    services_.pasteboard.clear();
    if (clipboardBefore_) services_.pasteboard.write({.plainText = *clipboardBefore_});
}

rt::Task<void> LiveTyper::drainWork() {
    const rt::AsyncMutex::Guard turn = co_await turn_.lock();
    co_await drain();
}

rt::Task<void> LiveTyper::settleWork(std::string text, rt::Completion<bool> done) {
    const rt::AsyncMutex::Guard turn = co_await turn_.lock();
    co_await activateTarget();
    co_await drain();
    bool matches = false;
    {
        std::lock_guard guard(lock_);
        matches = typed_ == text;
    }
    done.resolve(matches);
}

rt::Task<void> LiveTyper::drain() {
    std::unique_lock guard(lock_);
    while (latest_ != typed_) {
        // Never type into an application the user has switched to: wait for settle instead.
        if (!mayType()) break;
        std::string next = latest_;
        guard.unlock();
        co_await apply(std::move(next));
        guard.lock();
    }
    scheduled_ = false;
}

rt::Task<void> LiveTyper::apply(std::string newText) {
    if (!target_) {
        setTyped(std::move(newText));
        co_return;
    }
    std::string before;
    {
        std::lock_guard guard(lock_);
        before = typed_;
    }
    const TypingEdit edit = typingEdit(before, newText);
    if (edit.empty()) {
        setTyped(std::move(newText));
        co_return;
    }
    const std::int32_t pid = target_->pid;
    if (!selection_.prefersKeyboardPaste(pid) &&
        selection_.replaceBeforeCaretViaAX(std::string(edit.deleted), std::string(edit.insert), pid)) {
        setTyped(std::move(newText));
        co_return;
    }
    const std::size_t deleteCount = edit.deletedCharacters;
    const std::size_t deletedNow = co_await deleteBeforeCaret(deleteCount);
    if (deletedNow < deleteCount || !mayType()) {
        // The user switched away in the middle of the step: what stands in the field is the
        // old text less the characters deleted so far; the rest waits for the target.
        setTyped(std::string(dropLastCharacters(before, deletedNow)));
        co_await rt::sleepFor(pauseAfterTyping(deletedNow));
        co_return;
    }
    if (!edit.insert.empty()) pasteTail(std::string(edit.insert));
    setTyped(std::move(newText));
    co_await rt::sleepFor(pauseAfterTyping(deleteCount));
}

rt::Task<std::size_t> LiveTyper::deleteBeforeCaret(std::size_t count) {
    if (count == 0) co_return 0;
    if (canPostKeys_) {
        const std::size_t posted = co_await postDeletes(count);
        co_return posted;
    }
    // The automation service types the whole repeat at once.
    std::vector<ports::SyntheticKey> keys;
    keys.reserve(count * kDeletePair.size());
    for (std::size_t i = 0; i < count; ++i) keys.insert(keys.end(), kDeletePair.begin(), kDeletePair.end());
    services_.poster.postViaAutomation(keys);
    co_return count;
}

rt::Task<std::size_t> LiveTyper::postDeletes(std::size_t count) {
    for (std::size_t pair = 0; pair < count; ++pair) {
        if (pair % kDeleteBurst == 0 && !mayType()) co_return pair;
        // An event that cannot be made ends the deleting; the step goes on as if it had not.
        if (!services_.poster.post(kDeletePair)) co_return count;
        if ((pair + 1) % kDeleteBurst == 0) co_await rt::sleepFor(kBurstPauseSeconds);
    }
    co_return count;
}

void LiveTyper::pasteTail(const std::string& insert) {
    services_.pasteboard.clear();
    services_.pasteboard.write({.plainText = insert, .transient = true});
    if (canPostKeys_) {
        selection_.postCommandC(ports::keys::kV);
    } else {
        selection_.pasteViaSystemEvents();
    }
}

rt::Task<void> LiveTyper::activateOnMain(std::int32_t pid) {
    services_.workspace.activate(pid);
    co_return;
}

rt::Task<void> LiveTyper::activateTarget() {
    if (!target_ || targetHasQuit() || targetIsFrontmost()) co_return;
    co_await rt::runOn(services_.main, activateOnMain(target_->pid));
    for (int poll = 0; poll < kActivationPolls; ++poll) {
        if (!targetHasQuit() && targetIsFrontmost()) break;
        co_await rt::sleepFor(kActivationPollSeconds);
    }
    co_await rt::sleepFor(kAfterActivationSeconds);
}

bool LiveTyper::targetHasQuit() const {
    if (!target_) return true;
    const std::optional<ports::RunningApp> app = services_.workspace.application(target_->pid);
    return !app || app->terminated;
}

bool LiveTyper::targetIsFrontmost() const {
    if (!target_) return false;
    const std::optional<ports::RunningApp> front = services_.workspace.frontmostApplication();
    return front && front->pid == target_->pid;
}

bool LiveTyper::mayType() const { return target_ && !targetHasQuit() && targetIsFrontmost(); }

void LiveTyper::setTyped(std::string text) {
    std::lock_guard guard(lock_);
    typed_ = std::move(text);
}

}  // namespace veska
