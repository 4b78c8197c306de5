// Key chords: reading, naming, the keys a program posts for them, and typing text as keys.
#include <gtest/gtest.h>

#include "main/scenario/KeyChord.h"

namespace veska::scenario {
namespace {

namespace keys = ports::keys;
namespace flags = ports::flags;

TEST(KeyChord, ReadsModifiersThenOneKey) {
    const struct {
        const char* text;
        std::vector<ports::KeyCode> modifiers;
        ports::KeyCode key;
    } rows[] = {
        {"v", {}, keys::kV},
        {"V", {}, keys::kV},
        {"command+v", {keys::kCommand}, keys::kV},
        {"control+option+delete", {keys::kControl, keys::kOption}, keys::kDelete},
        {"fn", {}, keys::kFn},
        {"fn+control", {keys::kFn}, keys::kControl},
        {"rightCommand+c", {keys::kRightCommand}, keys::kC},
    };
    for (const auto& row : rows) {
        std::string why;
        auto chord = parseChord(row.text, why);
        ASSERT_TRUE(chord) << row.text << ": " << why;
        EXPECT_EQ(chord->modifierKeys, row.modifiers) << row.text;
        EXPECT_EQ(chord->key, row.key) << row.text;
    }
    for (const char* bad : {"", "+", "command+", "+v", "v+command", "command+command+v", "hyper+v", "command++v"}) {
        std::string why;
        EXPECT_FALSE(parseChord(bad, why)) << bad;
        EXPECT_FALSE(why.empty()) << bad;
    }
}

TEST(KeyChord, NamesListModifiersInOneOrder) {
    EXPECT_EQ(chordName(keys::kV, flags::kCommand | flags::kShift), "shift+command+v");
    EXPECT_EQ(chordName(keys::kDelete, flags::kOption | flags::kControl), "control+option+delete");
    EXPECT_EQ(chordName(keys::kDelete, 0), "delete");
    EXPECT_EQ(chordName(keys::kCommand, flags::kCommand), "command") << "a modifier key does not name itself twice";
    EXPECT_EQ(chordName(keys::kV, flags::kCommand | 0x100), "command+v") << "bits that are no modifier are ignored";
    std::string why;
    EXPECT_EQ(chordName(keys::kV, parseChord("command+shift+v", why)->modifiers()), "shift+command+v");
}

TEST(KeyChord, PostingHoldsTheModifiersAroundTheKeyAndReleasesThemInReverse) {
    std::string why;
    EXPECT_EQ(postedKeys(*parseChord("command+v", why)),
              (std::vector<ports::SyntheticKey>{{keys::kCommand, true, flags::kCommand},
                                                {keys::kV, true, flags::kCommand},
                                                {keys::kV, false, flags::kCommand},
                                                {keys::kCommand, false, 0}}));
    EXPECT_EQ(postedKeys(*parseChord("control+shift+s", why)),
              (std::vector<ports::SyntheticKey>{{keys::kControl, true, flags::kControl},
                                                {keys::kShift, true, flags::kControl | flags::kShift},
                                                {keys::kS, true, flags::kControl | flags::kShift},
                                                {keys::kS, false, flags::kControl | flags::kShift},
                                                {keys::kShift, false, flags::kControl},
                                                {keys::kControl, false, 0}}));
    EXPECT_EQ(postedKeys(*parseChord("delete", why)),
              (std::vector<ports::SyntheticKey>{{keys::kDelete, true, 0}, {keys::kDelete, false, 0}}));
}

TEST(KeyChord, TypingUsesKeysWhereTheKeyboardHasThemAndCommitsTheRest) {
    const auto pieces = planTyping("Hi 5!\nchào.ế");
    std::string keysTyped;
    std::vector<std::string> committed;
    for (const auto& piece : pieces) {
        if (piece.key) {
            keysTyped += piece.shift ? "^" : "";
            keysTyped += *piece.key == keys::kReturn ? std::string("⏎") : std::to_string(*piece.key) + ",";
        } else {
            committed.push_back(piece.committed);
        }
    }
    // H with Shift, i, space, 5, ! as Shift+1, return, c, h, o.
    EXPECT_EQ(keysTyped, "^4,34,49,23,^18,⏎8,4,31,");
    EXPECT_EQ(committed, (std::vector<std::string>{"à", ".ế"})) << "runs without keys stay whole";
    EXPECT_TRUE(planTyping("").empty());
}

}  // namespace
}  // namespace veska::scenario
