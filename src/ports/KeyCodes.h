// Virtual key codes and modifier flag bits that every key event and synthetic key carries.
#pragma once

#include <cstdint>

namespace veska::ports {

/// A virtual key code in the Apple ANSI layout numbering; adapters of other platforms map
/// their keys onto it, so the gesture and typing logic never see a platform key code.
using KeyCode = std::int64_t;

/// A modifier flag word with the Apple bit values below; other bits are ignored.
using KeyFlags = std::uint64_t;

namespace keys {
inline constexpr KeyCode kA = 0;
inline constexpr KeyCode kS = 1;
inline constexpr KeyCode kC = 8;
inline constexpr KeyCode kV = 9;
inline constexpr KeyCode kL = 37;
inline constexpr KeyCode kM = 46;
inline constexpr KeyCode kReturn = 36;
inline constexpr KeyCode kTab = 48;
inline constexpr KeyCode kSpace = 49;
/// Backspace: deletes what stands before the caret.
inline constexpr KeyCode kDelete = 51;
inline constexpr KeyCode kEscape = 53;
inline constexpr KeyCode kRightCommand = 54;
inline constexpr KeyCode kCommand = 55;
inline constexpr KeyCode kShift = 56;
inline constexpr KeyCode kOption = 58;
inline constexpr KeyCode kControl = 59;
inline constexpr KeyCode kRightShift = 60;
inline constexpr KeyCode kRightOption = 61;
inline constexpr KeyCode kRightControl = 62;
/// The fn key. On Linux keyboards fn is invisible; the adapter maps one configured key here.
inline constexpr KeyCode kFn = 63;
inline constexpr KeyCode kLeftArrow = 123;
inline constexpr KeyCode kRightArrow = 124;
}  // namespace keys

namespace flags {
inline constexpr KeyFlags kNone = 0;
inline constexpr KeyFlags kShift = 0x20000;
inline constexpr KeyFlags kControl = 0x40000;
/// Option; Alt on Linux.
inline constexpr KeyFlags kOption = 0x80000;
/// Command; Super on Linux when observed. A posted Command stands for the platform's
/// shortcut modifier (Control on Linux), so that "Command+V" means "paste" everywhere.
inline constexpr KeyFlags kCommand = 0x100000;
/// The secondary-function (fn) bit.
inline constexpr KeyFlags kFn = 0x800000;
/// Shift | Control | Option | Command: what "the modifiers of an event" means.
inline constexpr KeyFlags kModifierMask = kShift | kControl | kOption | kCommand;
}  // namespace flags

/// The flag bit a modifier key (left or right, or fn) drives, or 0 for any other key.
constexpr KeyFlags modifierFlagOf(KeyCode code) {
    switch (code) {
    case keys::kShift:
    case keys::kRightShift:
        return flags::kShift;
    case keys::kControl:
    case keys::kRightControl:
        return flags::kControl;
    case keys::kOption:
    case keys::kRightOption:
        return flags::kOption;
    case keys::kCommand:
    case keys::kRightCommand:
        return flags::kCommand;
    case keys::kFn:
        return flags::kFn;
    default:
        return 0;
    }
}

}  // namespace veska::ports
