// Converting between UTF-8 and UTF-16 and checking UTF-8. Invalid input never fails: each
// invalid sequence (the longest part of one that starts well) reads as one U+FFFD.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace veska::text {

[[nodiscard]] std::u16string toUtf16(std::string_view text);
/// Lone surrogates become U+FFFD.
[[nodiscard]] std::string toUtf8(std::u16string_view text);
/// UTF-16 units of `text`, as other applications count offsets and lengths.
[[nodiscard]] std::int64_t utf16Length(std::string_view text);
/// `text` as valid UTF-8: every invalid sequence replaced by U+FFFD.
[[nodiscard]] std::string validUtf8(std::string_view text);
[[nodiscard]] bool isValidUtf8(std::string_view text);

}  // namespace veska::text
