// The system instructions of a line-tagged translation.
#pragma once

#include <string>
#include <string_view>

#include "core/ai/LineTag.h"

namespace veska::Translator {

/// What the source text is: `reading` (a text to be read, made easy to read) or `speech`
/// (speech-to-text output to be turned into written text).
enum class Style { reading, speech };

/// The instructions for translating into the language whose English name is `language`, with
/// tags shaped like `mark`.
[[nodiscard]] std::string instructions(std::string_view language, Style style, const Tag& mark,
                                       bool markdown);

}  // namespace veska::Translator
