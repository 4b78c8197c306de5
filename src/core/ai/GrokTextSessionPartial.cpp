// Reading the "text" value out of function-call arguments that are still streaming in.
#include "core/ai/GrokTextSession.h"

namespace veska {

namespace {

constexpr std::string_view kTextMember = "\"text\"";
constexpr std::size_t kHexDigits = 4;

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void appendUTF8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

/// Decodes the four hexadecimal digits after "\u" at `at`; nothing when fewer remain, one is
/// not a digit, or the code is a surrogate.
std::optional<std::uint32_t> unicodeEscape(std::string_view text, std::size_t at) {
    if (text.size() - at < kHexDigits) return std::nullopt;
    std::uint32_t code = 0;
    for (std::size_t i = 0; i < kHexDigits; ++i) {
        const int digit = hexValue(text[at + i]);
        if (digit < 0) return std::nullopt;
        code = code * 16 + static_cast<std::uint32_t>(digit);
    }
    if (code >= 0xD800 && code <= 0xDFFF) return std::nullopt;
    return code;
}

}  // namespace

std::optional<std::string> GrokTextSession::partialText(std::string_view arguments) {
    const std::size_t member = arguments.find(kTextMember);
    if (member == std::string_view::npos) return std::nullopt;
    std::size_t i = member + kTextMember.size();
    while (i < arguments.size() && (arguments[i] == ' ' || arguments[i] == ':' || arguments[i] == '\n')) ++i;
    if (i >= arguments.size() || arguments[i] != '"') return std::nullopt;
    ++i;

    std::string value;
    while (i < arguments.size()) {
        const char c = arguments[i];
        if (c == '"') break;
        if (c != '\\') {
            value += c;
            ++i;
            continue;
        }
        if (i + 1 >= arguments.size()) break;  // a backslash at the very end is dropped
        const char escaped = arguments[i + 1];
        i += 2;
        switch (escaped) {
            case 'n': value += '\n'; break;
            case 't': value += '\t'; break;
            case 'r': value += '\r'; break;
            case 'u': {
                if (auto code = unicodeEscape(arguments, i)) appendUTF8(value, *code);
                i = std::min(arguments.size(), i + kHexDigits);
                break;
            }
            default: value += escaped; break;
        }
    }
    return value;
}

}  // namespace veska
