// The virtual key codes of the gesture and typing logic, and the X keysyms they stand for.
#pragma once

#include <X11/X.h>

#include <optional>

#include "ports/KeyCodes.h"

namespace veska::platform {

/// The keysym a virtual key code is posted as. The Command keys stand for the shortcut
/// modifier and become Control; fn has no keysym of its own (the key source maps a configured
/// key onto it). Nothing for codes without a counterpart.
[[nodiscard]] std::optional<KeySym> postedKeysym(ports::KeyCode code);

/// The virtual key code of an observed keysym (letters in either case, both Super and Meta
/// keys as Command, Alt and AltGr as Option). Nothing for keys the logic never looks at.
[[nodiscard]] std::optional<ports::KeyCode> observedKeyCode(KeySym keysym);

/// The flag bit an observed modifier keysym drives (Shift, Control, Option, Command), or 0.
[[nodiscard]] ports::KeyFlags modifierFlagOfKeysym(KeySym keysym);

}  // namespace veska::platform
