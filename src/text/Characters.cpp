// Character and sentence boundaries with ICU break iterators over UTF-8 (no copy of the text).
#include "text/Characters.h"

#include <cstdint>
#include <memory>

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/utext.h>

namespace veska::text {

namespace {

using Breaker = std::unique_ptr<icu::BreakIterator>;

// One iterator of each kind per thread: making one costs more than walking a long text.
icu::BreakIterator* breaker(bool bySentence) {
    thread_local Breaker characters;
    thread_local Breaker sentences;
    Breaker& cached = bySentence ? sentences : characters;
    if (!cached) {
        UErrorCode status = U_ZERO_ERROR;
        cached.reset(bySentence ? icu::BreakIterator::createSentenceInstance(icu::Locale::getRoot(), status)
                                : icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
        if (U_FAILURE(status)) cached.reset();
    }
    return cached.get();
}

struct TextCloser {
    void operator()(UText* text) const { utext_close(text); }
};

/// The cached iterator of one kind set on `text` for one walk; it lets go of `text` when the
/// walk ends, so that it never points into freed memory.
class Walk {
public:
    Walk(std::string_view text, bool bySentence) : it_(breaker(bySentence)) {
        UErrorCode status = U_ZERO_ERROR;
        text_.reset(utext_openUTF8(nullptr, text.data(), static_cast<std::int64_t>(text.size()), &status));
        if (it_ == nullptr || U_FAILURE(status)) {
            it_ = nullptr;
            return;
        }
        it_->setText(text_.get(), status);
        if (U_FAILURE(status)) it_ = nullptr;
    }
    ~Walk() {
        if (it_ == nullptr) return;
        UErrorCode ignored = U_ZERO_ERROR;
        std::unique_ptr<UText, TextCloser> none(utext_openUTF8(nullptr, "", 0, &ignored));
        it_->setText(none.get(), ignored);
    }
    Walk(const Walk&) = delete;
    Walk& operator=(const Walk&) = delete;

    /// Null when ICU could not set up the walk.
    [[nodiscard]] icu::BreakIterator* iterator() const { return it_; }

private:
    std::unique_ptr<UText, TextCloser> text_;
    icu::BreakIterator* it_;
};

/// Calls `step(offset)` at each boundary after the start until it returns false.
template <class Step>
void eachBoundary(std::string_view text, bool bySentence, Step step) {
    if (text.empty()) return;
    Walk walk(text, bySentence);
    icu::BreakIterator* it = walk.iterator();
    if (it == nullptr) return;
    for (std::int32_t at = it->next(); at != icu::BreakIterator::DONE; at = it->next()) {
        if (!step(static_cast<std::size_t>(at))) return;
    }
}

std::vector<std::size_t> bounds(std::string_view text, bool bySentence) {
    std::vector<std::size_t> out{0};
    eachBoundary(text, bySentence, [&](std::size_t at) {
        if (at > out.back() && at <= text.size()) out.push_back(at);
        return true;
    });
    if (out.back() != text.size()) out.push_back(text.size());
    return out;
}

}  // namespace

std::vector<std::size_t> characterBounds(std::string_view text) { return bounds(text, false); }

std::size_t characterCount(std::string_view text) { return characterBounds(text).size() - 1; }

std::size_t characterCount(std::string_view text, std::size_t limit) {
    std::size_t count = 0;
    eachBoundary(text, false, [&](std::size_t) { return ++count <= limit; });
    return count;
}

std::string_view firstCharacters(std::string_view text, std::size_t count) {
    if (count == 0) return text.substr(0, 0);
    std::size_t seen = 0;
    std::size_t end = text.size();
    eachBoundary(text, false, [&](std::size_t at) {
        if (++seen < count) return true;
        end = at;
        return false;
    });
    return text.substr(0, end);
}

std::string_view lastCharacters(std::string_view text, std::size_t count) {
    const std::vector<std::size_t> cuts = characterBounds(text);
    const std::size_t total = cuts.size() - 1;
    if (total <= count) return text;
    return text.substr(cuts[total - count]);
}

bool isCharacterBoundary(std::string_view text, std::size_t at) {
    if (at == 0 || at >= text.size()) return true;
    Walk walk(text, false);
    icu::BreakIterator* it = walk.iterator();
    return it == nullptr || it->isBoundary(static_cast<std::int32_t>(at)) != 0;
}

std::vector<std::string_view> sentences(std::string_view text) {
    const std::vector<std::size_t> cuts = bounds(text, true);
    std::vector<std::string_view> out;
    for (std::size_t i = 1; i < cuts.size(); ++i)
        out.push_back(text.substr(cuts[i - 1], cuts[i] - cuts[i - 1]));
    return out;
}

}  // namespace veska::text
