// Counting and trimming other applications' texts: UTF-16 units, user-perceived characters.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace veska::selection_text {

/// UTF-8 to UTF-16; invalid sequences become U+FFFD.
std::u16string toUtf16(std::string_view text);
/// UTF-16 to UTF-8; lone surrogates become U+FFFD.
std::string toUtf8(std::u16string_view text);
[[nodiscard]] std::int64_t utf16Length(std::string_view text);
/// Whether `text` has more than `limit` user-perceived characters (grapheme clusters). Stops
/// counting past the limit, so a huge text costs no more than the limit.
[[nodiscard]] bool longerThan(std::string_view text, std::int64_t limit);
/// `text` without leading and trailing white space and line breaks.
[[nodiscard]] std::string_view trimmed(std::string_view text);
[[nodiscard]] inline bool isBlank(std::string_view text) { return trimmed(text).empty(); }

}  // namespace veska::selection_text
