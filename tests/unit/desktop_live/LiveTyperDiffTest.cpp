// The typing step found from the shared bytes agrees with the character-by-character definition.
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <rapidcheck.h>

#include "LiveTyperReference.h"
#include "core/desktop/LiveTyperDiff.h"

namespace veska::testing {
namespace {

// Pieces whose joins exercise every cluster rule that matters here: letters with marks in
// one or several code points, a mark on its own (it joins the letter before it), emoji with
// tones and joiners, flags made of two regional indicators, Hangul jamo, CR LF.
const std::vector<std::string> kPieces{
    "a", "e", "n", " ", ".",
    "\xE1\xBB\x87",                  // ệ precomposed
    "e\xCC\xA3\xCC\x82",             // ệ decomposed
    "\xCC\xA3", "\xCC\x82",          // lone marks
    "\xC6\xB0", "\xC4\x91",          // ư đ
    "\xF0\x9F\x98\x80",              // grinning face
    "\xF0\x9F\x91\x8D", "\xF0\x9F\x8F\xBD",  // thumbs up, a skin tone on its own
    "\xE2\x80\x8D",                  // zero-width joiner
    "\xF0\x9F\x87\xBB", "\xF0\x9F\x87\xB3",  // regional indicators V, N
    "\xE1\x84\x80", "\xE1\x85\xA1",  // Hangul leading consonant, vowel
    "\r", "\n",
};

rc::Gen<std::string> textOfPieces(int maxPieces) {
    return rc::gen::map(rc::gen::resize(maxPieces, rc::gen::container<std::vector<std::string>>(rc::gen::elementOf(kPieces))),
                        [](const std::vector<std::string>& pieces) {
                            std::string text;
                            for (const std::string& piece : pieces) text += piece;
                            return text;
                        });
}

TEST(TypingEditProperty, AgreesWithTheCharacterByCharacterStep) {
    const bool ok = rc::check([] {
        const std::string shared = *textOfPieces(30);
        const std::string typed = shared + *textOfPieces(8);
        const std::string next = shared + *textOfPieces(8);
        const ReferenceStep expected = referenceStep(typed, next);
        const TypingEdit edit = typingEdit(typed, next);
        RC_ASSERT(std::string(edit.deleted) == expected.deleted);
        RC_ASSERT(std::string(edit.insert) == expected.insert);
        RC_ASSERT(edit.deletedCharacters == expected.deletedCharacters);
        RC_ASSERT(typed.substr(0, edit.kept) == next.substr(0, edit.kept));
    });
    EXPECT_TRUE(ok);
}

}  // namespace
}  // namespace veska::testing
