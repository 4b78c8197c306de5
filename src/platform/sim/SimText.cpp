// UTF-16 conversions and text boundaries with ICU.
#include "platform/sim/SimText.h"

#include <memory>

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

namespace veska::sim {

namespace {

icu::UnicodeString view(const std::u16string& text) {
    // Read-only alias: no copy of the text.
    return icu::UnicodeString(false, text.data(), static_cast<int32_t>(text.size()));
}

std::unique_ptr<icu::BreakIterator> characters(const icu::UnicodeString& text) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> it(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status) || !it) return nullptr;
    it->setText(text);
    return it;
}

bool isSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\u00A0'; }

}  // namespace

std::size_t previousClusterStart(const std::u16string& text, std::size_t offset) {
    if (offset == 0 || text.empty()) return 0;
    if (offset > text.size()) offset = text.size();
    icu::UnicodeString s = view(text);
    auto it = characters(s);
    if (!it) return offset - 1;
    const int32_t before = it->preceding(static_cast<int32_t>(offset));
    return before == icu::BreakIterator::DONE ? 0 : static_cast<std::size_t>(before);
}

std::size_t nextClusterEnd(const std::u16string& text, std::size_t offset) {
    if (offset >= text.size()) return text.size();
    icu::UnicodeString s = view(text);
    auto it = characters(s);
    if (!it) return offset + 1;
    const int32_t after = it->following(static_cast<int32_t>(offset));
    return after == icu::BreakIterator::DONE ? text.size() : static_cast<std::size_t>(after);
}

std::size_t previousWordStart(const std::u16string& text, std::size_t offset) {
    if (offset > text.size()) offset = text.size();
    while (offset > 0 && isSpace(text[offset - 1])) offset = previousClusterStart(text, offset);
    while (offset > 0 && !isSpace(text[offset - 1])) offset = previousClusterStart(text, offset);
    return offset;
}

std::size_t lineStart(const std::u16string& text, std::size_t offset) {
    if (offset > text.size()) offset = text.size();
    while (offset > 0 && text[offset - 1] != u'\n') --offset;
    return offset;
}

std::size_t clusterCount(const std::u16string& text) {
    icu::UnicodeString s = view(text);
    auto it = characters(s);
    if (!it) return text.size();
    std::size_t count = 0;
    it->first();
    while (it->next() != icu::BreakIterator::DONE) ++count;
    return count;
}

}  // namespace veska::sim
