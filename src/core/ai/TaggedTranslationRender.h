// Assembling translated segments back into the source's line structure, and re-breaking long
// translated lines into paragraphs for reading.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/ai/LineTag.h"
#include "core/ai/TaggedTranslationSegments.h"

namespace veska::Translator {

/// Lines longer than this many characters are re-broken into paragraphs...
inline constexpr std::size_t kParagraphOver = 320;
/// ...of about this many characters.
inline constexpr std::size_t kParagraphTarget = 240;

/// The translated text: blank lines as they were, each other line built from its segments'
/// results (joined by glue or `join`) and re-indented. Stops at the first segment without a
/// result. When nothing could be rendered yet, `loose` (the raw answer so far) without tags.
[[nodiscard]] std::string render(std::span<const std::string> lines, std::span<const Segment> segments,
                                 const Results& results, std::string_view join,
                                 std::optional<std::string_view> loose, const Tag& mark);
/// `text` with the leading spaces and tabs of `line`, and its trailing ones unless `text` holds a
/// line feed.
[[nodiscard]] std::string indented(std::string_view line, std::string_view text);
/// Lines holding the paragraph mark cut at it into paragraphs; other long lines re-broken.
[[nodiscard]] std::string paragraphs(std::string_view text);
/// A long prose line regrouped into paragraphs of whole sentences; lists, headings, numbered
/// lines, short lines and lines of at most two sentences come back unchanged.
[[nodiscard]] std::string split(std::string_view line, std::size_t over = kParagraphOver,
                                std::size_t target = kParagraphTarget);

}  // namespace veska::Translator
