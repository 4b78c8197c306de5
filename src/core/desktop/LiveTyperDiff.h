// The edit that turns what the live typer has typed into the newest transcript.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace veska {

/// What one typing step changes: the text after the longest common prefix of user-perceived
/// characters (grapheme clusters) on both sides. The views point into the two texts given.
struct TypingEdit {
    /// Bytes of the common prefix that stays in the field.
    std::size_t kept = 0;
    /// The typed text after the prefix: taken away, one Delete per character.
    std::string_view deleted{};
    /// The new text after the prefix: put in its place.
    std::string_view insert{};
    /// User-perceived characters in `deleted` (an emoji or a letter with marks is one).
    std::size_t deletedCharacters = 0;

    [[nodiscard]] bool empty() const { return deleted.empty() && insert.empty(); }
};

/// The edit from `typed` to `newText` (both UTF-8). Costs a byte comparison of the shared
/// start plus work proportional to the changed tails, not to the whole transcript.
TypingEdit typingEdit(std::string_view typed, std::string_view newText);

/// `text` without its last `count` user-perceived characters (all of it gone when it has
/// fewer).
std::string_view dropLastCharacters(std::string_view text, std::size_t count);

/// The pause after a keystroke step that deleted `deletedCharacters`, in seconds: 90 ms plus
/// 1.5 ms per deleted character, at most 400 ms, so the application can catch up.
double pauseAfterTyping(std::size_t deletedCharacters);

}  // namespace veska
