// The numbered line tags a translation travels behind, and reading a tagged answer back.
#pragma once

#include <cstddef>
#include <map>
#include <regex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace veska::translator {

/// Segment index → translated text.
using Results = std::map<std::size_t, std::string>;

/// A tag shape such as [#12]: `open`, decimal digits, `close`. Built from `open` and `close`
/// alone; immutable value.
class Tag {
public:
    Tag(std::string open, std::string close);

    std::string open;
    std::string close;
    /// `open`, one or more decimal digits (group 1), `close`; both strings literal.
    std::regex regex;
    /// `regex` followed by an optional single space or tab.
    std::regex strip;

    /// The fixed shapes, in order of preference; built once per process.
    [[nodiscard]] static std::span<const Tag> candidates();
    /// The first candidate whose `open` does not occur in `text`; when all do, "⟦#", "⟦##"...
    /// (the first not occurring) closed by "⟧".
    [[nodiscard]] static Tag free(std::string_view text);

    /// `text` with every match of `strip` removed.
    [[nodiscard]] std::string stripped(std::string_view text) const;
};

/// The mark the model writes between paragraphs inside one line.
inline constexpr std::string_view paragraphMark = "¶";

/// Reads a model's answer by tag: only tags of `expected` whose numbers increase count; text
/// before the first of them goes to the first expected index; an empty text after a tag keeps
/// what that index already had.
[[nodiscard]] Results parse(std::string_view answer, std::span<const std::size_t> expected, const Tag& mark);

}  // namespace veska::translator
