// Assembling the voice stream's committed and interim transcripts into one running text.
#pragma once

#include <string>
#include <string_view>

namespace veska::ClaudeVoiceText {

/// `a` and `b` with one space between them when `a` ends and `b` starts with a character that
/// is not white space; otherwise simply `a` followed by `b`.
[[nodiscard]] std::string join(std::string_view a, std::string_view b);

/// The words of `s` (split on spaces, newlines and tabs) joined by single spaces.
[[nodiscard]] std::string normalize(std::string_view s);

/// The part of a transcript message's text that follows the committed text: `data` without
/// its leading `committed` when it starts with it (on a whole-character boundary), otherwise
/// `data` itself.
[[nodiscard]] std::string withoutCommitted(std::string_view data, std::string_view committed);

}  // namespace veska::ClaudeVoiceText
