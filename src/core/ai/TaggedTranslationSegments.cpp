// Segments, pieces and chunks.
#include "core/ai/TaggedTranslationSegments.h"

#include "text/Characters.h"
#include "text/WhiteSpace.h"

namespace veska::Translator {

namespace {

// Accumulates sentences into pieces (see `pieces`).
class PieceBuilder {
public:
    explicit PieceBuilder(std::size_t limit) : limit_(limit) {}

    void add(std::string_view sentence) {
        while (text::characterCount(sentence) > limit_) sentence = cutHead(sentence);
        if (text::characterCount(buffer_) + text::characterCount(sentence) > limit_) flush();
        buffer_ += sentence;
    }

    std::vector<Piece> finish() {
        flush();
        return std::move(pieces_);
    }

private:
    // Flushes the buffer, sends the head of `sentence` as a piece of its own and returns the rest.
    std::string_view cutHead(std::string_view sentence) {
        flush();
        std::size_t cut = cutOffset(sentence);
        std::string_view head = sentence.substr(0, cut);
        std::string_view rest = sentence.substr(cut);
        buffer_ = head;
        flush();
        pendingGlue_ = std::string(text::trailingWhiteSpace(head)) +
                       std::string(text::leadingWhiteSpace(rest));
        return rest;
    }

    // The last space within the first `limit_` characters, or exactly `limit_` characters when
    // that space is the first character or there is none.
    std::size_t cutOffset(std::string_view sentence) const {
        std::size_t limitOffset = text::characterBounds(sentence)[limit_];
        std::size_t space = sentence.substr(0, limitOffset).rfind(' ');
        if (space == std::string_view::npos || space == 0) return limitOffset;
        return space;
    }

    void flush() {
        std::string text(text::trimmedBlanks(buffer_));
        buffer_.clear();
        if (text.empty()) return;
        pieces_.push_back({std::move(text), pieces_.empty() ? std::nullopt : pendingGlue_});
        pendingGlue_.reset();
    }

    std::size_t limit_;
    std::string buffer_;
    std::vector<Piece> pieces_;
    std::optional<std::string> pendingGlue_;
};

}  // namespace

std::vector<Piece> pieces(std::string_view line, std::size_t limit) {
    if (text::characterCount(line) <= limit) return {{std::string(line), std::nullopt}};
    PieceBuilder builder(limit);
    for (std::string_view sentence : text::sentences(line)) builder.add(sentence);
    std::vector<Piece> out = builder.finish();
    if (out.empty()) return {{std::string(line), std::nullopt}};
    return out;
}

std::vector<Segment> segments(std::span<const std::string> lines, std::size_t limit) {
    std::vector<Segment> out;
    for (std::size_t index = 0; index < lines.size(); ++index) {
        std::string_view trimmed = text::trimmedBlanks(lines[index]);
        if (trimmed.empty()) continue;
        for (Piece& piece : pieces(trimmed, limit))
            out.push_back({index, std::move(piece.text), std::move(piece.glue)});
    }
    return out;
}

std::vector<std::vector<std::size_t>> chunks(std::span<const Segment> segments, std::size_t limit) {
    std::vector<std::vector<std::size_t>> out;
    std::vector<std::size_t> current;
    std::size_t size = 0;
    for (std::size_t index = 0; index < segments.size(); ++index) {
        std::size_t length = text::characterCount(segments[index].text);
        if (!current.empty() && size + length > limit) {
            out.push_back(std::move(current));
            current.clear();
            size = 0;
        }
        current.push_back(index);
        size += length + kSegmentOverhead;
    }
    if (!current.empty()) out.push_back(std::move(current));
    return out;
}

}  // namespace veska::Translator
