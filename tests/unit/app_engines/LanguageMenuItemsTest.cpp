// The language pop-up's entries: which extra entries come first, the check mark, both languages.
#include <gtest/gtest.h>

#include "core/ui/AppStrings.h"
#include "core/ui/LanguageMenuItems.h"
#include "platform/sim/SimSystemLanguages.h"

namespace veska {
namespace {

void useLocale(const char* locale) {
    AppStrings::setLocale(nlohmann::json{{"locale", locale}}, sim::SimSystemLanguages({"en-US"}));
}

/// The titles, with "-" for a separator and "*" before the checked one.
std::vector<std::string> shape(const std::vector<LanguageMenuItem>& items) {
    std::vector<std::string> out;
    for (const auto& item : items)
        out.push_back(item.separator ? "-" : (item.checked ? "*" : "") + item.title);
    return out;
}

TEST(LanguageMenuItems, ExtraEntriesCheckMarkAndTheLanguagesAfterThem) {
    useLocale("en");
    const std::size_t languages = TranslateLang::all().size();
    const auto french = TranslateLang::find("fr");
    ASSERT_TRUE(french);
    struct Row {
        std::optional<TranslateLang> current;
        bool asSpoken;
        bool automatic;
        std::vector<std::string> head;  // the entries before the languages
        std::optional<std::string> checkedLanguage;
    };
    const std::vector<Row> rows{
        {std::nullopt,
         true,
         false,
         {"*As spoken", "Vietnamese ⇄ English (each to the other)", "-"},
         std::nullopt},
        {TranslateLang::swap(),
         true,
         false,
         {"As spoken", "*Vietnamese ⇄ English (each to the other)", "-"},
         std::nullopt},
        {TranslateLang::swap(),
         false,
         true,
         {"*Automatic: English → Vietnamese, Vietnamese → English", "-"},
         std::nullopt},
        {french, false, true, {"Automatic: English → Vietnamese, Vietnamese → English", "-"}, french->native},
        {french, false, false, {}, french->native},
        // Nothing chosen and no "as spoken" entry: nothing is checked.
        {std::nullopt, false, false, {}, std::nullopt},
    };
    for (const Row& row : rows) {
        const auto items = languageMenuItems(row.current, row.asSpoken, row.automatic);
        const auto titles = shape(items);
        ASSERT_EQ(titles.size(), row.head.size() + languages);
        EXPECT_EQ(
            std::vector<std::string>(titles.begin(), titles.begin() + static_cast<long>(row.head.size())),
            row.head);
        int checked = 0;
        for (std::size_t i = row.head.size(); i < items.size(); ++i) {
            EXPECT_FALSE(items[i].separator);
            EXPECT_EQ(items[i].value, TranslateLang::all()[i - row.head.size()]);
            if (items[i].checked) {
                ++checked;
                EXPECT_EQ(std::optional<std::string>(items[i].title), row.checkedLanguage);
            }
        }
        EXPECT_EQ(checked, row.checkedLanguage ? 1 : 0);
    }
}

TEST(LanguageMenuItems, AsSpokenPicksNothingAndThePairPicksSwap) {
    useLocale("vi");
    const auto items = languageMenuItems(std::nullopt, true, true);
    ASSERT_GE(items.size(), 5u);
    EXPECT_EQ(items[0].title, "Tự động: Anh → Việt, Việt → Anh");
    EXPECT_EQ(items[0].value, TranslateLang::swap());
    EXPECT_TRUE(items[1].separator);
    EXPECT_EQ(items[2].title, "Như lời nói");
    EXPECT_EQ(items[2].value, std::nullopt);
    EXPECT_EQ(items[3].value, TranslateLang::swap());
    EXPECT_EQ(items[3].title, "Việt ⇄ English (nói Việt ra Anh, nói Anh ra Việt)");
    EXPECT_TRUE(items[4].separator);
    useLocale("en");
}

}  // namespace
}  // namespace veska
