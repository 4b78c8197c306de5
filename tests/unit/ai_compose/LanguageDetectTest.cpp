// Language detection (by CLD2) and the default translation target.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "core/ai/Translator.h"
#include "platform/sim/SimPreferences.h"

namespace veska::Translator {
namespace {

std::string repeated(const std::string& piece, std::size_t times) {
    std::string out;
    for (std::size_t i = 0; i < times; ++i) out += piece;
    return out;
}

TEST(LanguageDetect, GivesTheTableCodeOfTheDominantLanguage) {
    struct Row {
        std::string text;
        std::optional<std::string> code;
    };
    const std::vector<Row> rows{
        {"Tôi muốn gửi báo cáo cho anh vào ngày mai", "vi"},
        {"Hôm nay trời đẹp quá", "vi"},
        {"Please send me the report tomorrow morning", "en"},
        {"今日は良い天気ですね。明日も晴れるでしょう。", "ja"},
        {"我们明天去北京开会，请准备好材料。", "zh-Hans"},
        {"我們明天去北京開會，請準備好資料。", "zh-Hant"},
        {"Bonjour, je voudrais réserver une table pour deux personnes ce soir.", "fr"},
        {"Guten Morgen, wie geht es Ihnen heute?", "de"},
        {"", std::nullopt},
        {"   \n ", std::nullopt},
        {"123 456 789", std::nullopt},
        {"!!! ... ???", std::nullopt},
    };
    for (const Row& row : rows) EXPECT_EQ(detect(row.text), row.code) << row.text;
}

TEST(LanguageDetect, LeansTowardsVietnameseAndEnglish) {
    // Vietnamese written without diacritics is too weak a signal for CLD2 alone; the lean
    // towards Vietnamese and English decides it.
    EXPECT_EQ(detect("ban an com chua"), std::optional<std::string>("vi"));
}

TEST(LanguageDetect, ReadsOnlyTheFirstTwoThousandCharacters) {
    const std::string english =
        "Please send me the report tomorrow morning, and call me if anything changes.";
    struct Row {
        const char* label;
        std::string text;
        std::optional<std::string> code;
    };
    const std::vector<Row> rows{
        // digits carry no language: what follows them decides, when it is within the limit
        {"English within the first 2000", repeated("1234 ", 380) + english, "en"},
        {"English after the first 2000", repeated("1234 ", 400) + english, std::nullopt},
        {"multi-byte characters count as one", repeated("１２３４ ", 380) + english, "en"},
        {"English first, Vietnamese after the limit",
         repeated(english + " ", 27) + repeated("Tôi muốn gửi báo cáo. ", 200), "en"},
    };
    for (const Row& row : rows) EXPECT_EQ(detect(row.text), row.code) << row.label;
}

TEST(LanguageDetect, DefaultTargetIsTheStoredLanguageOrSwap) {
    struct Row {
        const char* label;
        std::optional<ports::PrefValue> stored;
        TranslateLang expected;
    };
    const std::vector<Row> rows{
        {"absent", std::nullopt, TranslateLang::swap()},
        {"Japanese", ports::PrefValue(std::string("ja")), *TranslateLang::find("ja")},
        {"Simplified Chinese", ports::PrefValue(std::string("zh-Hans")), *TranslateLang::find("zh-Hans")},
        {"swap", ports::PrefValue(std::string("swap")), TranslateLang::swap()},
        {"unknown code", ports::PrefValue(std::string("xx")), TranslateLang::swap()},
        {"empty", ports::PrefValue(std::string()), TranslateLang::swap()},
        {"not a string", ports::PrefValue(true), TranslateLang::swap()},
    };
    for (const Row& row : rows) {
        sim::SimPreferences prefs;
        if (row.stored) prefs.set("v2.translateTarget.auto", *row.stored);
        EXPECT_EQ(defaultTarget(prefs), row.expected) << row.label;
    }
}

}  // namespace
}  // namespace veska::Translator
