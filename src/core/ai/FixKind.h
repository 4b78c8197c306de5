// What kind of text the proof-reader is given.
#pragma once

#include <array>

namespace veska::Translator {

/// `dictation`: speech-to-text output of the user's own dictation; `selection`: text selected
/// on screen.
enum class FixKind { dictation, selection };

inline constexpr std::array<FixKind, 2> kAllFixKinds{FixKind::dictation, FixKind::selection};

}  // namespace veska::Translator
