// UTF-16 text helpers of the simulated desktop: conversions and cluster/word boundaries.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace veska::sim {

/// UTF-8 to UTF-16; malformed sequences become U+FFFD.
std::u16string toUtf16(std::string_view utf8);
/// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string toUtf8(std::u16string_view utf16);

/// The start of the user-perceived character that ends at `offset` (0 stays 0).
std::size_t previousClusterStart(const std::u16string& text, std::size_t offset);
/// The end of the user-perceived character that starts at `offset` (the end stays the end).
std::size_t nextClusterEnd(const std::u16string& text, std::size_t offset);
/// The start of the word before `offset`, skipping white space first (Option/Control+Delete).
std::size_t previousWordStart(const std::u16string& text, std::size_t offset);
/// The start of the line that holds `offset`.
std::size_t lineStart(const std::u16string& text, std::size_t offset);
/// Number of user-perceived characters.
std::size_t clusterCount(const std::u16string& text);

}  // namespace veska::sim
