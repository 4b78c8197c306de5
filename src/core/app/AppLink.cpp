#include "core/app/AppLink.h"

#include <cctype>

#include "text/Ascii.h"

namespace veska {

namespace {

[[nodiscard]] int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

[[nodiscard]] bool isUnreserved(unsigned char c) {
    return std::isalnum(c) != 0 || c == '-' || c == '.' || c == '_' || c == '~';
}

[[nodiscard]] std::vector<std::pair<std::string, std::string>> parseQuery(std::string_view query) {
    std::vector<std::pair<std::string, std::string>> items;
    while (!query.empty()) {
        const auto amp = query.find('&');
        const std::string_view item = query.substr(0, amp);
        query = amp == std::string_view::npos ? std::string_view{} : query.substr(amp + 1);
        if (item.empty()) continue;
        const auto eq = item.find('=');
        if (eq == std::string_view::npos) {
            items.emplace_back(percentDecode(item), std::string());
            continue;
        }
        items.emplace_back(percentDecode(item.substr(0, eq)), percentDecode(item.substr(eq + 1)));
    }
    return items;
}

}  // namespace

AppLink AppLink::parse(std::string_view url) {
    AppLink link;
    if (const auto hash = url.find('#'); hash != std::string_view::npos) url = url.substr(0, hash);
    if (const auto question = url.find('?'); question != std::string_view::npos) {
        link.query = parseQuery(url.substr(question + 1));
        url = url.substr(0, question);
    }
    if (const auto colon = url.find(':'); colon != std::string_view::npos && url.find('/') > colon) {
        link.scheme = text::asciiLowered(url.substr(0, colon));
        url = url.substr(colon + 1);
    }
    if (url.starts_with("//")) {
        url = url.substr(2);
        const auto slash = url.find('/');
        std::string_view authority = url.substr(0, slash);
        url = slash == std::string_view::npos ? std::string_view{} : url.substr(slash);
        if (const auto at = authority.rfind('@'); at != std::string_view::npos) authority = authority.substr(at + 1);
        if (const auto port = authority.rfind(':'); port != std::string_view::npos && !authority.ends_with(']')) {
            authority = authority.substr(0, port);
        }
        link.host = text::asciiLowered(percentDecode(authority));
    }
    link.path = percentDecode(url);
    return link;
}

std::string AppLink::command() const {
    if (!host.empty()) return host;
    std::string command = path;
    std::erase(command, '/');
    return command;
}

std::optional<std::string> AppLink::item(std::string_view name) const {
    for (const auto& [key, value] : query) {
        if (key == name) return value;
    }
    return std::nullopt;
}

std::string percentEncode(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (isUnreserved(byte)) {
            out += c;
            continue;
        }
        out += '%';
        out += kHex[byte >> 4];
        out += kHex[byte & 0x0f];
    }
    return out;
}

std::string percentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int high = hexValue(text[i + 1]);
            const int low = hexValue(text[i + 2]);
            if (high >= 0 && low >= 0) {
                out += static_cast<char>((high << 4) | low);
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

std::string encodeQuery(const std::vector<std::pair<std::string, std::string>>& items) {
    std::string out;
    for (const auto& [name, value] : items) {
        if (!out.empty()) out += '&';
        out += percentEncode(name) + "=" + percentEncode(value);
    }
    return out;
}

}  // namespace veska
