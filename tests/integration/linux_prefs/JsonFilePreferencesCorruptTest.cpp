// Corrupt preference files: kept aside under a fresh name, never overwritten, defaults returned.
#include <gtest/gtest.h>

#include "platform/linux/JsonFilePreferences.h"
#include "support/TempDir.h"

namespace veska::platform {
namespace {

using Outcome = JsonFilePreferences::LoadOutcome;

class CorruptPreferences : public ::testing::Test {
protected:
    testing::TempDir dir;
    bool exists(const char* name) const { return std::filesystem::exists(dir.path() / name); }
};

TEST_F(CorruptPreferences, EveryKindOfBadContentIsSetAside) {
    const std::vector<std::pair<const char*, std::string>> rows{
        {"empty", ""},
        {"truncated", R"({"v2.autoFix": tr)"},
        {"array", "[1, 2]"},
        {"number", "42"},
        {"string", "\"prefs\""},
        {"null", "null"},
        {"trailing garbage", "{} {}"},
        {"invalid UTF-8", "{\"k\": \"\xff\"}"},
        {"binary", std::string("\x00\x01\x02", 3)},
    };
    for (const auto& [label, content] : rows) {
        testing::TempDir fresh;
        fresh.write("preferences.json", content);
        JsonFilePreferences prefs(fresh.path());
        EXPECT_EQ(prefs.loadOutcome(), Outcome::setAside) << label;
        EXPECT_EQ(prefs.get("k"), std::nullopt) << label;
        EXPECT_EQ(fresh.read("preferences.json.corrupt-1"), content) << label;
        EXPECT_FALSE(std::filesystem::exists(fresh.path() / "preferences.json")) << label;
    }
}

TEST_F(CorruptPreferences, AnEmptyObjectIsNotCorrupt) {
    dir.write("preferences.json", "{}");
    JsonFilePreferences prefs(dir.path());
    EXPECT_EQ(prefs.loadOutcome(), Outcome::loaded);
    EXPECT_FALSE(exists("preferences.json.corrupt-1"));
}

TEST_F(CorruptPreferences, DefaultsAreWrittenToAFreshFileAfterwards) {
    dir.write("preferences.json", "{oops");
    {
        JsonFilePreferences prefs(dir.path());
        EXPECT_EQ(prefs.setAsidePath(), dir.path() / "preferences.json.corrupt-1");
        prefs.set("v2.autoFix", true);
    }
    JsonFilePreferences again(dir.path());
    EXPECT_EQ(again.loadOutcome(), Outcome::loaded);
    EXPECT_EQ(again.boolean("v2.autoFix"), true);
    EXPECT_EQ(dir.read("preferences.json.corrupt-1"), "{oops");
}

TEST_F(CorruptPreferences, TwoCorruptionsKeepTwoFiles) {
    dir.write("preferences.json", "first broken");
    JsonFilePreferences(dir.path()).set("k", 1.0);
    dir.write("preferences.json", "second broken");
    JsonFilePreferences second(dir.path());
    EXPECT_EQ(second.setAsidePath(), dir.path() / "preferences.json.corrupt-2");
    EXPECT_EQ(dir.read("preferences.json.corrupt-1"), "first broken");
    EXPECT_EQ(dir.read("preferences.json.corrupt-2"), "second broken");
    EXPECT_EQ(second.get("k"), std::nullopt);
}

TEST_F(CorruptPreferences, AnEarlierSetAsideNameIsSkippedNotOverwritten) {
    dir.write("preferences.json.corrupt-1", "older");
    dir.write("preferences.json.corrupt-2", "oldest");
    dir.write("preferences.json", "[broken");
    JsonFilePreferences prefs(dir.path());
    EXPECT_EQ(prefs.setAsidePath(), dir.path() / "preferences.json.corrupt-3");
    EXPECT_EQ(dir.read("preferences.json.corrupt-1"), "older");
    EXPECT_EQ(dir.read("preferences.json.corrupt-2"), "oldest");
    EXPECT_EQ(dir.read("preferences.json.corrupt-3"), "[broken");
}

TEST_F(CorruptPreferences, AnOversizedFileIsSetAside) {
    std::string huge = "{\"k\": \"" + std::string(JsonFilePreferences::kMaxFileBytes, 'x') + "\"}";
    dir.write("preferences.json", huge);
    JsonFilePreferences prefs(dir.path());
    EXPECT_EQ(prefs.loadOutcome(), Outcome::setAside);
    EXPECT_EQ(prefs.get("k"), std::nullopt);
    EXPECT_EQ(std::filesystem::file_size(dir.path() / "preferences.json.corrupt-1"), huge.size());
}

}  // namespace
}  // namespace veska::platform
