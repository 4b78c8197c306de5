// The Claude voice stream source: live text, live typing, finishing and failures.
#include "core/app/AppState.h"
#include "runtime/Sleep.h"
#include "core/app/UserDefaults.h"
#include "core/ui/AppStringsDictation.h"
#include "text/WhiteSpace.h"

namespace veska {

using Kind = HUDState::Kind;

void AppState::startClaudeSTT() {
    if (!micGranted()) {
        scope_.start(env_.main, askMicAccess());
        return;
    }
    std::shared_ptr<VoiceStream> session = env_.claude.makeVoiceSession();
    // Opening the microphone takes a moment: the take counts as starting until it is open, so a
    // tap meanwhile cancels it and a hold is ignored.
    sttStarting = scope_.spawn(env_.main, openClaudeMic(session));
    syncEscapeSwallow();
}

rt::Task<void> AppState::askMicAccess() {
    const bool granted = co_await env_.permissions.request(ports::Permission::microphone);
    if (!granted) setHUD(HUDState::error(AppStrings::micPermission()));
}

rt::Task<void> AppState::openClaudeMic(std::shared_ptr<VoiceStream> session) {
    std::optional<ClaudeVoiceError> failure;
    try {
        failure = co_await session->startMic();
    } catch (const rt::Cancelled&) {
        session->cancel();
        throw;
    }
    sttStarting = {};
    syncEscapeSwallow();
    if (failure) {
        session->cancel();
        setHUD(HUDState::error(AppStrings::microphoneUnavailable()));
        co_return;
    }
    claudeMicOpened(std::move(session));
}

void AppState::claudeMicOpened(std::shared_ptr<VoiceStream> session) {
    captureComposeContext();
    liveTyper = std::make_shared<LiveTyper>(env_.selection, sttTargetApp);
    claudeVoice = session;
    claudeFinishing = false;
    syncEscapeSwallow();
    const bool live = !takeTarget && !takeCompose && !takeFix;

    std::weak_ptr<AppState*> weakApp = self_;
    std::weak_ptr<VoiceStream> weakSession = session;
    session->onText = [weakApp, weakSession, live](const std::string& text) {
        auto app = weakApp.lock();
        auto current = weakSession.lock();
        if (!app || !current || (*app)->claudeVoice != current) return;
        AppState& self = **app;
        self.claudeText = text;
        if (!self.claudeFinishing) self.env_.hud.setListeningPreview(text);
        if (live && self.liveTyper) self.liveTyper->update(text);
    };
    session->onLevel = [weakApp](double level) {
        if (auto app = weakApp.lock()) (*app)->env_.hud.setLevel(level);
    };
    session->onFailure = [weakApp, weakSession](ClaudeVoiceError error) {
        auto app = weakApp.lock();
        auto current = weakSession.lock();
        if (!app || !current || (*app)->claudeVoice != current || (*app)->claudeFinishing) return;
        (*app)->failClaudeSTT(error);
    };
    env_.hud.begin(UserDefaults::kClaudeWeb, targetName());
    setHUD(Kind::listening);
    menuBar.setCancelEnabled(true);
    scope_.start(env_.main, connectClaude(std::move(session)));
}

rt::Task<void> AppState::connectClaude(std::shared_ptr<VoiceStream> session) {
    const std::optional<ClaudeCredentials> credentials = co_await env_.claude.credentials();
    if (!credentials) {
        session->failBeforeConnect(ClaudeVoiceError::needLogin);
        co_return;
    }
    if (claudeVoice != session) co_return;
    session->connect(credentials->cookieHeader, credentials->organization, env_.claude.dictationLanguage());
}

void AppState::finishClaudeSTT() {
    if (!claudeVoice || !liveTyper || claudeFinishing) return;
    Take take = freezeTake();
    claudeFinishing = true;
    suppressFn();
    busy = true;
    setHUD(Kind::transcribing);
    workTask = {};
    workTask = scope_.spawn(env_.main, finishClaude(claudeVoice, liveTyper, std::move(take), ++workSerial_));
}

rt::Task<void> AppState::finishClaude(std::shared_ptr<VoiceStream> session, std::shared_ptr<LiveTyper> typer,
                                      Take take, std::uint64_t work) {
    (void)work;
    const VoiceResult result = co_await session->finish();
    if (claudeVoice != session) co_return;
    session->onText = nullptr;
    if (!result.text) {
        busy = false;
        failClaudeSTT(result.error.value_or(ClaudeVoiceError::server));
        refreshCancelEntry();
        co_return;
    }
    const std::string text(text::trimmed(*result.text));
    if (text.empty()) {
        co_await typer->settle(std::string());
        endClaudeSession();
        setHUD(HUDState::error(AppStrings::emptyTranscript()));
        busy = false;
        refreshCancelEntry();
        co_return;
    }
    const AIStepResult step = co_await runAIStep(text, take);
    if (claudeVoice != session) co_return;
    const bool ok = co_await typer->settle(step.text);
    env_.pasteboard.clear();
    env_.pasteboard.write(ports::PasteboardContents{.plainText = step.text});
    endClaudeSession();
    suppressFn();
    if (keyboardPasteWithoutMonitoring(take.targetApp)) {
        setHUD(HUDState::error(AppStrings::enableInputMonitoring()));
    } else if (!ok) {
        setHUD(HUDState::error(AppStrings::copiedPasteHint()));
    } else {
        setHUD(reportAfterInsert(take, step.failed, false));
    }
    busy = false;
    refreshCancelEntry();
}

void AppState::failClaudeSTT(ClaudeVoiceError error) {
    if (liveTyper && !claudeText.empty()) scope_.start(env_.main, settleAndCopy(liveTyper, claudeText));
    endClaudeSession();
    busy = false;
    const std::string service = env_.claude.displayName();
    switch (error) {
        case ClaudeVoiceError::needLogin:
            setHUD(Kind::transcribing);
            scope_.start(env_.main, checkClaudeAfterNeedLogin(userAction));
            return;
        case ClaudeVoiceError::noMic: setHUD(HUDState::error(AppStrings::microphoneUnavailable())); return;
        case ClaudeVoiceError::connect:
        case ClaudeVoiceError::server: setHUD(HUDState::error(AppStrings::serviceDisconnected(service))); return;
    }
}

rt::Task<void> AppState::settleAndCopy(std::shared_ptr<LiveTyper> typer, std::string text) {
    co_await typer->settle(text);
    env_.pasteboard.clear();
    env_.pasteboard.write(ports::PasteboardContents{.plainText = text});
}

rt::Task<void> AppState::checkClaudeAfterNeedLogin(std::uint64_t action) {
    const ClaudeAccount account = co_await env_.claude.checkAccount();
    noteClaudeAccount(account);
    if (userAction == action && !isActiveWork()) {
        const std::string service = env_.claude.displayName();
        if (account.kind == ClaudeAccount::Kind::signedOut) {
            setHUD(HUDState::error(AppStrings::signInTo(service)));
            openClaudeLogin(false);
        } else {
            setHUD(HUDState::error(AppStrings::serviceDisconnected(service)));
        }
    }
    co_await refreshMenuStatus();
}

void AppState::endClaudeSession() {
    clearTakeContext();
    if (claudeVoice) claudeVoice->cancel();
    claudeVoice.reset();
    liveTyper.reset();
    claudeFinishing = false;
    claudeText.clear();
    syncEscapeSwallow();
}

}  // namespace veska
