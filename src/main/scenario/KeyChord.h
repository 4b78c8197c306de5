// Key chords as scenario files write them ("command+v"), and typing text as keys.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ports/KeyCodes.h"
#include "ports/KeyPoster.h"

namespace veska::scenario {

/// Modifier keys held, in the order pressed, around one key.
struct KeyChord {
    std::vector<ports::KeyCode> modifierKeys;
    ports::KeyCode key = 0;

    /// The flags the modifier keys set (without the key's own, when it is a modifier).
    [[nodiscard]] ports::KeyFlags modifiers() const;
    friend bool operator==(const KeyChord&, const KeyChord&) = default;
};

/// Reads "v", "command+v", "control+option+delete", "fn": modifier names joined by "+",
/// then one key name (the simulated desktop's key names). Nothing, with the reason in `why`,
/// for a malformed chord.
std::optional<KeyChord> parseChord(std::string_view text, std::string& why);

/// "command+v": the modifiers in `flags` (control, option, shift, command, fn, in that order)
/// then the key's name.
std::string chordName(ports::KeyCode key, ports::KeyFlags flags);
/// The names of the modifier flags set in `flags`, in the order of `chordName`.
std::vector<std::string> modifierNames(ports::KeyFlags flags);

/// What a program posts to type `chord`: its modifiers down, the key down and up (carrying
/// the modifiers' flags), the modifiers up in reverse order.
std::vector<ports::SyntheticKey> postedKeys(const KeyChord& chord);

/// One piece of typed text: a key tapped (with Shift or not), or text without a key on the
/// keyboard, committed the way an input method commits it.
struct TypedPiece {
    std::optional<ports::KeyCode> key;
    bool shift = false;
    std::string committed;
};

/// Splits `utf8` into keys (letters, digits, their shifted signs, space, line breaks) and runs
/// of other text.
std::vector<TypedPiece> planTyping(std::string_view utf8);

}  // namespace veska::scenario
