// Joining and normalising transcript text, and taking the committed words off a new message.
#include "core/voice/ClaudeVoiceText.h"

#include <unicode/ubrk.h>
#include <unicode/utext.h>
#include <unicode/utf8.h>

#include <memory>

namespace veska::ClaudeVoiceText {

namespace {

/// Characters with the Unicode White_Space property.
bool isWhiteSpace(UChar32 c) {
    if (c >= 0x09 && c <= 0x0D) return true;
    switch (c) {
        case 0x20: case 0x85: case 0xA0: case 0x1680: case 0x2028: case 0x2029:
        case 0x202F: case 0x205F: case 0x3000:
            return true;
        default:
            return c >= 0x2000 && c <= 0x200A;
    }
}

UChar32 lastCharacter(std::string_view s) {
    if (s.empty()) return U_SENTINEL;
    auto length = static_cast<int32_t>(s.size());
    int32_t at = length;
    UChar32 c = 0;
    U8_PREV(reinterpret_cast<const uint8_t*>(s.data()), 0, at, c);  // NOLINT(bugprone-inc-dec-in-conditions)
    return c;
}

UChar32 firstCharacter(std::string_view s) {
    if (s.empty()) return U_SENTINEL;
    int32_t at = 0;
    UChar32 c = 0;
    U8_NEXT(reinterpret_cast<const uint8_t*>(s.data()), at, static_cast<int32_t>(s.size()), c);  // NOLINT(bugprone-inc-dec-in-conditions)
    return c;
}

/// True when byte offset `at` of `text` falls between two user-perceived characters.
bool isCharacterBoundary(std::string_view text, std::size_t at) {
    if (at == 0 || at >= text.size()) return true;
    UErrorCode status = U_ZERO_ERROR;
    UText* ut = utext_openUTF8(nullptr, text.data(), static_cast<int64_t>(text.size()), &status);
    std::unique_ptr<UText, decltype(&utext_close)> textGuard(ut, &utext_close);
    UBreakIterator* bi = ubrk_open(UBRK_CHARACTER, "", nullptr, 0, &status);
    std::unique_ptr<UBreakIterator, decltype(&ubrk_close)> breakGuard(bi, &ubrk_close);
    if (U_FAILURE(status)) return true;
    ubrk_setUText(bi, ut, &status);
    if (U_FAILURE(status)) return true;
    return ubrk_isBoundary(bi, static_cast<int32_t>(at)) != 0;
}

}  // namespace

std::string join(std::string_view a, std::string_view b) {
    std::string out(a);
    const UChar32 last = lastCharacter(a);
    const UChar32 first = firstCharacter(b);
    if (last != U_SENTINEL && first != U_SENTINEL && !isWhiteSpace(last) && !isWhiteSpace(first)) out += ' ';
    out += b;
    return out;
}

std::string normalize(std::string_view s) {
    std::string out;
    std::size_t i = 0;
    while (i < s.size()) {
        const std::size_t start = s.find_first_not_of(" \n\t", i);
        if (start == std::string_view::npos) break;
        std::size_t end = s.find_first_of(" \n\t", start);
        if (end == std::string_view::npos) end = s.size();
        if (!out.empty()) out += ' ';
        out.append(s.substr(start, end - start));
        i = end;
    }
    return out;
}

std::string withoutCommitted(std::string_view data, std::string_view committed) {
    if (committed.empty() || !data.starts_with(committed)) return std::string(data);
    if (!isCharacterBoundary(data, committed.size())) return std::string(data);
    return std::string(data.substr(committed.size()));
}

}  // namespace veska::ClaudeVoiceText
