// What the HUD's view draws, as data: the pill's text and icon, the transcript's two parts,
// the reading speed label, and the waveform and pulse-dot animations.
#pragma once

#include <string>
#include <vector>

#include "core/ai/WriteMode.h"
#include "core/ui/HUDModel.h"
#include "core/ui/SRGBColor.h"

namespace veska::HUDPresentation {

/// Transcripts this long (characters) or longer are shortened to their tail.
inline constexpr std::size_t kTranscriptLimit = 261;
/// How many characters of the tail a shortened transcript keeps, after "…".
inline constexpr std::size_t kTranscriptTail = 259;
/// How many of the newest words are emphasised.
inline constexpr std::size_t kFreshWords = 8;
/// The first characters of an error message the pill shows.
inline constexpr std::size_t kPillErrorCharacters = 32;

/// The one line of the pill for every state but `listening` and `speaking`. `currentMode`: the
/// writing mode now (the fixing text names it).
[[nodiscard]] std::string pillText(const HUDModel& model, Translator::WriteMode currentMode);

enum class PillIconKind { symbol, disc, pulseDots };

/// The pill's icon: a symbol, a symbol inside a disc, or the pulse dots.
struct PillIcon {
    PillIconKind kind = PillIconKind::symbol;
    std::string symbol;       ///< empty for the pulse dots
    double pointSize = 0;
    std::string weight;       ///< "semibold", "heavy"
    SRGBColor color{};        ///< of the symbol
    SRGBColor discColor{};    ///< only for `disc`
    double discDiameter = 0;  ///< only for `disc`

    bool operator==(const PillIcon&) const = default;
};

[[nodiscard]] PillIcon pillIcon(const HUDState& state);

/// The header of the listening card: "Đang nghe" / "Listening".
[[nodiscard]] std::string listeningTitle();
/// Minutes and seconds since the start, "%d:%02d".
[[nodiscard]] std::string elapsed(double seconds);
/// What the transcript place says before text (or instead of it, for file transcription).
[[nodiscard]] std::string transcriptPlaceholder(const HUDModel& model);

/// "1×", "1.5×", "0.75×".
[[nodiscard]] std::string rateLabel(double rate);

/// The transcript cut into the older words (subdued, with a trailing space when not empty)
/// and the freshest words (emphasised).
struct TranscriptParts {
    std::string older;
    std::string fresh;

    bool operator==(const TranscriptParts&) const = default;
};
[[nodiscard]] TranscriptParts split(std::string_view text);

/// The height of waveform bar `index` at time `t` (seconds) for `level` (0…1), in points:
/// never above `height`, never below `barWidth`. `idle` is the fraction silence rests at.
[[nodiscard]] double waveformBarHeight(double t, int index, double level, double idle, double height,
                                       double barWidth);

/// The opacity of pulse dot `index` (0…2) at time `t` (seconds).
[[nodiscard]] double pulseDotOpacity(double t, int index);

/// A key hint of the listening card: the key's cap and what pressing it does.
struct KeyHint {
    std::string key;
    std::string action;

    bool operator==(const KeyHint&) const = default;
};
/// "fn" finishes, "esc" cancels, in the interface language.
[[nodiscard]] std::vector<KeyHint> listeningKeyHints();
/// The help text of the reading bar's speed button: "Tốc độ đọc" / "Speed".
[[nodiscard]] std::string speedHelp();

/// What a screen reader says the panel is: the state's title as the panel shows it (the pill's
/// line, the listening card's header) or, while reading aloud, that it reads.
[[nodiscard]] std::string accessibleName(const HUDModel& model, Translator::WriteMode currentMode);
/// The detail under the name: a whole error or notice (the pill shows its start), the live
/// transcript or its placeholder and the output setting while listening, the speed and pause
/// while reading; empty for the other states.
[[nodiscard]] std::string accessibleDescription(const HUDModel& model);

}  // namespace veska::HUDPresentation
