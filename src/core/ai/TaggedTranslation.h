// Line-tagged translation: a text goes to the AI as numbered lines and comes back line by line,
// keeping its line structure, indentation, blank lines and Markdown markers.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include "core/ai/LineTag.h"
#include "core/ai/TaggedTranslationInstructions.h"
#include "core/ai/TaggedTranslationRender.h"
#include "core/ai/TaggedTranslationSegments.h"
#include "core/ai/TextSession.h"
#include "core/ai/TranslateLang.h"
#include "runtime/Task.h"

namespace veska::Translator {

/// Longest text `translate` takes, in characters.
inline constexpr std::size_t kTextLimit = 15'000;
/// A session whose connection is older than this is replaced before the next message.
inline constexpr double kSessionAgeSeconds = 200;

/// Receives the whole translation so far, on the main executor.
using OnPartial = std::function<void(const std::string& translationSoFar)>;

/// Translates `text` into `to` through sessions of `makeSession` (task `translate`), message by
/// message, calling `onPartial` on every growth of an answer. Runs on the main executor; owns
/// one session at a time and closes it on every way out. Throws `TranslateError` (`tooLong`
/// over `kTextLimit` characters, before any AI call; otherwise what the session reported).
rt::Task<std::string> translate(std::string text, TranslateLang to, Style style, bool markdown,
                                std::optional<OnPartial> onPartial, SessionFactory makeSession);

}  // namespace veska::Translator
