// User-perceived characters (extended grapheme clusters) and sentences of UTF-8 text, as ICU's
// root-locale break rules cut them. Invalid UTF-8 counts as replacement characters. Positions
// are byte offsets; results are views into the argument.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace veska::text {

/// Byte offsets of the character boundaries of `text`, 0 and `text.size()` included.
[[nodiscard]] std::vector<std::size_t> characterBounds(std::string_view text);
[[nodiscard]] std::size_t characterCount(std::string_view text);
/// The number of characters, counting no further than `limit + 1` (enough to tell whether
/// `text` is over `limit`): a huge text costs no more than the limit.
[[nodiscard]] std::size_t characterCount(std::string_view text, std::size_t limit);
[[nodiscard]] inline bool longerThan(std::string_view text, std::size_t limit) {
    return text.size() > limit && characterCount(text, limit) > limit;  // a character takes a byte at least
}
/// The first (last) `count` characters of `text`; all of it when it is not longer.
[[nodiscard]] std::string_view firstCharacters(std::string_view text, std::size_t count);
[[nodiscard]] std::string_view lastCharacters(std::string_view text, std::size_t count);
/// Whether byte offset `at` falls between two characters (the ends of `text` and beyond do).
[[nodiscard]] bool isCharacterBoundary(std::string_view text, std::size_t at);

/// Sentences as the sentence rules cut them (trailing white space stays with its sentence);
/// the parts concatenate back to `text`.
[[nodiscard]] std::vector<std::string_view> sentences(std::string_view text);

}  // namespace veska::text
