// The three actions of veska-cli over Translator.
#include "main/cli/CliAction.h"

#include "core/ai/FixKind.h"
#include "core/ai/TaggedTranslation.h"
#include "core/ai/TranslateLang.h"
#include "core/ai/Translator.h"

namespace veska::cli {

namespace {

/// The language a translation goes to: "swap" picks English for Vietnamese text and
/// Vietnamese for anything else.
TranslateLang translationTarget(const std::optional<std::string>& code, const std::string& text,
                                const ports::Preferences& prefs) {
    TranslateLang target =
        code ? TranslateLang::find(*code).value_or(TranslateLang::swap()) : Translator::defaultTarget(prefs);
    if (target != TranslateLang::swap()) return target;
    const bool vietnamese = Translator::detect(text) == std::optional<std::string>("vi");
    return *TranslateLang::find(vietnamese ? "en" : "vi");
}

}  // namespace

rt::Task<std::string> perform(CliCommand command, std::string text, const ports::Preferences* prefs,
                              SessionFactory sessions, std::optional<OnProgress> onProgress) {
    const Translator::WriteMode mode = command.mode.value_or(Translator::current(*prefs));
    switch (command.action) {
        case Action::translate: {
            TranslateLang target = translationTarget(command.to, text, *prefs);
            std::optional<Translator::OnPartial> partial;
            if (onProgress) partial = *onProgress;
            co_return co_await Translator::translate(std::move(text), std::move(target),
                                                     Translator::Style::reading, false, std::move(partial),
                                                     std::move(sessions));
        }
        case Action::fix:
            co_return co_await Translator::fix(std::move(text), Translator::FixKind::selection, mode,
                                               std::move(sessions));
        case Action::compose: {
            std::optional<TranslateLang> target;
            if (command.to) target = TranslateLang::find(*command.to);
            co_return co_await Translator::compose(std::move(text), std::move(command.context),
                                                   std::move(target), mode, std::move(sessions));
        }
    }
    co_return text;
}

}  // namespace veska::cli
