// Names of keys for scripts and scenario files, and the characters letter keys type.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "ports/KeyCodes.h"

namespace veska::sim {

/// The key code of a name: "fn", "control", "rightControl", "option", "rightOption",
/// "command", "rightCommand", "shift", "rightShift", "escape", "delete", "return", "tab",
/// "space", "left", "right", a letter "a".."z" or a digit "0".."9".
std::optional<ports::KeyCode> keyCodeFromName(std::string_view name);
/// The name of a key code, or its number in decimal.
std::string keyName(ports::KeyCode code);
/// What the key types in a text field (UTF-8), with Shift held or not; none for keys that
/// type nothing.
std::optional<std::string> typedCharacter(ports::KeyCode code, bool shift);
/// The modifier flags of names such as "command", "control", "option", "shift", "fn".
std::optional<ports::KeyFlags> flagFromName(std::string_view name);

}  // namespace veska::sim
