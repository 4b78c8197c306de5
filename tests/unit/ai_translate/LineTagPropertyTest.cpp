// Properties of the answer reader: any model output is read without failing, and well-formed
// tagged output comes back entry for entry.
#include <gtest/gtest.h>
#include <rapidcheck.h>

#include <algorithm>

#include "core/ai/LineTag.h"
#include "core/ai/TaggedTranslationSegments.h"
#include "text/Characters.h"
#include "text/WhiteSpace.h"

namespace veska::Translator {

namespace {

rc::Gen<std::string> textFrom(const std::vector<std::string>& alphabet, int maxLength) {
    return rc::gen::map(rc::gen::resize(maxLength, rc::gen::container<std::vector<std::string>>(
                                                       rc::gen::elementOf(alphabet))),
                        [](const std::vector<std::string>& parts) {
                            std::string out;
                            for (const std::string& p : parts) out += p;
                            return out;
                        });
}

const std::vector<std::string> kNoisy{"[", "#", "]", "0", "1", "2", "9", " ",    "\n",   "\t",
                                      "a", "é", "⟦", "⟧", "{", "}", "¶", "\xff", "\xe2", "x"};
const std::vector<std::string> kWords{"a", "b", "ư", "ờ", " ", ".", "中", "1", "(", ")", "⟦", "]", "#"};

TEST(LineTagProperty, ArbitraryAnswersAreReadWithoutFailing) {
    bool ok = rc::check([] {
        std::string answer = *rc::gen::oneOf(textFrom(kNoisy, 60), rc::gen::arbitrary<std::string>());
        std::vector<std::size_t> expected =
            *rc::gen::container<std::vector<std::size_t>>(rc::gen::inRange<std::size_t>(0, 12));
        const Tag& mark =
            *rc::gen::elementOf(std::vector<Tag>(Tag::candidates().begin(), Tag::candidates().end()));
        Results results = parse(answer, expected, mark);
        for (const auto& [index, text] : results) {
            RC_ASSERT(std::find(expected.begin(), expected.end(), index) != expected.end());
            RC_ASSERT(text::trimmed(text) == text);
        }
        if (expected.empty()) RC_ASSERT(results.empty());
        (void)mark.stripped(answer);
    });
    EXPECT_TRUE(ok);
}

TEST(LineTagProperty, WellFormedTaggedAnswersRoundTrip) {
    bool ok = rc::check([] {
        std::vector<std::size_t> expected =
            *rc::gen::unique<std::vector<std::size_t>>(rc::gen::inRange<std::size_t>(0, 40));
        std::sort(expected.begin(), expected.end());
        std::string all;
        std::vector<std::string> texts;
        for (std::size_t i = 0; i < expected.size(); ++i) {
            std::string t = std::string(text::trimmed(*textFrom(kWords, 12)));
            texts.push_back(t);
            all += t;
        }
        Tag mark = Tag::free(all);
        std::string answer = *textFrom({" ", "\n"}, 3);
        for (std::size_t i = 0; i < expected.size(); ++i) {
            if (i > 0) answer += "\n";
            answer += mark.open + std::to_string(expected[i]) + mark.close + " " + texts[i];
        }
        Results results = parse(answer, expected, mark);
        RC_ASSERT(results.size() == expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) RC_ASSERT(results.at(expected[i]) == texts[i]);
    });
    EXPECT_TRUE(ok);
}

TEST(LineTagProperty, FreeTagNeverOccursInTheText) {
    bool ok = rc::check([] {
        std::string text = *textFrom({"[#", "⟦", "⟪", "〔#", "{{#", "⟦#", "#", "x"}, 30);
        Tag mark = Tag::free(text);
        RC_ASSERT(text.find(mark.open) == std::string::npos);
    });
    EXPECT_TRUE(ok);
}

TEST(LineTagProperty, PiecesStayWithinTheLimitAndKeepEveryWord) {
    bool ok = rc::check([] {
        std::string line = *textFrom({"Ab", "cd", "ệ", " ", "  ", ". ", "! ", "中", "。", "x"}, 400);
        std::size_t limit = *rc::gen::inRange<std::size_t>(5, 60);
        std::vector<Piece> cut = pieces(line, limit);
        RC_ASSERT(!cut.empty());
        std::string words;
        std::string pieceWords;
        for (char c : line) {
            if (c != ' ') words += c;
        }
        for (const Piece& piece : cut) {
            if (cut.size() > 1) RC_ASSERT(text::characterCount(piece.text) <= limit);
            for (char c : piece.text) {
                if (c != ' ') pieceWords += c;
            }
        }
        RC_ASSERT(pieceWords == words);
    });
    EXPECT_TRUE(ok);
}

}  // namespace
}  // namespace veska::Translator
