// The AI step of a dictation (compose, translate, fix) and the compose context.
#include "core/ai/TaggedTranslation.h"
#include "core/ai/TranslateError.h"
#include "core/ai/Translator.h"
#include "core/app/AppState.h"
#include "runtime/Sleep.h"
#include "text/Characters.h"
#include "text/WhiteSpace.h"

namespace veska {

using Kind = HUDState::Kind;

namespace {

bool overLimit(const std::string& text) {
    return text::characterCount(text, AppState::kContextLimit) > AppState::kContextLimit;
}

}  // namespace

void AppState::captureComposeContext() {
    if (!takeCompose) return;
    std::optional<std::string> remembered;
    if (lastTranslated && env_.main.wallNow() - lastTranslated->second < kLastTranslatedSeconds) {
        remembered = lastTranslated->first;
    }
    takeContext = std::make_shared<rt::JoinHandle<std::optional<ComposeContext>>>(
        scope_.spawn(env_.main, readComposeContext(std::move(remembered))));
}

rt::Task<std::optional<ComposeContext>> AppState::readComposeContext(std::optional<std::string> remembered) {
    const AXOnlySelection selected = co_await env_.selection.selectedTextAXOnlyAsync();
    if (selected.text) {
        const bool cut = selected.cut || overLimit(*selected.text);
        co_return ComposeContext{*selected.text, cut};
    }
    if (selected.oversized || selected.blind) co_return std::nullopt;
    if (!remembered) co_return std::nullopt;
    const bool cut = overLimit(*remembered);
    co_return ComposeContext{std::move(*remembered), cut};
}

void AppState::noteGrokAfterSuccess(AITask task) {
    if (env_.ai.source(task) != AISource::grok) return;
    if (grokSignedIn == std::optional<bool>(true) && !grokRejected) return;
    noteGrok(true);
}

void AppState::noteAIError(const std::exception_ptr& error) {
    bool signedOut = false;
    try {
        std::rethrow_exception(error);
    } catch (const TranslateError& translateError) {
        signedOut = translateError.kind() == TranslateError::Kind::signedOut;
    } catch (...) {
        // Any other failure only means the spoken text is kept.
        signedOut = false;
    }
    if (signedOut) noteGrok(false);
}

SessionFactory AppState::sessions() {
    return [this](AITask task) { return env_.ai.makeSession(task); };
}

rt::Task<std::optional<std::string>> AppState::attemptAI(rt::Task<std::string> call, AITask task) {
    std::exception_ptr failure;
    std::string answer;
    try {
        answer = co_await std::move(call);
    } catch (const rt::Cancelled&) {
        throw;
    } catch (...) {
        failure = std::current_exception();
    }
    if (failure) {
        noteAIError(failure);
        co_return std::nullopt;
    }
    noteGrokAfterSuccess(task);
    co_return answer;
}

rt::Task<AIStepResult> AppState::composeDictation(std::string text, ContextTask context,
                                                  std::optional<TranslateLang> target) {
    setHUD(Kind::composing);
    std::optional<ComposeContext> found;
    if (context) {
        co_await context->ended();
        co_await rt::cancellationPoint();
        if (context->outcome() == rt::Outcome::value) found = context->take();
        if (takeContext == context) takeContext.reset();
    }
    std::optional<std::string> contextText;
    if (found) contextText = found->text;
    std::optional<std::string> written = co_await attemptAI(
        Translator::compose(text, std::move(contextText), std::move(target), takeMode, sessions()), AITask::write);
    if (!written) co_return AIStepResult{std::move(text), true};
    if (found && found->cut) composeContextCut = true;
    if (text::trimmed(*written).empty()) co_return AIStepResult{std::move(text), true};
    co_return AIStepResult{std::move(*written), false};
}

rt::Task<AIStepResult> AppState::translateDictation(std::string text, TranslateLang target) {
    setHUD(Kind::translating);
    TranslateLang to = target;
    if (target == TranslateLang::swap()) {
        const bool vietnamese = Translator::detect(text) == std::optional<std::string>("vi");
        to = vietnamese ? TranslateLang{"en", "English", "English"}
                        : TranslateLang::find("vi").value_or(TranslateLang{"vi", "Vietnamese", "Tiếng Việt"});
    }
    std::optional<std::string> translated = co_await attemptAI(
        Translator::translate(text, std::move(to), Translator::Style::speech, false, std::nullopt, sessions()),
        AITask::translate);
    if (!translated) co_return AIStepResult{std::move(text), true};
    co_return AIStepResult{std::move(*translated), false};
}

rt::Task<AIStepResult> AppState::fixDictation(std::string text) {
    setHUD(Kind::fixing);
    std::optional<std::string> fixed =
        co_await attemptAI(Translator::fix(text, Translator::FixKind::dictation, takeMode, sessions()), AITask::fix);
    if (!fixed) co_return AIStepResult{std::move(text), true};
    co_return AIStepResult{std::move(*fixed), false};
}

}  // namespace veska
