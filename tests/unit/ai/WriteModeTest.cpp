// Stored names, persistence and the ⌃⌥M cycle of the writing mode.
#include <gtest/gtest.h>

#include "core/ai/WriteMode.h"
#include "platform/sim/SimPreferences.h"

namespace veska::Translator {
namespace {

TEST(WriteMode, ParseKnowsTheThreeNamesAndReadsAnythingElseAsNormal) {
    const std::vector<std::pair<std::string, WriteMode>> rows{
        {"normal", WriteMode::normal},  {"prompt", WriteMode::prompt}, {"email", WriteMode::email},
        {"Email", WriteMode::normal},   {"", WriteMode::normal},       {"emails", WriteMode::normal},
        {" prompt", WriteMode::normal}, {"PROMPT", WriteMode::normal},
    };
    for (const auto& [raw, mode] : rows) EXPECT_EQ(parseWriteMode(raw), mode) << raw;
}

TEST(WriteMode, NextCyclesAndWrapsFromEmailToNormal) {
    EXPECT_EQ(next(WriteMode::normal), WriteMode::prompt);
    EXPECT_EQ(next(WriteMode::prompt), WriteMode::email);
    EXPECT_EQ(next(WriteMode::email), WriteMode::normal);
}

TEST(WriteMode, CurrentReadsTheStoredName) {
    struct Row {
        const char* label;
        std::optional<ports::PrefValue> stored;
        WriteMode expected;
    };
    const std::vector<Row> rows{
        {"absent", std::nullopt, WriteMode::normal},
        {"prompt", ports::PrefValue(std::string("prompt")), WriteMode::prompt},
        {"email", ports::PrefValue(std::string("email")), WriteMode::email},
        {"unknown name", ports::PrefValue(std::string("poem")), WriteMode::normal},
        {"not a string", ports::PrefValue(true), WriteMode::normal},
        {"a number", ports::PrefValue(2.0), WriteMode::normal},
    };
    for (const Row& row : rows) {
        sim::SimPreferences prefs;
        if (row.stored) prefs.set("v2.writeMode", *row.stored);
        EXPECT_EQ(current(prefs), row.expected) << row.label;
    }
}

TEST(WriteMode, SetCurrentStoresTheRawNameAndReadsBack) {
    sim::SimPreferences prefs;
    for (WriteMode mode : {WriteMode::email, WriteMode::prompt, WriteMode::normal}) {
        setCurrent(prefs, mode);
        EXPECT_EQ(prefs.string("v2.writeMode"), std::string(rawValue(mode)));
        EXPECT_EQ(current(prefs), mode);
    }
    EXPECT_EQ(prefs.values().size(), 1u);
}

}  // namespace
}  // namespace veska::Translator
