// Offsets into a text as an application counts them (code points, or UTF-16 units for Qt) and
// in UTF-16 units (the port's).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veska::platform {

/// How an application counts offsets: AT-SPI says characters (code points), which GTK does;
/// Qt counts UTF-16 units.
enum class OffsetUnit { characters, utf16 };

/// One text as an application reported it, indexed both ways. Invalid UTF-8 counts one
/// character (and one UTF-16 unit) per bad byte, as U+FFFD; the text itself is kept as sent.
class TextOffsets {
public:
    explicit TextOffsets(std::string utf8, OffsetUnit unit = OffsetUnit::characters);

    [[nodiscard]] const std::string& text() const { return text_; }
    [[nodiscard]] std::int64_t characters() const { return static_cast<std::int64_t>(starts_.size()) - 1; }
    [[nodiscard]] std::int64_t utf16Length() const { return units_.back(); }

    /// The application's offset of a UTF-16 offset; none when it is outside the text or splits
    /// a surrogate pair.
    [[nodiscard]] std::optional<std::int64_t> offsetAt(std::int64_t utf16) const;
    /// The UTF-16 offset of an application's offset, clamped into the text.
    [[nodiscard]] std::int64_t utf16At(std::int64_t offset) const;
    /// The text between two application's offsets as UTF-8, clamped into the text.
    [[nodiscard]] std::string slice(std::int64_t from, std::int64_t to) const;

private:
    /// The character an application's offset falls on (the next one inside a pair), clamped.
    [[nodiscard]] std::size_t characterOf(std::int64_t offset) const;

    std::string text_;
    OffsetUnit unit_;
    std::vector<std::size_t> starts_;  // byte offset of each character, then the size
    std::vector<std::int64_t> units_;  // UTF-16 offset of each character, then the length
};

/// UTF-16 units of a UTF-8 text (the same counting as `TextOffsets`).
[[nodiscard]] std::int64_t utf16Units(std::string_view utf8);

}  // namespace veska::platform
