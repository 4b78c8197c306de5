// Texts for insertion measurements and how far a received text is from the one sent.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace veska::e2e {

/// The user-perceived characters (extended grapheme clusters) of a UTF-8 text.
[[nodiscard]] std::vector<std::string> graphemes(const std::string& text);
/// Levenshtein distance over grapheme clusters: a dropped or doubled character counts once,
/// however many positions it shifts.
[[nodiscard]] std::size_t graphemeDistance(const std::string& a, const std::string& b);
/// A text of exactly `characters` grapheme clusters of Vietnamese (precomposed, with tone
/// marks) and English words mixed, the same for the same seed.
[[nodiscard]] std::string mixedText(std::size_t characters, unsigned seed = 1);
/// What a terminal shows after receiving `bytes`: each DEL (0x7f) or BS (0x08) takes back the
/// grapheme before it; other control bytes are dropped.
[[nodiscard]] std::string applyTerminalErase(const std::string& bytes);

}  // namespace veska::e2e
