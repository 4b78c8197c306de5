// The JSON grammar, byte by byte, without building values.
#include "core/ai/JsonScanner.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <system_error>

namespace veska {

namespace {

/// Bytes a string holds as they are: printable ASCII other than the quote and the backslash.
constexpr std::array<bool, 256> kPlain = [] {
    std::array<bool, 256> plain{};
    for (int c = 0x20; c < 0x80; ++c) plain[static_cast<std::size_t>(c)] = c != '"' && c != '\\';
    return plain;
}();

/// Largest power of ten below the largest finite double; numbers past 10^310 are infinite.
constexpr std::int64_t kFiniteMagnitude = 308;
constexpr std::int64_t kInfiniteMagnitude = 310;
/// An exponent past this is infinite (or zero) whatever the digits; reading stops growing it.
constexpr std::int64_t kExponentCap = 1'000'000'000;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

/// The four hex digits at `at` (which has four bytes), or -1.
int hex4(const char* at) {
    int value = 0;
    for (int i = 0; i < 4; ++i) {
        const int digit = hexValue(at[i]);
        if (digit < 0) return -1;
        value = value * 16 + digit;
    }
    return value;
}

void appendUtf8(std::string& out, std::uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

/// The parts of a number's text, already checked against the grammar.
struct NumberText {
    std::string_view whole;
    std::string_view integer;
    std::string_view fraction;
    std::int64_t exponent = 0;
};

/// Whether the number reads as a finite double, as `strtod` would read it.
bool isFinite(const NumberText& n) {
    // The value lies in [10^(m-1), 10^m) where m counts from its first non-zero digit.
    std::int64_t magnitude = 0;
    if (const auto first = n.integer.find_first_not_of('0'); first != std::string_view::npos) {
        magnitude = static_cast<std::int64_t>(n.integer.size() - first) + n.exponent;
    } else if (const auto firstFraction = n.fraction.find_first_not_of('0');
               firstFraction != std::string_view::npos) {
        magnitude = -static_cast<std::int64_t>(firstFraction) + n.exponent;
    } else {
        return true;  // zero, whatever its exponent
    }
    if (magnitude <= kFiniteMagnitude) return true;
    if (magnitude >= kInfiniteMagnitude) return false;
    double value = 0;
    const auto result = std::from_chars(n.whole.data(), n.whole.data() + n.whole.size(), value);
    return result.ec == std::errc();
}

}  // namespace

bool JsonScanner::scan(std::string_view text, JsonEvents& events) {
    at_ = text.data();
    end_ = text.data() + text.size();
    open_.clear();
    if (!text.empty() && static_cast<unsigned char>(text.front()) == 0xEF) {
        if (!text.starts_with("\xEF\xBB\xBF")) return false;
        at_ += 3;
    }
    if (!value(events)) return false;
    while (!open_.empty()) {
        if (!afterValue(events)) return false;
    }
    skipWhiteSpace();
    return at_ == end_;
}

// Reads one value, or opens the containers in front of the first scalar or empty container
// inside it: `afterValue` reads on from there.
bool JsonScanner::value(JsonEvents& events) {
    for (;;) {
        skipWhiteSpace();
        if (at_ == end_) return false;
        switch (*at_) {
            case '{':
                ++at_;
                events.beginObject();
                skipWhiteSpace();
                if (at_ != end_ && *at_ == '}') {
                    ++at_;
                    events.endObject();
                    return true;
                }
                open_.push_back(Container::object);
                if (!keyThenColon(events)) return false;
                continue;
            case '[':
                ++at_;
                events.beginArray();
                skipWhiteSpace();
                if (at_ != end_ && *at_ == ']') {
                    ++at_;
                    events.endArray();
                    return true;
                }
                open_.push_back(Container::array);
                continue;
            case '"': {
                ++at_;
                std::string_view text;
                if (!string(text)) return false;
                events.string(text);
                return true;
            }
            case 't':
                if (!literal("true")) return false;
                events.boolean(true);
                return true;
            case 'f':
                if (!literal("false")) return false;
                events.boolean(false);
                return true;
            case 'n':
                if (!literal("null")) return false;
                events.otherValue();
                return true;
            default:
                if (*at_ != '-' && !isDigit(*at_)) return false;
                if (!number()) return false;
                events.otherValue();
                return true;
        }
    }
}

// After a complete value inside a container: a comma and the next value, or the close.
bool JsonScanner::afterValue(JsonEvents& events) {
    skipWhiteSpace();
    if (at_ == end_) return false;
    const char c = *at_++;
    const bool inObject = open_.back() == Container::object;
    if (c == ',') {
        if (inObject && !keyThenColon(events)) return false;
        return value(events);
    }
    if (c != (inObject ? '}' : ']')) return false;
    open_.pop_back();
    if (inObject) {
        events.endObject();
    } else {
        events.endArray();
    }
    return true;
}

bool JsonScanner::keyThenColon(JsonEvents& events) {
    skipWhiteSpace();
    if (at_ == end_ || *at_ != '"') return false;
    ++at_;
    std::string_view name;
    if (!string(name)) return false;
    events.key(name);
    skipWhiteSpace();
    if (at_ == end_ || *at_ != ':') return false;
    ++at_;
    return true;
}

bool JsonScanner::string(std::string_view& out) {
    const char* start = at_;
    const char* run = at_;  // start of the bytes not yet copied to `decoded_`
    bool escaped = false;
    for (;;) {
        while (at_ != end_ && kPlain[static_cast<unsigned char>(*at_)]) ++at_;
        if (at_ == end_) return false;
        const auto c = static_cast<unsigned char>(*at_);
        if (c == '"') {
            if (escaped) {
                decoded_.append(run, at_);
                out = decoded_;
            } else {
                out = std::string_view(start, static_cast<std::size_t>(at_ - start));
            }
            ++at_;
            return true;
        }
        if (c >= 0x80) {
            if (!utf8Sequence()) return false;
            continue;
        }
        if (c != '\\') return false;  // a control character
        if (!escaped) decoded_.clear();
        escaped = true;
        decoded_.append(run, at_);
        ++at_;
        if (!escape()) return false;
        run = at_;
    }
}

// After a backslash: one escape, appended to `decoded_`.
bool JsonScanner::escape() {
    if (at_ == end_) return false;
    const char c = *at_++;
    switch (c) {
        case '"': decoded_ += '"'; return true;
        case '\\': decoded_ += '\\'; return true;
        case '/': decoded_ += '/'; return true;
        case 'b': decoded_ += '\b'; return true;
        case 'f': decoded_ += '\f'; return true;
        case 'n': decoded_ += '\n'; return true;
        case 'r': decoded_ += '\r'; return true;
        case 't': decoded_ += '\t'; return true;
        case 'u': break;
        default: return false;
    }
    if (end_ - at_ < 4) return false;
    const int unit = hex4(at_);
    if (unit < 0) return false;
    at_ += 4;
    if (unit >= 0xDC00 && unit <= 0xDFFF) return false;  // a low surrogate alone
    if (unit < 0xD800 || unit > 0xDBFF) {
        appendUtf8(decoded_, static_cast<std::uint32_t>(unit));
        return true;
    }
    if (end_ - at_ < 6 || at_[0] != '\\' || at_[1] != 'u') return false;
    const int low = hex4(at_ + 2);
    if (low < 0xDC00 || low > 0xDFFF) return false;
    at_ += 6;
    const auto high = static_cast<std::uint32_t>(unit);
    appendUtf8(decoded_, 0x10000 + ((high - 0xD800) << 10) + (static_cast<std::uint32_t>(low) - 0xDC00));
    return true;
}

// One well-formed UTF-8 sequence of two to four bytes: no overlong form, no surrogate, nothing
// past U+10FFFF.
bool JsonScanner::utf8Sequence() {
    const auto lead = static_cast<unsigned char>(*at_);
    std::ptrdiff_t trail = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        trail = 1;
    } else if (lead == 0xE0) {
        trail = 2;
        low = 0xA0;
    } else if (lead == 0xED) {
        trail = 2;
        high = 0x9F;
    } else if (lead >= 0xE1 && lead <= 0xEF) {
        trail = 2;
    } else if (lead == 0xF0) {
        trail = 3;
        low = 0x90;
    } else if (lead == 0xF4) {
        trail = 3;
        high = 0x8F;
    } else if (lead >= 0xF1 && lead <= 0xF3) {
        trail = 3;
    } else {
        return false;
    }
    if (end_ - at_ <= trail) return false;
    const auto second = static_cast<unsigned char>(at_[1]);
    if (second < low || second > high) return false;
    for (std::ptrdiff_t i = 2; i <= trail; ++i) {
        const auto byte = static_cast<unsigned char>(at_[i]);
        if (byte < 0x80 || byte > 0xBF) return false;
    }
    at_ += trail + 1;
    return true;
}

bool JsonScanner::number() {
    NumberText n;
    const char* start = at_;
    if (*at_ == '-') ++at_;
    const char* integer = at_;
    if (at_ == end_ || !isDigit(*at_)) return false;
    if (*at_ == '0') {
        ++at_;
    } else {
        while (at_ != end_ && isDigit(*at_)) ++at_;
    }
    n.integer = std::string_view(integer, static_cast<std::size_t>(at_ - integer));
    if (at_ != end_ && *at_ == '.') {
        const char* fraction = ++at_;
        if (at_ == end_ || !isDigit(*at_)) return false;
        while (at_ != end_ && isDigit(*at_)) ++at_;
        n.fraction = std::string_view(fraction, static_cast<std::size_t>(at_ - fraction));
    }
    if (at_ != end_ && (*at_ == 'e' || *at_ == 'E')) {
        ++at_;
        const bool negative = at_ != end_ && *at_ == '-';
        if (at_ != end_ && (*at_ == '-' || *at_ == '+')) ++at_;
        if (at_ == end_ || !isDigit(*at_)) return false;
        std::int64_t exponent = 0;
        for (; at_ != end_ && isDigit(*at_); ++at_) {
            if (exponent < kExponentCap) exponent = exponent * 10 + (*at_ - '0');
        }
        n.exponent = negative ? -exponent : exponent;
    }
    n.whole = std::string_view(start, static_cast<std::size_t>(at_ - start));
    return isFinite(n);
}

bool JsonScanner::literal(std::string_view word) {
    if (static_cast<std::size_t>(end_ - at_) < word.size() || std::memcmp(at_, word.data(), word.size()) != 0)
        return false;
    at_ += word.size();
    return true;
}

void JsonScanner::skipWhiteSpace() {
    while (at_ != end_ && (*at_ == ' ' || *at_ == '\n' || *at_ == '\r' || *at_ == '\t')) ++at_;
}

}  // namespace veska
