// ASCII letter case, for names that are ASCII by definition (header names, URL schemes, host
// names, bundle identifiers, language codes): the same whatever the process's locale, and
// never touching the bytes of other characters.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace veska::text {

[[nodiscard]] constexpr char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

[[nodiscard]] constexpr char asciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

/// `text` with its ASCII capitals made small; every other byte as it was.
[[nodiscard]] inline std::string asciiLowered(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = asciiLower(c);
    return out;
}

/// True when `a` and `b` differ at most in the case of ASCII letters.
[[nodiscard]] constexpr bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i])) return false;
    }
    return true;
}

}  // namespace veska::text
