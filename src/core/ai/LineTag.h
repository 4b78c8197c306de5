// The numbered line tags a translation travels behind, and reading a tagged answer back.
#pragma once

#include <cstddef>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace veska::Translator {

/// Segment index → translated text.
using Results = std::map<std::size_t, std::string>;

/// One tag found in a text: its byte range and its decimal digits.
struct TagMatch {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::string_view digits;
};

/// A tag shape such as [#12]: `open`, decimal digits, `close`. Built from `open` and `close`
/// alone; immutable value. Matching is a linear scan (a backtracking regular expression
/// overflows the stack on a model's runaway digit runs).
class Tag {
public:
    Tag(std::string open, std::string close);

    std::string open;
    std::string close;

    /// Every non-overlapping occurrence of `open`, one or more decimal digits, `close`
    /// (both strings literal), leftmost first.
    [[nodiscard]] std::vector<TagMatch> regex(std::string_view text) const;

    /// The fixed shapes, in order of preference; built once per process.
    [[nodiscard]] static std::span<const Tag> candidates();
    /// The first candidate whose `open` does not occur in `text`; when all do, "⟦#", "⟦##"...
    /// (the first not occurring) closed by "⟧".
    [[nodiscard]] static Tag free(std::string_view text);

    /// `text` with every match of `regex` removed, each with one space or tab that follows it.
    [[nodiscard]] std::string stripped(std::string_view text) const;
};

/// The mark the model writes between paragraphs inside one line.
inline constexpr std::string_view paragraphMark = "¶";

/// Reads a model's answer by tag: only tags of `expected` whose numbers increase count; text
/// before the first of them goes to the first expected index; an empty text after a tag keeps
/// what that index already had.
[[nodiscard]] Results parse(std::string_view answer, std::span<const std::size_t> expected, const Tag& mark);

}  // namespace veska::Translator
