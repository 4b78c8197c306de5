// Character counting, trimming and sentence cutting with ICU.
#include "core/ai/LineTagText.h"

#include <unicode/brkiter.h>
#include <unicode/uchar.h>
#include <unicode/utext.h>
#include <unicode/utf8.h>

#include <memory>

namespace veska::linetag {
namespace {

using Breaker = std::unique_ptr<icu::BreakIterator>;

// One iterator of each kind per thread: making one costs more than a long text's walk.
icu::BreakIterator* breaker(bool bySentence) {
    thread_local Breaker characters;
    thread_local Breaker sentences;
    Breaker& cached = bySentence ? sentences : characters;
    if (!cached) {
        UErrorCode status = U_ZERO_ERROR;
        cached.reset(bySentence
                         ? icu::BreakIterator::createSentenceInstance(icu::Locale::getRoot(), status)
                         : icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
        if (U_FAILURE(status)) cached.reset();
    }
    return cached.get();
}

// The boundaries an ICU break iterator finds in `text`, as byte offsets.
std::vector<std::size_t> bounds(std::string_view text, bool bySentence) {
    std::vector<std::size_t> out{0};
    if (text.empty()) return out;
    UErrorCode status = U_ZERO_ERROR;
    UText* utext = utext_openUTF8(nullptr, text.data(), static_cast<int64_t>(text.size()), &status);
    icu::BreakIterator* it = breaker(bySentence);
    if (U_SUCCESS(status) && it != nullptr) {
        it->setText(utext, status);
        for (int32_t at = it->next(); U_SUCCESS(status) && at != icu::BreakIterator::DONE; at = it->next()) {
            auto offset = static_cast<std::size_t>(at);
            if (offset > out.back() && offset <= text.size()) out.push_back(offset);
        }
    }
    if (it != nullptr) {
        // The cached iterator must not keep pointing into `text` once the caller frees it.
        UErrorCode ignored = U_ZERO_ERROR;
        UText* none = utext_openUTF8(nullptr, "", 0, &ignored);
        it->setText(none, ignored);
        utext_close(none);
    }
    utext_close(utext);
    if (out.back() != text.size()) out.push_back(text.size());
    return out;
}

bool isWhite(UChar32 c) {
    return c >= 0 && (u_isUWhiteSpace(c) || c == 0x85);
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

std::vector<std::size_t> characterBounds(std::string_view text) {
    return bounds(text, false);
}

std::size_t characterCount(std::string_view text) {
    return characterBounds(text).size() - 1;
}

std::size_t leadingWhite(std::string_view text) {
    auto length = static_cast<int32_t>(text.size());
    int32_t at = 0;
    while (at < length) {
        int32_t next = at;
        UChar32 c = 0;
        U8_NEXT(text.data(), next, length, c);
        if (!isWhite(c)) break;
        at = next;
    }
    return static_cast<std::size_t>(at);
}

std::size_t trailingWhite(std::string_view text) {
    auto end = static_cast<int32_t>(text.size());
    while (end > 0) {
        int32_t previous = end;
        UChar32 c = 0;
        U8_PREV(text.data(), 0, previous, c);
        if (!isWhite(c)) break;
        end = previous;
    }
    return text.size() - static_cast<std::size_t>(end);
}

std::string_view trimWhite(std::string_view text) {
    std::size_t lead = leadingWhite(text);
    if (lead == text.size()) return {};
    text.remove_prefix(lead);
    text.remove_suffix(trailingWhite(text));
    return text;
}

std::string_view leadingBlank(std::string_view text) {
    std::size_t n = 0;
    while (n < text.size() && isBlank(text[n])) ++n;
    return text.substr(0, n);
}

std::string_view trailingBlank(std::string_view text) {
    std::size_t n = 0;
    while (n < text.size() && isBlank(text[text.size() - 1 - n])) ++n;
    return text.substr(text.size() - n);
}

std::string_view trimBlank(std::string_view text) {
    text.remove_prefix(leadingBlank(text).size());
    text.remove_suffix(trailingBlank(text).size());
    return text;
}

std::vector<std::string_view> splitAt(std::string_view text, std::string_view separator) {
    std::vector<std::string_view> parts;
    std::size_t from = 0;
    for (std::size_t at = text.find(separator); at != std::string_view::npos;
         at = text.find(separator, from)) {
        parts.push_back(text.substr(from, at - from));
        from = at + separator.size();
    }
    parts.push_back(text.substr(from));
    return parts;
}

std::vector<std::string_view> sentences(std::string_view text) {
    std::vector<std::size_t> cuts = bounds(text, true);
    std::vector<std::string_view> out;
    for (std::size_t i = 1; i < cuts.size(); ++i)
        out.push_back(text.substr(cuts[i - 1], cuts[i] - cuts[i - 1]));
    return out;
}

}  // namespace veska::linetag
