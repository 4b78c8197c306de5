// Counting and trimming texts with ICU; invalid UTF-8 counts as replacement characters.
#include "core/desktop/SelectionServiceText.h"

#include <limits>
#include <memory>

#include <unicode/ubrk.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utext.h>
#include <unicode/utf8.h>

namespace veska::selection_text {

namespace {

icu::UnicodeString fromUtf8(std::string_view text) {
    // ICU lengths are 32-bit; no accessibility value or clipboard text comes near that.
    const auto length = static_cast<std::int32_t>(
        std::min<std::size_t>(text.size(), static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())));
    return icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), length));
}

bool isSpace(UChar32 c) { return c >= 0 && u_isUWhiteSpace(c) != 0; }

struct BreakCloser {
    void operator()(UBreakIterator* it) const { ubrk_close(it); }
};
struct TextCloser {
    void operator()(UText* t) const { utext_close(t); }
};

}  // namespace

std::u16string toUtf16(std::string_view text) {
    const icu::UnicodeString u = fromUtf8(text);
    return {u.getBuffer(), static_cast<std::size_t>(u.length())};
}

std::string toUtf8(std::u16string_view text) {
    const auto length = static_cast<std::int32_t>(
        std::min<std::size_t>(text.size(), static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())));
    std::string out;
    icu::UnicodeString(text.data(), length).toUTF8String(out);
    return out;
}

std::int64_t utf16Length(std::string_view text) { return fromUtf8(text).length(); }

bool longerThan(std::string_view text, std::int64_t limit) {
    if (static_cast<std::int64_t>(text.size()) <= limit) return false;  // a character takes a byte at least
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UText, TextCloser> utext(
        utext_openUTF8(nullptr, text.data(), static_cast<std::int64_t>(text.size()), &status));
    if (U_FAILURE(status)) return true;
    std::unique_ptr<UBreakIterator, BreakCloser> it(ubrk_open(UBRK_CHARACTER, "", nullptr, 0, &status));
    if (U_FAILURE(status)) return true;
    ubrk_setUText(it.get(), utext.get(), &status);
    if (U_FAILURE(status)) return true;
    std::int64_t count = 0;
    for (std::int32_t at = ubrk_next(it.get()); at != UBRK_DONE; at = ubrk_next(it.get())) {
        if (++count > limit) return true;
    }
    return false;
}

std::string_view trimmed(std::string_view text) {
    const auto* s = reinterpret_cast<const std::uint8_t*>(text.data());
    const auto length = static_cast<std::int64_t>(text.size());
    std::int64_t start = 0;
    while (start < length) {
        std::int64_t next = start;
        UChar32 c = 0;
        U8_NEXT(s, next, length, c);
        if (!isSpace(c)) break;
        start = next;
    }
    std::int64_t end = length;
    while (end > start) {
        // Back to the lead byte of the last character; a stray byte there is no white space.
        std::int64_t previous = end - 1;
        while (previous > start && end - previous < 4 && U8_IS_TRAIL(s[previous])) --previous;
        std::int64_t next = previous;
        UChar32 c = 0;
        U8_NEXT(s, next, end, c);
        if (next != end || !isSpace(c)) break;
        end = previous;
    }
    return text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
}

}  // namespace veska::selection_text
