// White space at the edges of UTF-8 text: Unicode white space (the White_Space property:
// spaces, tabs, line breaks, no-break and ideographic spaces...) or blanks (spaces and tabs).
// Results are views into the argument. An invalid UTF-8 sequence is not white space.
#pragma once

#include <string_view>
#include <vector>

namespace veska::text {

/// Whether code point `c` has the White_Space property; false for anything that is not a code
/// point.
[[nodiscard]] bool isWhiteSpace(char32_t c);

/// The longest prefix (suffix) of `text` made of white space.
[[nodiscard]] std::string_view leadingWhiteSpace(std::string_view text);
[[nodiscard]] std::string_view trailingWhiteSpace(std::string_view text);
/// `text` without its leading and trailing white space.
[[nodiscard]] std::string_view trimmed(std::string_view text);
[[nodiscard]] inline bool isBlank(std::string_view text) { return trimmed(text).empty(); }

/// The longest prefix (suffix) of `text` made of spaces and tabs.
[[nodiscard]] std::string_view leadingBlanks(std::string_view text);
[[nodiscard]] std::string_view trailingBlanks(std::string_view text);
/// `text` without its leading and trailing spaces and tabs.
[[nodiscard]] std::string_view trimmedBlanks(std::string_view text);
/// `text` without the leading and trailing bytes that are among `bytes`.
[[nodiscard]] std::string_view trimmedOf(std::string_view text, std::string_view bytes);

/// `text` cut at every `separator` (not empty), empty parts kept: n separators give n + 1 parts.
[[nodiscard]] std::vector<std::string_view> splitAt(std::string_view text, std::string_view separator);

}  // namespace veska::text
