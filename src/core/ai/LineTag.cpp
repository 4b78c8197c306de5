// Tag shapes, the free-tag choice and the answer reader.
#include "core/ai/LineTag.h"

#include <algorithm>
#include <optional>

#include "text/WhiteSpace.h"

namespace veska::Translator {

namespace {

// Decimal digits of at most this many places; longer numbers name no segment.
constexpr std::size_t kMaxDigits = 9;

struct Kept {
    std::size_t begin;
    std::size_t end;
    std::size_t number;
};

std::optional<std::size_t> numberOf(std::string_view digits) {
    if (digits.size() > kMaxDigits) return std::nullopt;
    std::size_t number = 0;
    for (char c : digits) number = number * 10 + static_cast<std::size_t>(c - '0');
    return number;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::vector<Kept> keptMatches(std::string_view answer, std::span<const std::size_t> expected,
                              const Tag& mark) {
    std::vector<Kept> kept;
    for (const TagMatch& match : mark.regex(answer)) {
        std::optional<std::size_t> number = numberOf(match.digits);
        if (!number || std::find(expected.begin(), expected.end(), *number) == expected.end()) continue;
        if (!kept.empty() && *number <= kept.back().number) continue;
        kept.push_back({match.begin, match.end, *number});
    }
    return kept;
}

}  // namespace

Tag::Tag(std::string openText, std::string closeText)
    : open(std::move(openText)), close(std::move(closeText)) {}

std::vector<TagMatch> Tag::regex(std::string_view text) const {
    std::vector<TagMatch> found;
    if (open.empty()) return found;
    std::size_t from = 0;
    for (std::size_t at = text.find(open, from); at != std::string_view::npos; at = text.find(open, from)) {
        std::size_t digitsEnd = at + open.size();
        while (digitsEnd < text.size() && isDigit(text[digitsEnd])) ++digitsEnd;
        std::size_t digitsBegin = at + open.size();
        if (digitsEnd > digitsBegin && text.substr(digitsEnd).starts_with(close)) {
            found.push_back(
                {at, digitsEnd + close.size(), text.substr(digitsBegin, digitsEnd - digitsBegin)});
            from = digitsEnd + close.size();
        } else {
            from = at + 1;
        }
    }
    return found;
}

std::span<const Tag> Tag::candidates() {
    static const std::vector<Tag> kCandidates{
        Tag("[#", "]"), Tag("⟦", "⟧"), Tag("⟪", "⟫"), Tag("〔#", "〕"), Tag("{{#", "}}"),
    };
    return kCandidates;
}

Tag Tag::free(std::string_view text) {
    for (const Tag& tag : candidates()) {
        if (text.find(tag.open) == std::string_view::npos) return tag;
    }
    std::string open = "⟦#";
    while (text.find(open) != std::string_view::npos) open += "#";
    return Tag(open, "⟧");
}

std::string Tag::stripped(std::string_view text) const {
    std::string out;
    std::size_t from = 0;
    for (const TagMatch& match : regex(text)) {
        out += text.substr(from, match.begin - from);
        from = match.end;
        if (from < text.size() && (text[from] == ' ' || text[from] == '\t')) ++from;
    }
    out += text.substr(from);
    return out;
}

Results parse(std::string_view answer, std::span<const std::size_t> expected, const Tag& mark) {
    const std::vector<Kept> kept = keptMatches(answer, expected, mark);
    Results results;
    if (!expected.empty()) {
        std::string_view before = kept.empty() ? answer : answer.substr(0, kept.front().begin);
        std::string_view text = text::trimmed(before);
        if (!text.empty()) results[expected.front()] = std::string(text);
    }
    for (std::size_t k = 0; k < kept.size(); ++k) {
        std::size_t end = k + 1 < kept.size() ? kept[k + 1].begin : answer.size();
        std::string_view text = text::trimmed(answer.substr(kept[k].end, end - kept[k].end));
        if (text.empty() && results.contains(kept[k].number)) continue;
        results[kept[k].number] = std::string(text);
    }
    return results;
}

}  // namespace veska::Translator
