// The writing mode that shapes compose and fix results (plain, prompt for an AI agent, email).
#pragma once

#include <array>
#include <string_view>

#include "ports/Preferences.h"

namespace veska::Translator {

/// Cycled with ⌃⌥M in this order, wrapping from `email` back to `normal`.
enum class WriteMode { normal, prompt, email };

inline constexpr std::array<WriteMode, 3> kAllWriteModes{WriteMode::normal, WriteMode::prompt,
                                                         WriteMode::email};

/// The user default holding the current mode's stored name.
inline constexpr char kWriteModeKey[] = "v2.writeMode";

/// The stored name: "normal", "prompt" or "email".
[[nodiscard]] std::string_view rawValue(WriteMode mode);

/// The mode stored as `raw`; any other text reads as `normal`.
[[nodiscard]] WriteMode parseWriteMode(std::string_view raw);

/// The current mode from the user defaults; missing, unknown or not a string reads as `normal`.
[[nodiscard]] WriteMode current(const ports::Preferences& prefs);

/// Stores `mode` as the current mode.
void setCurrent(ports::Preferences& prefs, WriteMode mode);

/// The mode after `mode`; after `email` comes `normal`.
[[nodiscard]] WriteMode next(WriteMode mode);

}  // namespace veska::Translator
