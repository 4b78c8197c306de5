// Compose and fix: trim, frame the message, run one session and shape the answer.
#include <memory>
#include <string>
#include <utility>

#include "core/ai/TranslateError.h"
#include "core/ai/Translator.h"
#include "runtime/Check.h"
#include "text/Characters.h"
#include "text/WhiteSpace.h"

namespace veska::Translator {

namespace {

constexpr std::string_view kContextOpen =
    "CONTEXT (selected on screen — the message being answered or the draft being worked on):\n<<<\n";
constexpr std::string_view kContextClose = "\n>>>\n\n";
constexpr std::string_view kDictationOpen = "DICTATION:\n<<<\n";
constexpr std::string_view kTextOpen = "TEXT:\n<<<\n";
constexpr std::string_view kMessageClose = "\n>>>";
constexpr std::string_view kContextLanguage = "the same language as the context";
constexpr std::string_view kSpokenLanguage = "the language the user spoke";

/// Owns a session and closes it when it goes, so every way out of an action closes it: an
/// answer, an error, a cancellation, or the destruction of the suspended task.
class OpenSession {
public:
    explicit OpenSession(std::unique_ptr<TextSession> session) : session_(std::move(session)) {
        VESKA_CHECK(session_ != nullptr, "a session factory returns a session or throws");
    }
    OpenSession(const OpenSession&) = delete;
    OpenSession& operator=(const OpenSession&) = delete;
    ~OpenSession() { session_->close(); }

    TextSession& operator*() const { return *session_; }

private:
    std::unique_ptr<TextSession> session_;
};

/// The English name of the language `code` stands for, when the table has it.
std::optional<std::string> englishName(const std::optional<std::string>& code) {
    auto lang = TranslateLang::find(code);
    if (!lang || lang->english.empty()) return std::nullopt;
    return lang->english;
}

std::string outputLanguage(std::string_view dictation, std::string_view context,
                           const std::optional<TranslateLang>& target) {
    if (target && *target == TranslateLang::swap()) {
        return detect(dictation) == std::optional<std::string>("vi") ? "English" : "Vietnamese";
    }
    if (target) return target->english;
    if (!context.empty()) return englishName(detect(context)).value_or(std::string(kContextLanguage));
    return englishName(detect(dictation)).value_or(std::string(kSpokenLanguage));
}

std::string composeMessage(std::string_view dictation, std::string_view context) {
    std::string message;
    if (!context.empty()) {
        message.append(kContextOpen).append(context).append(kContextClose);
    }
    message.append(kDictationOpen).append(dictation).append(kMessageClose);
    return message;
}

/// Partial answers are of no use to compose and fix: they wait for the whole answer.
void ignorePartial(const std::string&) {}

}  // namespace

rt::Task<std::string> compose(std::string dictation, std::optional<std::string> context,
                              std::optional<TranslateLang> target, WriteMode mode, SessionFactory factory) {
    const std::string spoken(text::trimmed(dictation));
    if (spoken.empty()) co_return spoken;
    const std::string background(
        text::firstCharacters(text::trimmed(context.value_or(std::string())), kMaxTextCharacters));

    const std::string language = outputLanguage(spoken, background, target);
    std::string message = composeMessage(spoken, background);

    OpenSession session(factory(AITask::write));
    std::string instructions = composeInstructions(language, !background.empty());
    instructions += composeModeSuffix(mode);
    co_await (*session).open(std::move(instructions));
    const std::string answer = co_await (*session).send(std::move(message), ignorePartial);
    co_return std::string(text::trimmed(answer));
}

rt::Task<std::string> fix(std::string text, FixKind kind, WriteMode mode, SessionFactory factory) {
    const std::string_view body = text::trimmed(text);
    if (body.empty()) co_return text;
    if (text::characterCount(text, kMaxTextCharacters) > kMaxTextCharacters) throw TranslateError::tooLong();
    const std::string leading(text::leadingWhiteSpace(text));
    const std::string trailing(text::trailingWhiteSpace(text));
    std::string message;
    message.append(kTextOpen).append(body).append(kMessageClose);

    OpenSession session(factory(AITask::fix));
    std::string instructions =
        mode == WriteMode::normal ? fixInstructions(kind) : shapeInstructions(mode, kind);
    co_await (*session).open(std::move(instructions));
    const std::string answer = co_await (*session).send(std::move(message), ignorePartial);
    const std::string_view corrected = text::trimmed(answer);
    if (corrected.empty()) co_return text;
    co_return leading + std::string(corrected) + trailing;
}

}  // namespace veska::Translator
