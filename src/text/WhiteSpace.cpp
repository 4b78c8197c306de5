// White space by ICU's White_Space property, read from UTF-8 with ICU's macros.
#include "text/WhiteSpace.h"

#include <cstdint>

#include <unicode/uchar.h>
#include <unicode/utf8.h>

namespace veska::text {

namespace {

constexpr std::string_view kBlanks = " \t";

bool isWhite(UChar32 c) { return c >= 0 && u_isUWhiteSpace(c) != 0; }

/// Byte length of the white-space prefix.
std::size_t leadingLength(std::string_view text) {
    const auto* s = reinterpret_cast<const std::uint8_t*>(text.data());
    const auto length = static_cast<std::int32_t>(text.size());  // ICU offsets are 32-bit
    std::int32_t at = 0;
    while (at < length) {
        std::int32_t next = at;
        UChar32 c = 0;
        U8_NEXT(s, next, length, c);  // NOLINT(bugprone-inc-dec-in-conditions): ICU's decoding macro
        if (!isWhite(c)) break;
        at = next;
    }
    return static_cast<std::size_t>(at);
}

/// Byte length of the white-space suffix.
std::size_t trailingLength(std::string_view text) {
    const auto* s = reinterpret_cast<const std::uint8_t*>(text.data());
    const auto length = static_cast<std::int32_t>(text.size());
    std::int32_t at = length;
    while (at > 0) {
        std::int32_t before = at;
        UChar32 c = 0;
        U8_PREV(s, 0, before, c);  // NOLINT(bugprone-inc-dec-in-conditions): ICU's decoding macro
        if (!isWhite(c)) break;
        at = before;
    }
    return static_cast<std::size_t>(length - at);
}

}  // namespace

bool isWhiteSpace(char32_t c) { return c <= 0x10FFFF && isWhite(static_cast<UChar32>(c)); }

std::string_view leadingWhiteSpace(std::string_view text) { return text.substr(0, leadingLength(text)); }

std::string_view trailingWhiteSpace(std::string_view text) {
    return text.substr(text.size() - trailingLength(text));
}

std::string_view trimmed(std::string_view text) {
    const std::size_t lead = leadingLength(text);
    if (lead == text.size()) return text.substr(text.size());
    return text.substr(lead, text.size() - lead - trailingLength(text));
}

std::string_view leadingBlanks(std::string_view text) {
    return text.substr(0, std::min(text.find_first_not_of(kBlanks), text.size()));
}

std::string_view trailingBlanks(std::string_view text) {
    const std::size_t last = text.find_last_not_of(kBlanks);
    return text.substr(last == std::string_view::npos ? 0 : last + 1);
}

std::string_view trimmedBlanks(std::string_view text) { return trimmedOf(text, kBlanks); }

std::string_view trimmedOf(std::string_view text, std::string_view bytes) {
    const std::size_t first = text.find_first_not_of(bytes);
    if (first == std::string_view::npos) return text.substr(text.size());
    return text.substr(first, text.find_last_not_of(bytes) - first + 1);
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

}  // namespace veska::text
