// Typed readers of the user defaults and their defaults.
#include <gtest/gtest.h>

#include "core/app/UserDefaults.h"
#include "platform/sim/SimPreferences.h"

namespace veska {
namespace {

using sim::SimPreferences;

TEST(UserDefaults, SttProviderIsChatGPTOnlyWhenStoredExactly) {
    struct Row {
        std::optional<ports::PrefValue> stored;
        std::string expected;
    };
    const std::vector<Row> rows{
        {std::nullopt, "claude_web"},
        {ports::PrefValue(std::string("chatgpt_web")), "chatgpt_web"},
        {ports::PrefValue(std::string("claude_web")), "claude_web"},
        {ports::PrefValue(std::string("ChatGPT_web")), "claude_web"},
        {ports::PrefValue(std::string("chatgpt")), "claude_web"},
        {ports::PrefValue(std::string("")), "claude_web"},
        {ports::PrefValue(true), "claude_web"},
    };
    for (const Row& row : rows) {
        SimPreferences prefs;
        if (row.stored) prefs.set("v2.sttProvider", *row.stored);
        EXPECT_EQ(UserDefaults::sttProvider(prefs), row.expected);
    }
    EXPECT_EQ(UserDefaults::normalizeSttProvider("chatgpt_web "), "claude_web");
}

TEST(UserDefaults, DictationOutputLooksUpTheStoredCode) {
    struct Row {
        std::optional<std::string> stored;
        std::optional<std::string> expectedCode;
    };
    const std::vector<Row> rows{
        {std::nullopt, std::nullopt}, {"", std::nullopt},     {"ja", "ja"}, {"swap", "swap"},
        {"zz", std::nullopt},         {"zh-Hant", "zh-Hant"},
    };
    for (const Row& row : rows) {
        SimPreferences prefs;
        if (row.stored) prefs.set("v2.dictationOutput", *row.stored);
        auto lang = UserDefaults::dictationOutput(prefs);
        EXPECT_EQ(lang ? std::optional(lang->code) : std::nullopt, row.expectedCode)
            << row.stored.value_or("<absent>");
        EXPECT_EQ(UserDefaults::dictationOutputCode(prefs), row.stored);
    }
}

TEST(UserDefaults, FlagsDefaultToFalseAndIgnoreOtherTypes) {
    using Reader = bool (*)(const ports::Preferences&);
    const std::vector<std::pair<const char*, Reader>> flags{
        {"v2.autoFix", UserDefaults::autoFix},
        {"v2.openedOnce", UserDefaults::openedOnce},
        {"v2.launchLoginPrimed", UserDefaults::launchLoginPrimed},
    };
    for (const auto& [key, read] : flags) {
        SimPreferences prefs;
        EXPECT_FALSE(read(prefs)) << key;
        prefs.set(key, std::string("true"));
        EXPECT_FALSE(read(prefs)) << key;
        prefs.set(key, true);
        EXPECT_TRUE(read(prefs)) << key;
    }
}

TEST(UserDefaults, OptionalValuesAreReadUnderTheirKeys) {
    SimPreferences prefs;
    EXPECT_EQ(UserDefaults::ttsRate(prefs), std::nullopt);
    EXPECT_EQ(UserDefaults::autoUpdate(prefs), std::nullopt);
    prefs.set("v2.ttsRate", 1.5);
    prefs.set("v2.autoUpdate", false);
    prefs.set("v2.ttsVoice", std::string("eve"));
    prefs.set("v2.translateTarget.auto", std::string("ja"));
    prefs.set("v2.updateNotified", std::string("2.1.0"));
    prefs.set("v2.dictationOutputLast", std::string("fr"));
    prefs.set("localCoreURL", std::string("http://127.0.0.1:8799"));
    EXPECT_EQ(UserDefaults::ttsRate(prefs), 1.5);
    EXPECT_EQ(UserDefaults::autoUpdate(prefs), false);
    EXPECT_EQ(UserDefaults::ttsVoice(prefs), "eve");
    EXPECT_EQ(UserDefaults::translateTargetAuto(prefs), "ja");
    EXPECT_EQ(UserDefaults::updateNotified(prefs), "2.1.0");
    EXPECT_EQ(UserDefaults::dictationOutputLast(prefs), "fr");
    EXPECT_EQ(UserDefaults::localCoreURL(prefs), "http://127.0.0.1:8799");
    EXPECT_STREQ(UserDefaults::kWriteMode, "v2.writeMode");
}

}  // namespace
}  // namespace veska
