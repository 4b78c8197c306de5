// The read-aloud splitter: normalised lines, then windows cut at sentence ends or spaces.
#include "core/voice/GrokSessionSplit.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "text/Characters.h"
#include "text/Utf.h"
#include "text/WhiteSpace.h"

namespace veska::GrokSession {

namespace {

/// Step one: no carriage returns, each line trimmed of spaces and tabs, no empty lines.
std::string normalisedLines(std::string_view text) {
    std::string withoutCR;
    withoutCR.reserve(text.size());
    std::copy_if(text.begin(), text.end(), std::back_inserter(withoutCR), [](char c) { return c != '\r'; });
    std::string joined;
    joined.reserve(withoutCR.size());
    for (std::string_view line : text::splitAt(withoutCR, "\n")) {
        std::string_view trimmed = text::trimmedBlanks(line);
        if (trimmed.empty()) continue;
        if (!joined.empty()) joined += '\n';
        joined += trimmed;
    }
    return joined;
}

bool isSentenceEnd(std::string_view character) {
    static constexpr std::array<std::string_view, 6> kEnds = {".", "!", "?", "\u2026", "\n", "\u3002"};
    return std::find(kEnds.begin(), kEnds.end(), character) != kEnds.end();
}

/// The text cut into user-perceived characters, walked by character index.
class Characters {
public:
    explicit Characters(std::string text) : text_(std::move(text)), bounds_(text::characterBounds(text_)) {}

    [[nodiscard]] std::size_t count() const { return bounds_.size() - 1; }
    [[nodiscard]] std::string_view at(std::size_t index) const {
        return std::string_view(text_).substr(bounds_[index], bounds_[index + 1] - bounds_[index]);
    }
    [[nodiscard]] std::string_view range(std::size_t from, std::size_t to) const {
        return std::string_view(text_).substr(bounds_[from], bounds_[to] - bounds_[from]);
    }
    /// The index of the first character at or after `from` that is not white space.
    [[nodiscard]] std::size_t skipWhite(std::size_t from) const {
        while (from < count() && !text::leadingWhiteSpace(at(from)).empty()) ++from;
        return from;
    }
    /// The last character of [from, to) that `matches`, further than `minDistance` characters
    /// from `from`; none = `to`.
    template <class Pred>
    [[nodiscard]] std::size_t lastBeyond(std::size_t from, std::size_t to, std::size_t minDistance, Pred matches) const {
        for (std::size_t i = to; i > from; --i) {
            if (!matches(at(i - 1))) continue;
            return i - 1 - from > minDistance ? i - 1 : to;
        }
        return to;
    }

private:
    std::string text_;
    std::vector<std::size_t> bounds_;
};

}  // namespace

std::vector<std::string> split(std::string_view text, int first, int rest) {
    std::string normalised = normalisedLines(text::validUtf8(text));
    std::vector<std::size_t> bounds = text::characterBounds(normalised);
    if (bounds.size() - 1 > static_cast<std::size_t>(kMaxReadCharacters)) normalised.resize(bounds[kMaxReadCharacters]);
    const Characters chars(std::move(normalised));

    std::vector<std::string> parts;
    std::size_t pos = 0;
    while (pos < chars.count()) {
        const auto limit = static_cast<std::size_t>(std::max(1, parts.empty() ? first : rest));
        if (chars.count() - pos <= limit) {
            parts.emplace_back(chars.range(pos, chars.count()));
            break;
        }
        const std::size_t windowEnd = pos + limit;
        std::size_t pieceEnd = windowEnd;
        std::size_t next = windowEnd;
        const std::size_t end = chars.lastBeyond(pos, windowEnd, limit / 3, isSentenceEnd);
        if (end != windowEnd) {
            pieceEnd = end + 1;
            next = end + 1;
        } else {
            const std::size_t space =
                chars.lastBeyond(pos, windowEnd, limit / 3, [](std::string_view c) { return c == " "; });
            pieceEnd = space;
            next = space;
        }
        std::string_view piece = text::trimmed(chars.range(pos, pieceEnd));
        if (!piece.empty()) parts.emplace_back(piece);
        pos = chars.skipWhite(next);
    }
    return parts;
}

}  // namespace veska::GrokSession
