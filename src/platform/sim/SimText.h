// UTF-16 text helpers of the simulated desktop: cluster, word and line boundaries.
#pragma once

#include <cstddef>
#include <string>

namespace veska::sim {

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
