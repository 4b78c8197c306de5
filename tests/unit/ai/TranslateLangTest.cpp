// The language table, look-up by code and button labels.
#include <gtest/gtest.h>

#include "core/ai/TranslateLang.h"

namespace veska {
namespace {

TEST(TranslateLang, TableHasTheTwentyOneLanguagesInOrder) {
    const std::vector<TranslateLang> expected{
        {"vi", "Vietnamese", "Tiếng Việt"},
        {"en", "English", "English"},
        {"zh-Hans", "Simplified Chinese", "中文（简体）"},
        {"zh-Hant", "Traditional Chinese", "中文（繁體）"},
        {"ja", "Japanese", "日本語"},
        {"ko", "Korean", "한국어"},
        {"th", "Thai", "ไทย"},
        {"id", "Indonesian", "Bahasa Indonesia"},
        {"ms", "Malay", "Bahasa Melayu"},
        {"hi", "Hindi", "हिन्दी"},
        {"fr", "French", "Français"},
        {"de", "German", "Deutsch"},
        {"es", "Spanish", "Español"},
        {"pt", "Portuguese", "Português"},
        {"it", "Italian", "Italiano"},
        {"nl", "Dutch", "Nederlands"},
        {"pl", "Polish", "Polski"},
        {"ru", "Russian", "Русский"},
        {"uk", "Ukrainian", "Українська"},
        {"tr", "Turkish", "Türkçe"},
        {"ar", "Arabic", "العربية"},
    };
    auto all = TranslateLang::all();
    ASSERT_EQ(all.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(all[i], expected[i]) << i;
}

TEST(TranslateLang, SwapIsAPseudoLanguageOutsideTheTable) {
    const TranslateLang& swap = TranslateLang::swap();
    EXPECT_EQ(swap, (TranslateLang{"swap", "", "Việt ⇄ English"}));
    for (const TranslateLang& lang : TranslateLang::all()) EXPECT_NE(lang, swap);
}

TEST(TranslateLang, EqualityComparesAllThreeNames) {
    TranslateLang vi{"vi", "Vietnamese", "Tiếng Việt"};
    EXPECT_EQ(vi, (TranslateLang{"vi", "Vietnamese", "Tiếng Việt"}));
    EXPECT_NE(vi, (TranslateLang{"vi", "Vietnamese", "Tieng Viet"}));
    EXPECT_NE(vi, (TranslateLang{"vi", "vietnamese", "Tiếng Việt"}));
    EXPECT_NE(vi, (TranslateLang{"VI", "Vietnamese", "Tiếng Việt"}));
}

TEST(TranslateLang, FindByCode) {
    struct Row {
        std::optional<std::string> code;
        std::optional<std::string> expectedEnglish;
    };
    const std::vector<Row> rows{
        {std::nullopt, std::nullopt},
        {"", std::nullopt},
        {"zh-Hans", "Simplified Chinese"},
        {"zh-Hant", "Traditional Chinese"},
        {"vi", "Vietnamese"},
        {"ar", "Arabic"},
        {"zh", std::nullopt},
        {"ZH-HANS", std::nullopt},
        {"Vi", std::nullopt},
        {" vi", std::nullopt},
        {"vi ", std::nullopt},
        {"xx", std::nullopt},
        {"swap", ""},
        {"Swap", std::nullopt},
    };
    for (const Row& row : rows) {
        auto found = TranslateLang::find(row.code);
        SCOPED_TRACE(row.code.value_or("<none>"));
        ASSERT_EQ(found.has_value(), row.expectedEnglish.has_value());
        if (!found) continue;
        EXPECT_EQ(found->code, *row.code);
        EXPECT_EQ(found->english, *row.expectedEnglish);
    }
    EXPECT_EQ(TranslateLang::find("swap"), TranslateLang::swap());
}

TEST(TranslateLang, ChipIsTheUpperCasedCodeBeforeTheFirstDash) {
    struct Row {
        TranslateLang lang;
        std::string chip;
    };
    const std::vector<Row> rows{
        {TranslateLang::swap(), "VI⇄EN"},
        {*TranslateLang::find("vi"), "VI"},
        {*TranslateLang::find("en"), "EN"},
        {*TranslateLang::find("zh-Hans"), "ZH"},
        {*TranslateLang::find("zh-Hant"), "ZH"},
        {{"pt-BR-x", "Brazilian", "Brasil"}, "PT"},
        {{"-x", "", ""}, ""},
        {{"", "", ""}, ""},
    };
    for (const Row& row : rows) EXPECT_EQ(row.lang.chip(), row.chip) << row.lang.code;
}

}  // namespace
}  // namespace veska
