// Tag shapes, the free-tag choice and the answer reader.
#include "core/ai/LineTag.h"

#include <algorithm>
#include <optional>

#include "core/ai/LineTagText.h"

namespace veska::translator {
namespace {

std::string escaped(std::string_view literal) {
    static constexpr std::string_view kSpecial = R"(\^$.|?*+()[]{})";
    std::string out;
    for (char c : literal) {
        if (kSpecial.find(c) != std::string_view::npos) out += '\\';
        out += c;
    }
    return out;
}

// Decimal digits of at most this many places; longer numbers name no segment.
constexpr std::size_t kMaxDigits = 9;

struct Kept {
    std::size_t begin;
    std::size_t end;
    std::size_t number;
};

std::optional<std::size_t> numberOf(const std::string& digits) {
    if (digits.size() > kMaxDigits) return std::nullopt;
    return static_cast<std::size_t>(std::stoul(digits));
}

std::vector<Kept> keptMatches(const std::string& answer, std::span<const std::size_t> expected, const Tag& mark) {
    std::vector<Kept> kept;
    for (auto it = std::sregex_iterator(answer.begin(), answer.end(), mark.regex); it != std::sregex_iterator(); ++it) {
        std::optional<std::size_t> number = numberOf((*it)[1].str());
        if (!number || std::find(expected.begin(), expected.end(), *number) == expected.end()) continue;
        if (!kept.empty() && *number <= kept.back().number) continue;
        auto begin = static_cast<std::size_t>(it->position(0));
        kept.push_back({begin, begin + static_cast<std::size_t>(it->length(0)), *number});
    }
    return kept;
}

}  // namespace

Tag::Tag(std::string openText, std::string closeText)
    : open(std::move(openText)),
      close(std::move(closeText)),
      regex(escaped(open) + "([0-9]+)" + escaped(close)),
      strip(escaped(open) + "([0-9]+)" + escaped(close) + "[ \\t]?") {}

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
    return std::regex_replace(std::string(text), strip, "");
}

Results parse(std::string_view answerView, std::span<const std::size_t> expected, const Tag& mark) {
    const std::string answer(answerView);
    const std::vector<Kept> kept = keptMatches(answer, expected, mark);
    Results results;
    if (!expected.empty()) {
        std::string_view before = kept.empty() ? std::string_view(answer)
                                               : std::string_view(answer).substr(0, kept.front().begin);
        std::string_view text = trimWhite(before);
        if (!text.empty()) results[expected.front()] = std::string(text);
    }
    for (std::size_t k = 0; k < kept.size(); ++k) {
        std::size_t end = k + 1 < kept.size() ? kept[k + 1].begin : answer.size();
        std::string_view text = trimWhite(std::string_view(answer).substr(kept[k].end, end - kept[k].end));
        if (text.empty() && results.contains(kept[k].number)) continue;
        results[kept[k].number] = std::string(text);
    }
    return results;
}

}  // namespace veska::translator

