// Grapheme clusters with ICU, edit distance, and the mixed Vietnamese and English sample.
#include "e2e/support/TextMeasure.h"

#include <unicode/brkiter.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <array>
#include <memory>
#include <random>
#include <string_view>

namespace veska::e2e {

std::vector<std::string> graphemes(const std::string& text) {
    std::vector<std::string> out;
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> it(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status)) return out;
    const icu::UnicodeString unicode = icu::UnicodeString::fromUTF8(text);
    it->setText(unicode);
    std::int32_t start = it->first();
    for (std::int32_t end = it->next(); end != icu::BreakIterator::DONE; start = end, end = it->next()) {
        std::string piece;
        unicode.tempSubStringBetween(start, end).toUTF8String(piece);
        out.push_back(std::move(piece));
    }
    return out;
}

std::size_t graphemeDistance(const std::string& a, const std::string& b) {
    const std::vector<std::string> x = graphemes(a);
    const std::vector<std::string> y = graphemes(b);
    std::vector<std::size_t> row(y.size() + 1);
    for (std::size_t j = 0; j <= y.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= x.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= y.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (x[i - 1] == y[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[y.size()];
}

std::string mixedText(std::size_t characters, unsigned seed) {
    static constexpr std::array<std::string_view, 24> kWords{
        "Xin chào",  "tiếng Việt", "hello",   "world",     "người",  "được",    "đường",   "nghiêng",
        "thường",    "meeting",    "tomorrow", "quyết định", "chúng ta", "report", "ngày mai", "cảm ơn",
        "deadline",  "khuyến mãi", "update",  "Hà Nội",    "phở bò", "the draft", "sửa lỗi", "nhé,"};
    std::mt19937 random(seed);
    std::string text;
    std::size_t count = 0;
    while (count < characters) {
        const std::string_view word = kWords[random() % kWords.size()];
        std::string piece = text.empty() ? std::string(word) : " " + std::string(word);
        for (const std::string& g : graphemes(piece)) {
            if (count == characters) break;
            text += g;
            ++count;
        }
    }
    return text;
}

std::string applyTerminalErase(const std::string& bytes) {
    std::vector<std::string> shown;
    std::string pending;
    auto flush = [&] {
        for (std::string& g : graphemes(pending)) shown.push_back(std::move(g));
        pending.clear();
    };
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == 0x7f || byte == 0x08) {
            flush();
            if (!shown.empty()) shown.pop_back();
        } else if (byte >= 0x20 || byte == '\n' || byte == '\t') {
            pending.push_back(c);
        }
    }
    flush();
    std::string out;
    for (const std::string& g : shown) out += g;
    return out;
}

}  // namespace veska::e2e
