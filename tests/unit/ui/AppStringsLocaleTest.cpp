// Choosing the interface language, and language names in it.
#include "AppStringsFixture.h"

namespace veska {
namespace {

using AppStrings::Locale;

class AppStringsLocale : public testing::AppStringsTest {};

TEST_F(AppStringsLocale, PreferencesDecideElseTheSystemsFirstLanguage) {
    struct Row {
        const char* label;
        std::optional<nlohmann::json> prefs;
        std::vector<std::string> system;
        Locale expected;
    };
    const std::vector<Row> rows{
        {"en on a Vietnamese system", nlohmann::json{{"locale", "en"}}, {"vi-VN"}, Locale::en},
        {"vi on an English system", nlohmann::json{{"locale", "vi"}}, {"en-US"}, Locale::vi},
        {"fr falls back to en-GB", nlohmann::json{{"locale", "fr"}}, {"en-GB"}, Locale::en},
        {"fr falls back to vi", nlohmann::json{{"locale", "fr"}}, {"vi-VN", "en"}, Locale::vi},
        {"no key, en-GB", nlohmann::json::object(), {"en-GB"}, Locale::en},
        {"no prefs, en", std::nullopt, {"en"}, Locale::en},
        {"no prefs, empty list", std::nullopt, {}, Locale::vi},
        {"no key, empty list", nlohmann::json{{"other", "en"}}, {}, Locale::vi},
        {"only the first language counts", std::nullopt, {"fr-FR", "en-US"}, Locale::vi},
        {"locale not a string", nlohmann::json{{"locale", 1}}, {"en-US"}, Locale::en},
        {"locale upper case", nlohmann::json{{"locale", "EN"}}, {"vi"}, Locale::vi},
        {"locale with region", nlohmann::json{{"locale", "en-US"}}, {"vi"}, Locale::vi},
        {"prefs not an object", nlohmann::json::array({"en"}), {"vi"}, Locale::vi},
        {"prefs null", nlohmann::json(), {"en-AU"}, Locale::en},
        {"system tag in upper case", std::nullopt, {"EN-US"}, Locale::vi},
    };
    for (const Row& row : rows) {
        // Start from the other language so that "left unchanged" cannot pass by accident.
        useLocale(row.expected == Locale::en ? Locale::vi : Locale::en);
        sim::SimSystemLanguages system(row.system);
        AppStrings::setLocale(row.prefs, system);
        EXPECT_EQ(AppStrings::locale(), row.expected) << row.label;
    }
}

TEST_F(AppStringsLocale, StartsInVietnamese) {
    EXPECT_EQ(AppStrings::locale(), Locale::vi);
    EXPECT_EQ(AppStrings::pick("vi text", "en text"), "vi text");
    useLocale(Locale::en);
    EXPECT_EQ(AppStrings::pick("vi text", "en text"), "en text");
}

TEST_F(AppStringsLocale, LanguageNamesComeFromTheSystemInTheInterfaceLanguage) {
    struct Row {
        Locale locale;
        TranslateLang lang;
        std::string expected;
    };
    const std::vector<Row> rows{
        {Locale::en, *TranslateLang::find("fr"), "French"},
        {Locale::en, *TranslateLang::find("vi"), "Vietnamese"},
        {Locale::en, *TranslateLang::find("zh-Hant"), "Chinese (Traditional)"},
        {Locale::vi, *TranslateLang::find("fr"), "Tiếng Pháp"},
        {Locale::vi, *TranslateLang::find("en"), "Tiếng Anh"},
        {Locale::vi, *TranslateLang::find("zh-Hans"), "Tiếng Trung (Giản thể)"},
        // No system name: the English name, first character upper-cased.
        {Locale::en, {"xx", "klingon", "tlhIngan"}, "Klingon"},
        {Locale::vi, {"xx", "élvish tongue", "-"}, "Élvish tongue"},
        {Locale::vi, {"", "empty code", "-"}, "Empty code"},
        {Locale::en, TranslateLang::swap(), ""},
    };
    for (const Row& row : rows) {
        useLocale(row.locale);
        EXPECT_EQ(AppStrings::languageName(row.lang), row.expected) << row.lang.code;
    }
}

TEST_F(AppStringsLocale, EveryTableLanguageHasANameInBothLanguages) {
    for (Locale locale : {Locale::vi, Locale::en}) {
        useLocale(locale);
        for (const TranslateLang& lang : TranslateLang::all()) {
            std::string name = AppStrings::languageName(lang);
            EXPECT_FALSE(name.empty()) << lang.code;
            EXPECT_NE(name, lang.code) << lang.code;
            EXPECT_FALSE(name[0] >= 'a' && name[0] <= 'z') << name;
        }
    }
}

}  // namespace
}  // namespace veska
