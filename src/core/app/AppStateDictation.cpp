// Starting and finishing a dictation, the ChatGPT (recorded file) source, and cancelling.
#include <algorithm>

#include "core/app/AppState.h"
#include "core/app/UserDefaults.h"
#include "core/ui/AppStrings.h"
#include "core/ui/AppStringsDictation.h"
#include "runtime/Sleep.h"
#include "text/WhiteSpace.h"

namespace veska {

using Kind = HUDState::Kind;

void AppState::toggleSTT() {
    if (claudeVoice) {
        finishClaudeSTT();
        return;
    }
    if (running(sttStarting) && !isRecording()) {
        cancelStarting();
        setHUD(Kind::idle);
        return;
    }
    if (busy) {
        if (isRecording()) finishSTT();
        return;
    }
    if (isRecording()) {
        finishSTT();
        return;
    }
    startSTT();
}

void AppState::holdSTTEnd() {
    if (claudeVoice) {
        finishClaudeSTT();
        return;
    }
    if (running(sttStarting) && !isRecording()) {
        cancelStarting();
        setHUD(Kind::idle);
        return;
    }
    if (isRecording()) finishSTT();
}

std::optional<std::string> AppState::targetName() const {
    if (!sttTargetApp) return std::nullopt;
    return sttTargetApp->localizedName;
}

std::string AppState::hudChip() const {
    if (takeCompose) return takeTarget ? "AI ✎ → " + takeTarget->chip() : "AI ✎";
    if (takeFix) {
        if (takeMode == Translator::WriteMode::normal) return "AI ✓";
        return "AI ✎ " + AppStrings::modeName(takeMode);
    }
    if (takeTarget) return "→ " + takeTarget->chip();
    return {};
}

void AppState::warmTakeConnection() {
    std::optional<AITask> task;
    if (takeFix) task = AITask::fix;
    if (!takeCompose && takeTarget) task = AITask::translate;
    if (takeCompose) task = AITask::write;
    if (task) env_.ai.warm(env_.ai.source(*task));
}

void AppState::startSTT() {
    ++userAction;
    env_.actions.stopReading();
    screenTask = {};
    syncEscapeSwallow();
    composeContextCut = false;
    if (busy) {
        cancelAll();
        if (busy) return;
    }
    auto front = env_.workspace.frontmostApplication();
    if (front && front->pid != env_.workspace.ownProcessId()) sttTargetApp = front;

    takeTarget = dictationTarget;
    takeCompose = hotkeyMonitor != nullptr && hotkeyMonitor->composePress;
    takeMode = Translator::current(env_.prefs);
    takeFix = (autoFix || takeMode != Translator::WriteMode::normal) && !takeCompose && !takeTarget;
    takeContext.reset();
    warmTakeConnection();
    std::string chip = hudChip();
    env_.hud.setOutputChip(chip.empty() ? std::nullopt : std::optional<std::string>(chip));

    if (sttProvider == UserDefaults::kClaudeWeb) {
        startClaudeSTT();
        return;
    }
    captureComposeContext();
    sttStarting = scope_.spawn(env_.main, chatGPTStart(takeContext));
    syncEscapeSwallow();
}

rt::Task<void> AppState::chatGPTStart(ContextTask context) {
    const bool mic0 = micGranted();
    const bool ax = accessibilityGranted();
    const bool im = inputMonitoringGranted();
    if ((!mic0 || !ax || !im) && context) co_await context->ended();
    co_await rt::cancellationPoint();
    bool stop = false;
    if (!mic0) {
        const bool granted = co_await mic.requestAccess();
        if (!granted) {
            setHUD(HUDState::error(AppStrings::micPermission()));
            stop = true;
        }
    }
    if (!stop && (!ax || !im)) {
        setHUD(HUDState::error(AppStrings::missingPermissions()));
        openPermissions(true);
        refreshPermissionsMenu();
        if (!micGranted()) {
            clearTakeContext();
            stop = true;
        }
    }
    if (!stop) {
        bool started = true;
        try {
            co_await mic.start();
        } catch (const rt::Cancelled&) {
            // A recording that began just as the start was cancelled is dropped with its file.
            if (mic.isRecording()) {
                if (auto path = mic.stop()) mic.deleteFile(*path);
            }
            throw;
        } catch (...) {
            started = false;
        }
        if (!started) {
            clearTakeContext();
            setHUD(HUDState::error(AppStrings::micError()));
        } else {
            env_.hud.begin(UserDefaults::kChatGPTWeb, targetName());
            setHUD(Kind::listening);
            startLevelMeter();
            menuBar.setCancelEnabled(true);
        }
    }
    // Dropping our own handle marks this (already finished) task as cancelled; nothing awaits it.
    sttStarting = {};
    syncEscapeSwallow();
}

AppState::Take AppState::freezeTake() const {
    return Take{sttTargetApp, takeTarget, takeCompose, takeFix, takeContext};
}

void AppState::finishSTT() {
    if (!isRecording()) return;
    levelTimer.cancel();
    auto path = mic.stop();
    if (!path) return;
    suppressFn();
    Take take = freezeTake();
    busy = true;
    setHUD(Kind::transcribing);
    workTask = {};
    workTask = scope_.spawn(env_.main, finishChatGPT(*path, std::move(take), ++workSerial_));
}

bool AppState::keyboardPasteWithoutMonitoring(const std::optional<ports::RunningApp>& app) {
    return app && env_.selection.prefersKeyboardPaste(app->pid) && !env_.selection.hasInputMonitoring();
}

HUDState AppState::reportAfterInsert(const Take& take, bool aiFailed, bool pasteWithoutMonitoring) const {
    if (pasteWithoutMonitoring) return HUDState::error(AppStrings::enableInputMonitoring());
    if (!aiFailed) {
        if (composeContextCut) return HUDState::info(AppStrings::writtenLongContext());
        return Kind::done;
    }
    if (take.compose) return HUDState::error(AppStrings::composeKeptAsSpoken());
    if (take.target) return HUDState::error(AppStrings::translateKeptAsSpoken());
    return HUDState::error(AppStrings::fixKeptAsSpoken());
}

rt::Task<void> AppState::finishChatGPT(std::string path, Take take, std::uint64_t work) {
    (void)work;
    try {
        co_await rt::cancellationPoint();
        co_await mic.fileFinished();
        const std::string raw = co_await client.transcribe(path);
        const std::string text(text::trimmed(raw));
        if (text.empty()) {
            setHUD(HUDState::error(AppStrings::emptyTranscript()));
            mic.deleteFile(path);
        } else {
            const AIStepResult result = co_await runAIStep(text, take);
            co_await rt::sleepFor(kInsertDelaySeconds);
            co_await env_.selection.insertText(result.text, take.targetApp);
            suppressFn();
            setHUD(reportAfterInsert(take, result.failed, keyboardPasteWithoutMonitoring(take.targetApp)));
            mic.deleteFile(path);
        }
    } catch (const rt::Cancelled&) {
        // Whoever cancelled (Escape, a new take) has already cleared `busy` and said `stopped`.
        mic.deleteFile(path);
        throw;
    } catch (const std::exception& error) {
        mic.deleteFile(path);
        setHUD(HUDState::error(error.what()));
    } catch (...) {
        mic.deleteFile(path);
        setHUD(HUDState::error(""));
    }
    busy = false;
    if (takeContext && takeContext == take.context) takeContext.reset();
    refreshCancelEntry();
}

rt::Task<AIStepResult> AppState::runAIStep(std::string text, Take take) {
    if (take.compose) {
        AIStepResult composed = co_await composeDictation(std::move(text), take.context, take.target);
        co_return composed;
    }
    if (take.target) {
        AIStepResult translated = co_await translateDictation(std::move(text), *take.target);
        co_return translated;
    }
    if (take.fix) {
        AIStepResult fixed = co_await fixDictation(std::move(text));
        co_return fixed;
    }
    co_return AIStepResult{std::move(text), false};
}

void AppState::cancelStarting() {
    sttStarting = {};
    syncEscapeSwallow();
    clearTakeContext();
}

void AppState::cancelAll() {
    workTask = {};
    sttStarting = {};
    syncEscapeSwallow();
    clearTakeContext();
    screenTask = {};
    if (claudeVoice) {
        if (liveTyper) scope_.start(env_.main, retractTyper(liveTyper));
        endClaudeSession();
    }
    env_.actions.stopReading();
    if (isRecording()) {
        levelTimer.cancel();
        if (auto path = mic.stop()) mic.deleteFile(*path);
    }
    busy = false;
    setHUD(Kind::stopped);
    menuBar.setCancelEnabled(false);
}

rt::Task<void> AppState::retractTyper(std::shared_ptr<LiveTyper> typer) { co_await typer->retract(); }

void AppState::startLevelMeter() {
    levelTimer.cancel();
    std::weak_ptr<AppState*> weak = self_;
    levelTimer = env_.main.every(kLevelMeterSeconds, [weak] {
        auto self = weak.lock();
        if (!self) return;
        AppState& app = **self;
        if (!app.isRecording()) {
            app.levelTimer.cancel();
            return;
        }
        const double db = app.mic.averagePowerDb();
        app.env_.hud.setLevel(std::clamp((db + 55) / 38, 0.0, 1.0));
    });
}

}  // namespace veska
