// The ChatGPT sign-in window: shows the sign-in page and watches the shared web profile until
// the session yields an access token.
#pragma once

#include "core/app/AppCollaborators.h"
#include "core/app/ChatGPTLoginView.h"
#include "core/web/ChatGPTSession.h"
#include "runtime/Executor.h"
#include "runtime/Spawn.h"

namespace veska {

/// Opens the ChatGPT sign-in page in `view` and asks the session for a token right away and
/// then every `kPollSeconds`, `kMaxAttempts` times at most (about three minutes). A token ends
/// the sign-in: `onSuccess`, then the window closes. Giving up leaves the window open with a
/// help line. At most one polling task runs; it lives in this object's scope. Main executor;
/// the view and the session outlive it.
class ChatGPTLoginWindowController final : public ChatGPTLoginWindow {
public:
    static constexpr int kMaxAttempts = 90;
    static constexpr double kPollSeconds = 2.0;
    static constexpr double kLoadTimeoutSeconds = 60;

    ChatGPTLoginWindowController(rt::Executor& main, ChatGPTSession& session, ChatGPTLoginView& view);
    ChatGPTLoginWindowController(const ChatGPTLoginWindowController&) = delete;
    ChatGPTLoginWindowController& operator=(const ChatGPTLoginWindowController&) = delete;
    ~ChatGPTLoginWindowController() override;

    void show(bool forceRelogin) override;
    /// Stops polling and discards the window; `onCancel` is not called.
    void close() override;

    [[nodiscard]] bool polling() const { return pollTask_.valid() && !pollTask_.done(); }

    /// What the window shows, in the interface language.
    [[nodiscard]] static ChatGPTLoginContent content();

private:
    rt::Task<void> open(bool forceRelogin);
    rt::Task<void> poll();
    void cancelLogin();
    void closedByUser();

    rt::Executor& main_;
    ChatGPTSession& session_;
    ChatGPTLoginView& view_;
    rt::JoinHandle<void> openTask_;
    rt::JoinHandle<void> pollTask_;
    rt::Scope scope_;
};

}  // namespace veska
