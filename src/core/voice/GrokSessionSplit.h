// Cutting a text to be read aloud into request-sized parts.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace veska::GrokSession {

/// Longest text read aloud, in user-perceived characters; the rest is not read.
inline constexpr int kMaxReadCharacters = 15'000;

/// The text without carriage returns, blank lines and the spaces and tabs around each line,
/// cut into parts of at most `first` characters (the first part) and `rest` characters (the
/// others), each cut made after the last sentence end of its window, else before its last
/// space, else hard at the window's end; a sentence end or space within the first third of
/// the window does not count. Invalid UTF-8 is read as replacement characters. Limits below 1
/// count as 1.
[[nodiscard]] std::vector<std::string> split(std::string_view text, int first, int rest);

}  // namespace veska::GrokSession
