// The JSON preferences file against a real directory: round trips, atomic writes, file modes.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>

#include "platform/linux/JsonFilePreferences.h"
#include "support/TempDir.h"

namespace veska::platform {
namespace {

using Outcome = JsonFilePreferences::LoadOutcome;

class JsonFilePreferencesTest : public ::testing::Test {
protected:
    testing::TempDir dir;

    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    mode_t modeOf(const std::filesystem::path& path) const {
        struct stat info{};
        EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
        return info.st_mode & 07777;
    }
};

TEST_F(JsonFilePreferencesTest, ValuesSurviveANewInstanceWithTheirTypes) {
    {
        JsonFilePreferences prefs(dir.path());
        EXPECT_EQ(prefs.loadOutcome(), Outcome::missing);
        prefs.set("v2.autoFix", true);
        prefs.set("v2.ttsRate", 1.25);
        prefs.set("v2.writeMode", std::string("email"));
        prefs.set("v2.dictationOutput", std::string(""));
        prefs.set("number-like", std::string("3"));
        prefs.set("v2.ttsVoice", std::string("Tiếng Việt ⇄ 中文"));
        prefs.set("gone", 1.0);
        prefs.remove("gone");
    }
    JsonFilePreferences again(dir.path());
    EXPECT_EQ(again.loadOutcome(), Outcome::loaded);
    EXPECT_EQ(again.boolean("v2.autoFix"), true);
    EXPECT_EQ(again.number("v2.ttsRate"), 1.25);
    EXPECT_EQ(again.string("v2.writeMode"), "email");
    EXPECT_EQ(again.string("v2.dictationOutput"), "");
    EXPECT_EQ(again.string("number-like"), "3");
    EXPECT_EQ(again.number("number-like"), std::nullopt);
    EXPECT_EQ(again.string("v2.ttsVoice"), "Tiếng Việt ⇄ 中文");
    EXPECT_EQ(again.get("gone"), std::nullopt);
    EXPECT_EQ(again.get("never"), std::nullopt);
}

TEST_F(JsonFilePreferencesTest, LatestWriteWinsAndTypeCanChange) {
    JsonFilePreferences prefs(dir.path());
    prefs.set("k", std::string("a"));
    prefs.set("k", false);
    EXPECT_EQ(prefs.string("k"), std::nullopt);
    EXPECT_EQ(JsonFilePreferences(dir.path()).boolean("k"), false);
}

TEST_F(JsonFilePreferencesTest, WritesLeaveOnlyTheFileWithMode0600) {
    JsonFilePreferences prefs(dir.path());
    for (int i = 0; i < 50; ++i) prefs.set("key" + std::to_string(i % 7), static_cast<double>(i));
    EXPECT_EQ(entries(), std::vector<std::string>{"preferences.json"});
    EXPECT_EQ(modeOf(prefs.path()), 0600u);
}

TEST_F(JsonFilePreferencesTest, AnExistingLooserFileBecomes0600OnTheNextWrite) {
    dir.write("preferences.json", R"({"a": true})");
    ::chmod((dir.path() / "preferences.json").c_str(), 0644);
    JsonFilePreferences prefs(dir.path());
    EXPECT_EQ(prefs.boolean("a"), true);
    prefs.set("b", false);
    EXPECT_EQ(modeOf(prefs.path()), 0600u);
}

TEST_F(JsonFilePreferencesTest, MissingDirectoryIsCreatedPrivate) {
    std::filesystem::path nested = dir.path() / "home/.config/veska-voice";
    JsonFilePreferences prefs(nested);
    prefs.set("v2.openedOnce", true);
    EXPECT_TRUE(std::filesystem::exists(nested / "preferences.json"));
    EXPECT_EQ(modeOf(nested), 0700u);
}

TEST_F(JsonFilePreferencesTest, EntriesOfOtherShapesReadAsNothingAndAreKept) {
    dir.write("preferences.json", R"({"list": [1, 2], "obj": {"x": 1}, "nil": null, "int": 5})");
    JsonFilePreferences prefs(dir.path());
    EXPECT_EQ(prefs.loadOutcome(), Outcome::loaded);
    EXPECT_EQ(prefs.get("list"), std::nullopt);
    EXPECT_EQ(prefs.get("obj"), std::nullopt);
    EXPECT_EQ(prefs.get("nil"), std::nullopt);
    EXPECT_EQ(prefs.number("int"), 5.0);
    prefs.set("new", true);
    auto saved = nlohmann::json::parse(dir.read("preferences.json"));
    EXPECT_EQ(saved["list"], nlohmann::json::array({1, 2}));
    EXPECT_EQ(saved["obj"]["x"], 1);
}

TEST_F(JsonFilePreferencesTest, OddValuesKeepTheFileValid) {
    JsonFilePreferences prefs(dir.path());
    prefs.set("bad-utf8", std::string("a\xff\xfe"
                                      "b"));
    prefs.set("nan", std::nan(""));
    prefs.set("inf", HUGE_VAL);
    EXPECT_EQ(prefs.get("nan"), std::nullopt);
    EXPECT_EQ(prefs.get("inf"), std::nullopt);
    JsonFilePreferences again(dir.path());
    EXPECT_EQ(again.loadOutcome(), Outcome::loaded);
    ASSERT_TRUE(again.string("bad-utf8").has_value());
    EXPECT_EQ(again.string("bad-utf8")->front(), 'a');
    EXPECT_EQ(again.string("bad-utf8")->back(), 'b');
    EXPECT_EQ(again.get("nan"), std::nullopt);
}

TEST_F(JsonFilePreferencesTest, AFileThatCannotBeReadIsNeverReplaced) {
    // A directory in the file's place stands for any file that cannot be read.
    std::filesystem::create_directory(dir.path() / "preferences.json");
    JsonFilePreferences prefs(dir.path());
    EXPECT_EQ(prefs.loadOutcome(), Outcome::memoryOnly);
    prefs.set("k", true);
    EXPECT_EQ(prefs.boolean("k"), true);
    EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "preferences.json"));
    EXPECT_EQ(entries(), std::vector<std::string>{"preferences.json"});
}

}  // namespace
}  // namespace veska::platform
