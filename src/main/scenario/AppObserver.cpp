#include "main/scenario/AppObserver.h"

#include "core/app/UserDefaults.h"

namespace veska::scenario {

namespace {

std::optional<TranslateError::Kind> translateErrorKind(const std::optional<std::string>& name) {
    using K = TranslateError::Kind;
    if (!name) return std::nullopt;
    const std::pair<const char*, K> table[] = {{"noKey", K::noKey},         {"badKey", K::badKey},
                                               {"apiFailed", K::apiFailed}, {"needLogin", K::needLogin},
                                               {"signedOut", K::signedOut}, {"unreachable", K::unreachable},
                                               {"tooLong", K::tooLong},     {"failed", K::failed}};
    for (const auto& [text, kind] : table) {
        if (*name == text) return kind;
    }
    return K::failed;
}

std::optional<ClaudeVoiceError> voiceError(const std::optional<std::string>& name) {
    if (!name) return std::nullopt;
    if (*name == "needLogin") return ClaudeVoiceError::needLogin;
    if (*name == "noMic") return ClaudeVoiceError::noMic;
    if (*name == "connect") return ClaudeVoiceError::connect;
    return ClaudeVoiceError::server;
}

AITask taskNamed(const std::string& name) {
    if (name == "fix") return AITask::fix;
    if (name == "translate") return AITask::translate;
    return AITask::write;
}

void configure(appsim::DictationWorld& app, const AppSpec& setup) {
    for (const auto& [key, value] : setup.prefs.items()) {
        if (value.is_string()) app.prefs.set(key, value.get<std::string>());
        if (value.is_boolean()) app.prefs.set(key, value.get<bool>());
        if (value.is_number()) app.prefs.set(key, value.get<double>());
    }
    app.prefs.set(UserDefaults::kSttProvider, setup.provider);
    app.core.preferences = nlohmann::json{{"locale", setup.locale}};
    app.core.transcript = setup.transcript;
    app.core.transcribeError = setup.transcribeError;
    app.core.transcribeSeconds = setup.transcribeSeconds;
    for (const auto& [task, answer] : setup.ai) {
        app.ai.replies[taskNamed(task)] = {answer.text, translateErrorKind(answer.error), answer.seconds};
    }
    if (!setup.claudeSignedIn) app.claude.signedInCredentials = std::nullopt;
    if (setup.claudeAccount == "signedOut") app.claude.account = ClaudeAccount::signedOut();
    if (setup.claudeAccount == "unknown") app.claude.account = ClaudeAccount::unknown();
    app.claude.script.micFailure = voiceError(setup.micFailure);
    app.claude.script.finishFailure = voiceError(setup.finishFailure);
    app.claude.script.finishSeconds = setup.finishSeconds;
}

}  // namespace

AppObserver::AppObserver(ScenarioWorld& world, const AppSpec& setup)
    : app_(std::make_unique<appsim::DictationWorld>(world.loop(), world.desktop())) {
    configure(*app_, setup);
    app_->launch();
}

AppObserver::~AppObserver() = default;

void AppObserver::sync(TraceWriter& writer, double /*now*/) {
    for (auto& event : app_->log.takeNew()) writer.emit(event.t, event.event, std::move(event.fields));
}

}  // namespace veska::scenario
