// White space by the Unicode White_Space property, characters by ICU grapheme clusters.
#include "core/ai/ComposeFixText.h"

#include <cstdint>
#include <memory>

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/utext.h>
#include <unicode/utf8.h>

namespace veska::Translator {

namespace {

bool isWhiteSpace(UChar32 c) {
    return c >= 0 && u_isUWhiteSpace(c) != 0;
}

/// Byte length of the white-space prefix.
std::size_t leadingLength(std::string_view text) {
    const auto length = static_cast<int32_t>(text.size());
    int32_t at = 0;
    while (at < length) {
        int32_t next = at;
        UChar32 c = 0;
        U8_NEXT(text.data(), next, length, c);
        if (!isWhiteSpace(c)) break;
        at = next;
    }
    return static_cast<std::size_t>(at);
}

/// Byte length of the white-space suffix.
std::size_t trailingLength(std::string_view text) {
    const auto length = static_cast<int32_t>(text.size());
    int32_t at = length;
    while (at > 0) {
        int32_t before = at;
        UChar32 c = 0;
        U8_PREV(text.data(), 0, before, c);
        if (!isWhiteSpace(c)) break;
        at = before;
    }
    return static_cast<std::size_t>(length - at);
}

/// Calls `step(offset)` at each grapheme boundary after the start until it returns false;
/// returns the byte offset where it stopped (the end of the text when it ran out).
template <class Step>
std::size_t walkCharacters(std::string_view text, Step step) {
    if (text.empty()) return 0;
    UErrorCode status = U_ZERO_ERROR;
    UText* ut = utext_openUTF8(nullptr, text.data(), static_cast<int64_t>(text.size()), &status);
    std::unique_ptr<icu::BreakIterator> it(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status) || !it || !ut) {
        if (ut) utext_close(ut);
        return text.size();
    }
    it->setText(ut, status);
    std::size_t stopped = text.size();
    for (int32_t at = it->next(); at != icu::BreakIterator::DONE; at = it->next()) {
        if (!step(static_cast<std::size_t>(at))) {
            stopped = static_cast<std::size_t>(at);
            break;
        }
    }
    it.reset();
    utext_close(ut);
    return stopped;
}

}  // namespace

std::string_view trimmedText(std::string_view text) {
    const std::size_t lead = leadingLength(text);
    if (lead == text.size()) return text.substr(text.size());
    return text.substr(lead, text.size() - lead - trailingLength(text));
}

std::string_view leadingWhiteSpace(std::string_view text) {
    return text.substr(0, leadingLength(text));
}

std::string_view trailingWhiteSpace(std::string_view text) {
    return text.substr(text.size() - trailingLength(text));
}

std::size_t characterCount(std::string_view text, std::size_t limit) {
    std::size_t count = 0;
    walkCharacters(text, [&](std::size_t) { return ++count <= limit; });
    return count;
}

std::string_view firstCharacters(std::string_view text, std::size_t count) {
    if (count == 0) return text.substr(0, 0);
    std::size_t seen = 0;
    return text.substr(0, walkCharacters(text, [&](std::size_t) { return ++seen < count; }));
}

}  // namespace veska::Translator
