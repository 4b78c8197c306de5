#include "core/app/ChatGPTLoginWindowController.h"

#include "core/ui/AppStrings.h"
#include "runtime/Sleep.h"

namespace veska {

ChatGPTLoginWindowController::ChatGPTLoginWindowController(rt::Executor& main, ChatGPTSession& session,
                                                           ChatGPTLoginView& view)
    : main_(main), session_(session), view_(view) {
    view_.onCancelButton = [this] { cancelLogin(); };
    view_.onClosedByUser = [this] { closedByUser(); };
}

ChatGPTLoginWindowController::~ChatGPTLoginWindowController() {
    view_.onCancelButton = nullptr;
    view_.onClosedByUser = nullptr;
}

ChatGPTLoginContent ChatGPTLoginWindowController::content() {
    return {"Veska · ChatGPT", AppStrings::chatgptLoginNote(), AppStrings::cancelButton(),
            std::string(ChatGPTSession::kUserAgent)};
}

void ChatGPTLoginWindowController::show(bool forceRelogin) {
    if (!view_.exists()) view_.create(content());
    view_.setHelp(std::nullopt);
    view_.setProgressRunning(true);
    view_.bringToFront();
    openTask_ = scope_.spawn(main_, open(forceRelogin));
}

rt::Task<void> ChatGPTLoginWindowController::open(bool forceRelogin) {
    if (forceRelogin) co_await session_.clearChatGPTCookies();
    if (!view_.exists()) co_return;
    view_.load(session_.loginURL(), kLoadTimeoutSeconds);
    pollTask_ = scope_.spawn(main_, poll());
}

rt::Task<void> ChatGPTLoginWindowController::poll() {
    for (int attempt = 1; attempt <= kMaxAttempts; ++attempt) {
        std::optional<ChatGPTToken> token = co_await session_.fetchAccessToken();
        if (token) {
            view_.setProgressRunning(false);
            if (auto onSuccessNow = onSuccess) onSuccessNow(token->token, token->session);
            // This task is the one ending: only the window goes.
            openTask_ = {};
            if (view_.exists()) view_.dismiss();
            co_return;
        }
        if (attempt == kMaxAttempts) break;
        co_await rt::sleepFor(kPollSeconds);
    }
    view_.setHelp(AppStrings::chatgptLoginHelp());
    view_.setProgressRunning(false);
}

void ChatGPTLoginWindowController::close() {
    openTask_ = {};
    pollTask_ = {};
    if (view_.exists()) view_.dismiss();
}

void ChatGPTLoginWindowController::cancelLogin() {
    close();
    if (auto onCancelNow = onCancel) onCancelNow();
}

void ChatGPTLoginWindowController::closedByUser() {
    openTask_ = {};
    pollTask_ = {};
    if (auto onCancelNow = onCancel) onCancelNow();
}

}  // namespace veska
