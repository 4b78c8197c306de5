// Base64 for the binary pieces of the simulated services' scripts.
#include "platform/sim/SimBase64.h"

namespace veska::sim {

namespace {

int symbolValue(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

}  // namespace

std::optional<std::string> base64Decode(std::string_view text) {
    std::size_t padding = 0;
    while (padding < text.size() && text[text.size() - 1 - padding] == '=') ++padding;
    const std::string_view symbols = text.substr(0, text.size() - padding);
    if (padding > 2 || symbols.size() % 4 == 1) return std::nullopt;
    if (padding > 0 && text.size() % 4 != 0) return std::nullopt;
    std::string out;
    out.reserve(symbols.size() * 3 / 4);
    unsigned int buffer = 0;
    int bits = 0;
    for (char c : symbols) {
        const int value = symbolValue(c);
        if (value < 0) return std::nullopt;
        buffer = ((buffer << 6) | static_cast<unsigned int>(value)) & 0xFFFFFFU;
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out.push_back(static_cast<char>((buffer >> bits) & 0xFFU));
        }
    }
    return out;
}

}  // namespace veska::sim
