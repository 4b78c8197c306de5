// Trimming, white-space edges and counting by user-perceived characters, for compose and fix.
#pragma once

#include <cstddef>
#include <string_view>

namespace veska::Translator {

/// `text` without its leading and trailing white space and line breaks (Unicode White_Space).
[[nodiscard]] std::string_view trimmedText(std::string_view text);
/// The longest prefix of `text` made of white space and line breaks.
[[nodiscard]] std::string_view leadingWhiteSpace(std::string_view text);
/// The longest suffix of `text` made of white space and line breaks.
[[nodiscard]] std::string_view trailingWhiteSpace(std::string_view text);

/// How many user-perceived characters (extended grapheme clusters) UTF-8 `text` holds, counting
/// no further than `limit + 1` (enough to tell whether it is over `limit`).
[[nodiscard]] std::size_t characterCount(std::string_view text, std::size_t limit);
/// The first `count` user-perceived characters of UTF-8 `text` (all of it when shorter).
[[nodiscard]] std::string_view firstCharacters(std::string_view text, std::size_t count);

}  // namespace veska::Translator
