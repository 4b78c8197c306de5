// Character counting, trimming and sentence cutting for line-tagged translation (UTF-8 text).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace veska::linetag {

/// Byte offsets of the user-perceived character boundaries of `text`, 0 and `text.size()`
/// included.
[[nodiscard]] std::vector<std::size_t> characterBounds(std::string_view text);
/// The number of user-perceived characters.
[[nodiscard]] std::size_t characterCount(std::string_view text);

/// Length in bytes of the leading (trailing) run of white space, newlines included.
[[nodiscard]] std::size_t leadingWhite(std::string_view text);
[[nodiscard]] std::size_t trailingWhite(std::string_view text);
/// Trimmed of white space and newlines.
[[nodiscard]] std::string_view trimWhite(std::string_view text);
/// Trimmed of spaces and tabs only.
[[nodiscard]] std::string_view trimBlank(std::string_view text);
/// The leading (trailing) run of spaces and tabs.
[[nodiscard]] std::string_view leadingBlank(std::string_view text);
[[nodiscard]] std::string_view trailingBlank(std::string_view text);

/// `text` split at every `separator` (empty parts kept).
[[nodiscard]] std::vector<std::string_view> splitAt(std::string_view text, std::string_view separator);
/// Sentences as the natural-language sentence tokenizer cuts them (trailing white space stays
/// with its sentence); the parts concatenate back to `text`.
[[nodiscard]] std::vector<std::string_view> sentences(std::string_view text);

}  // namespace veska::linetag
