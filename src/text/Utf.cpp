// UTF conversions through ICU.
#include "text/Utf.h"

#include <algorithm>
#include <limits>

#include <unicode/unistr.h>
#include <unicode/utf8.h>

namespace veska::text {

namespace {

// ICU lengths are 32-bit; no text the application handles comes near that.
std::int32_t icuLength(std::size_t size) {
    return static_cast<std::int32_t>(
        std::min<std::size_t>(size, static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())));
}

icu::UnicodeString fromUtf8(std::string_view text) {
    return icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), icuLength(text.size())));
}

}  // namespace

std::u16string toUtf16(std::string_view text) {
    const icu::UnicodeString u = fromUtf8(text);
    return {u.getBuffer(), static_cast<std::size_t>(u.length())};
}

std::string toUtf8(std::u16string_view text) {
    std::string out;
    icu::UnicodeString(text.data(), icuLength(text.size())).toUTF8String(out);
    return out;
}

std::int64_t utf16Length(std::string_view text) { return fromUtf8(text).length(); }

std::string validUtf8(std::string_view text) {
    std::string out;
    fromUtf8(text).toUTF8String(out);
    return out;
}

bool isValidUtf8(std::string_view text) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(text.data());
    const std::int32_t length = icuLength(text.size());
    std::int32_t at = 0;
    while (at < length) {
        UChar32 c = 0;
        U8_NEXT(data, at, length, c);  // NOLINT(bugprone-inc-dec-in-conditions): ICU's decoding macro
        if (c < 0) return false;
    }
    return true;
}

}  // namespace veska::text
