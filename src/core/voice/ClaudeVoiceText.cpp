// Joining and normalising transcript text, and taking the committed words off a new message.
#include "core/voice/ClaudeVoiceText.h"

#include <unicode/utf8.h>

#include "text/Characters.h"
#include "text/WhiteSpace.h"

namespace veska::ClaudeVoiceText {

namespace {

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

}  // namespace

std::string join(std::string_view a, std::string_view b) {
    std::string out(a);
    const UChar32 last = lastCharacter(a);
    const UChar32 first = firstCharacter(b);
    const bool bothVisible = last != U_SENTINEL && first != U_SENTINEL &&
                             !text::isWhiteSpace(static_cast<char32_t>(last)) &&
                             !text::isWhiteSpace(static_cast<char32_t>(first));
    if (bothVisible) out += ' ';
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
    if (!text::isCharacterBoundary(data, committed.size())) return std::string(data);
    return std::string(data.substr(committed.size()));
}

}  // namespace veska::ClaudeVoiceText
