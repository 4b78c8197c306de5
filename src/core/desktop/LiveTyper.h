// Live typing: keeps another application's field equal to the growing transcript.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "core/desktop/SelectionService.h"
#include "runtime/AsyncMutex.h"
#include "runtime/Completion.h"
#include "runtime/Spawn.h"
#include "runtime/Task.h"

namespace veska {

/// One per live dictation. While the user speaks, `update` hands it each partial transcript
/// and it retypes only the changed tail into the target application's focused field; the
/// dictation ends with exactly one `settle` (the final text) or `retract` (take it all back).
///
/// All typing runs on the serial queue `services.liveTyper`, one work item at a time (a work
/// item holds the queue's turn across its waits). `latest`, `scheduled` and `typed` are
/// guarded by `lock`, which is never held across a wait nor while a step types. Keys are only
/// ever typed while the target is the frontmost application. Owns its queued work in a scope:
/// destroy the typer on the live-typer queue or once its `settle`/`retract` has returned.
class LiveTyper {
public:
    /// Records whether keys can be posted and the pasteboard's plain text now. `target` is
    /// the application that was in front when the dictation started; none types nothing.
    LiveTyper(SelectionService& selection, std::optional<ports::RunningApp> target);
    ~LiveTyper();
    LiveTyper(const LiveTyper&) = delete;
    LiveTyper& operator=(const LiveTyper&) = delete;

    /// The whole transcript so far. Returns at once; typing happens later on the queue, and a
    /// burst of updates is typed as its newest text. Callable from any thread.
    void update(std::string text);
    /// The final text: brings the target to the front if needed, types until the field
    /// matches, and finishes with whether everything typed now equals `text`. Cancelling the
    /// caller stops the wait, not the typing.
    rt::Task<bool> settle(std::string text);
    /// Deletes everything typed, then puts back the pasteboard's plain text of the start
    /// (leaving it empty if it held none).
    rt::Task<void> retract();

private:
    /// Lets work posted from other threads find the typer only while it lives.
    struct Anchor {
        std::mutex mutex;
        LiveTyper* owner = nullptr;
    };

    /// Puts `work` on the queue, behind the work already there.
    void enqueue(rt::Task<void> work);
    rt::Task<void> drainWork();
    rt::Task<void> settleWork(std::string text, rt::Completion<bool> done);
    /// Types `latest` until `typed` matches it or the target is not in front.
    rt::Task<void> drain();
    /// One typing step from `typed` to `newText`.
    rt::Task<void> apply(std::string newText);
    /// Deletes `count` characters before the caret by keys, or through the automation service
    /// when keys cannot be posted; how many went out.
    rt::Task<std::size_t> deleteBeforeCaret(std::size_t count);
    /// Posts `count` Deletes in bursts; how many were posted (fewer when the target left the
    /// front or an event could not be made).
    rt::Task<std::size_t> postDeletes(std::size_t count);
    void pasteTail(const std::string& insert);
    rt::Task<void> activateTarget();
    /// Brings the target to the front from the main executor.
    rt::Task<void> activateOnMain(std::int32_t pid);

    [[nodiscard]] bool targetHasQuit() const;
    [[nodiscard]] bool targetIsFrontmost() const;
    [[nodiscard]] bool mayType() const;
    void setTyped(std::string text);

    SelectionService& selection_;
    const DesktopServices& services_;
    rt::Executor& q_;
    std::mutex lock_;
    std::string latest_;
    bool scheduled_ = false;
    std::string typed_;
    const std::optional<ports::RunningApp> target_;
    const bool canPostKeys_;
    const std::optional<std::string> clipboardBefore_;
    /// The queue's turn: held by one work item at a time, handed on in arrival order.
    rt::AsyncMutex turn_;
    std::shared_ptr<Anchor> anchor_ = std::make_shared<Anchor>();
    rt::Scope scope_;
};

}  // namespace veska
