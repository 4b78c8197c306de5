// The plain definition of a typing step, to hold the live typer's shortcuts against.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

namespace veska::testing {

/// `text` cut into user-perceived characters, each as UTF-8.
inline std::vector<std::string> clusters(const std::string& text) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::UnicodeString unicode = icu::UnicodeString::fromUTF8(text);
    std::unique_ptr<icu::BreakIterator> breaks(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    breaks->setText(unicode);
    std::vector<std::string> out;
    std::int32_t start = breaks->first();
    for (std::int32_t end = breaks->next(); end != icu::BreakIterator::DONE; start = end, end = breaks->next()) {
        std::string piece;
        unicode.tempSubStringBetween(start, end).toUTF8String(piece);
        out.push_back(piece);
    }
    return out;
}

/// One step from `typed` to `next`, character by character from the start.
struct ReferenceStep {
    std::string deleted;
    std::string insert;
    std::size_t deletedCharacters = 0;
};

inline ReferenceStep referenceStep(const std::string& typed, const std::string& next) {
    const std::vector<std::string> a = clusters(typed);
    const std::vector<std::string> b = clusters(next);
    std::size_t same = 0;
    while (same < a.size() && same < b.size() && a[same] == b[same]) ++same;
    ReferenceStep step;
    for (std::size_t i = same; i < a.size(); ++i) step.deleted += a[i];
    for (std::size_t i = same; i < b.size(); ++i) step.insert += b[i];
    step.deletedCharacters = a.size() - same;
    return step;
}

}  // namespace veska::testing
