// Cutting a text's lines into numbered segments and packing them into messages.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace veska::Translator {

/// Longest piece of a line sent behind one tag, in characters.
inline constexpr std::size_t kPieceLimit = 1200;
/// Budget of one message: each segment counts its length plus `kSegmentOverhead`.
inline constexpr std::size_t kMessageBudget = 1800;
inline constexpr std::size_t kSegmentOverhead = 8;

/// One piece of one source line, sent behind its own tag.
struct Segment {
    /// Index of the source line it comes from.
    std::size_t line = 0;
    std::string text;
    /// The white space that separated this piece from the previous piece of the same line when
    /// a sentence had to be cut; absent when the piece starts a line or a sentence.
    std::optional<std::string> glue;

    bool operator==(const Segment&) const = default;
};

/// A piece of a line with its glue (see `Segment::glue`).
struct Piece {
    std::string text;
    std::optional<std::string> glue;

    bool operator==(const Piece&) const = default;
};

/// One segment per piece of every non-blank line (trimmed of spaces and tabs), in order.
[[nodiscard]] std::vector<Segment> segments(std::span<const std::string> lines,
                                            std::size_t limit = kPieceLimit);
/// A line cut near sentence ends into pieces of at most `limit` characters.
[[nodiscard]] std::vector<Piece> pieces(std::string_view line, std::size_t limit = kPieceLimit);
/// Segment indexes grouped into messages of at most `limit` (a single oversized segment still
/// gets a message of its own).
[[nodiscard]] std::vector<std::vector<std::size_t>> chunks(std::span<const Segment> segments,
                                                           std::size_t limit = kMessageBudget);

}  // namespace veska::Translator
