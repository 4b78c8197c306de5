// Compose and fix, their instructions, language detection and the default translation target.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "core/ai/FixKind.h"
#include "core/ai/TextSession.h"
#include "core/ai/TranslateLang.h"
#include "core/ai/WriteMode.h"
#include "ports/Preferences.h"
#include "runtime/Task.h"

namespace veska::Translator {

/// The most user-perceived characters (grapheme clusters) fix accepts and compose reads of its
/// context.
inline constexpr std::size_t kMaxTextCharacters = 15'000;
/// How many characters of a text the language detector reads.
inline constexpr std::size_t kDetectCharacters = 2'000;

/// Writes up a dictation: the text to insert at the cursor. `context` is the text selected on
/// screen when dictation started (or a message translated earlier); `target` the output
/// language, nothing to follow the context or the speech. An empty dictation gives "" without
/// a session. Opens one `AITask::write` session from `factory` and closes it on every path;
/// `TranslateError` from the factory or the session passes through unchanged.
rt::Task<std::string> compose(std::string dictation, std::optional<std::string> context,
                              std::optional<TranslateLang> target, WriteMode mode, SessionFactory factory);

/// Proof-reads (`normal`) or reshapes (`prompt`, `email`) `text`, keeping its leading and
/// trailing white space. Blank text comes back as it is without a session; more than
/// `kMaxTextCharacters` throws `TranslateError::tooLong()`; an empty answer leaves the text as
/// it was. One `AITask::fix` session, closed on every path; errors pass through unchanged.
rt::Task<std::string> fix(std::string text, FixKind kind, WriteMode mode, SessionFactory factory);

/// The instructions of compose, writing in `language` (an English language name or phrase).
[[nodiscard]] std::string composeInstructions(std::string_view language, bool hasContext);
/// What compose appends to its instructions in `mode` (nothing in `normal`).
[[nodiscard]] std::string_view composeModeSuffix(WriteMode mode);
/// The proof-reading instructions of fix in write mode `normal`.
[[nodiscard]] std::string fixInstructions(FixKind kind);
/// The reshaping instructions of fix in write modes `prompt` and `email`.
[[nodiscard]] std::string shapeInstructions(WriteMode mode, FixKind kind);

/// The dominant language of the first `kDetectCharacters` characters of `text`, as a code of
/// the language table where the table has it ("vi", "en", "zh-Hans"); nothing when the
/// language cannot be told. Leans equally towards Vietnamese and English.
[[nodiscard]] std::optional<std::string> detect(std::string_view text);

/// The translation target used when none is given: the stored "v2.translateTarget.auto",
/// `TranslateLang::swap()` when it is absent or unknown.
[[nodiscard]] TranslateLang defaultTarget(const ports::Preferences& prefs);

}  // namespace veska::Translator
