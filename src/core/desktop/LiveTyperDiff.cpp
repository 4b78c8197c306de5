// Common prefixes by grapheme cluster, found without walking the shared part of the texts.
#include "core/desktop/LiveTyperDiff.h"

#include <algorithm>
#include <cstdint>
#include <memory>

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/utext.h>

#include "runtime/Check.h"

namespace veska {
namespace {

constexpr double kBasePauseSeconds = 0.090;
constexpr double kPausePerDeletedSeconds = 0.0015;
constexpr double kMaxPauseSeconds = 0.400;

std::unique_ptr<icu::BreakIterator> makeCharacterBreaks() {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> made(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    VESKA_CHECK(U_SUCCESS(status) && made, "the character break rules cannot be loaded");
    return made;
}

/// Which of the thread's two iterators a text is bound to (the two sides of one edit).
enum class Side { typed, next };

/// Character-break iterators per thread, made once: making one costs far more than a diff.
icu::BreakIterator& characterBreaks(Side side) {
    thread_local const std::unique_ptr<icu::BreakIterator> typedSide = makeCharacterBreaks();
    thread_local const std::unique_ptr<icu::BreakIterator> nextSide = makeCharacterBreaks();
    return side == Side::typed ? *typedSide : *nextSide;
}

/// The thread's iterator pointed at one UTF-8 text for the lifetime of the object.
class ClusterBreaks {
public:
    ClusterBreaks(std::string_view text, Side side) : breaks_(characterBreaks(side)) {
        UErrorCode status = U_ZERO_ERROR;
        VESKA_CHECK(text.size() < static_cast<std::size_t>(INT32_MAX), "text too long to segment");
        utext_openUTF8(&utext_, text.data(), static_cast<std::int64_t>(text.size()), &status);
        breaks_.setText(&utext_, status);
        VESKA_CHECK(U_SUCCESS(status), "cannot segment the text");
    }
    ~ClusterBreaks() { utext_close(&utext_); }
    ClusterBreaks(const ClusterBreaks&) = delete;
    ClusterBreaks& operator=(const ClusterBreaks&) = delete;

    bool isBoundary(std::size_t offset) { return breaks_.isBoundary(static_cast<std::int32_t>(offset)) != 0; }
    std::size_t preceding(std::size_t offset) {
        const std::int32_t at = breaks_.preceding(static_cast<std::int32_t>(offset));
        return at == icu::BreakIterator::DONE ? 0 : static_cast<std::size_t>(at);
    }
    /// Clusters between `offset` (a boundary) and the end.
    std::size_t countFrom(std::size_t offset) {
        std::size_t count = 0;
        for (std::int32_t at = breaks_.following(static_cast<std::int32_t>(offset)); at != icu::BreakIterator::DONE;
             at = breaks_.next()) {
            ++count;
        }
        return count;
    }

private:
    icu::BreakIterator& breaks_;
    UText utext_ = UTEXT_INITIALIZER;
};

bool continuesCodePoint(std::string_view text, std::size_t offset) {
    return offset < text.size() && (static_cast<unsigned char>(text[offset]) & 0xC0U) == 0x80U;
}

/// Bytes both texts start with, ending at the start of a code point in both.
std::size_t commonCodePointPrefix(std::string_view a, std::string_view b) {
    const auto [endA, endB] = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
    auto prefix = static_cast<std::size_t>(endA - a.begin());
    while (prefix > 0 && (continuesCodePoint(a, prefix) || continuesCodePoint(b, prefix))) --prefix;
    return prefix;
}

}  // namespace

TypingEdit typingEdit(std::string_view typed, std::string_view newText) {
    // Up to the first differing code point the texts are the same, and so are their cluster
    // boundaries: a boundary depends only on what precedes it and the code point after it.
    std::size_t kept = commonCodePointPrefix(typed, newText);
    ClusterBreaks typedBreaks(typed, Side::typed);
    bool sharedBoundary = typedBreaks.isBoundary(kept);
    if (sharedBoundary) {
        ClusterBreaks newBreaks(newText, Side::next);
        sharedBoundary = newBreaks.isBoundary(kept);
    }
    if (!sharedBoundary) kept = typedBreaks.preceding(kept);
    TypingEdit edit{.kept = kept, .deleted = typed.substr(kept), .insert = newText.substr(kept)};
    if (!edit.deleted.empty()) edit.deletedCharacters = typedBreaks.countFrom(kept);
    return edit;
}

std::string_view dropLastCharacters(std::string_view text, std::size_t count) {
    ClusterBreaks breaks(text, Side::typed);
    std::size_t end = text.size();
    for (std::size_t dropped = 0; dropped < count && end > 0; ++dropped) end = breaks.preceding(end);
    return text.substr(0, end);
}

double pauseAfterTyping(std::size_t deletedCharacters) {
    return std::min(kBasePauseSeconds + kPausePerDeletedSeconds * static_cast<double>(deletedCharacters),
                    kMaxPauseSeconds);
}

}  // namespace veska
