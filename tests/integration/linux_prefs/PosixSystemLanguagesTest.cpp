// Preferred languages from the locale variables, and the interface language they lead to.
#include <gtest/gtest.h>

#include "core/ui/AppStrings.h"
#include "platform/linux/PosixSystemLanguages.h"
#include "platform/sim/SimEnvironment.h"

namespace veska::platform {
namespace {

using Vars = std::map<std::string, std::string>;

TEST(PosixSystemLanguages, LanguageListThenTheFirstLocaleVariable) {
    struct Row {
        const char* label;
        Vars variables;
        std::vector<std::string> expected;
    };
    const std::vector<Row> rows{
        {"nothing", {}, {}},
        {"LANGUAGE list", {{"LANGUAGE", "vi_VN:en_US"}, {"LANG", "fr_FR.UTF-8"}}, {"vi-VN", "en-US"}},
        {"empty LANGUAGE", {{"LANGUAGE", ""}, {"LANG", "en_GB.UTF-8"}}, {"en-GB"}},
        {"LANGUAGE of C only", {{"LANGUAGE", "C:POSIX"}, {"LANG", "vi_VN"}}, {"vi-VN"}},
        {"LANGUAGE empty entries", {{"LANGUAGE", "en::en_US:"}}, {"en", "en-US"}},
        {"LANGUAGE repeats", {{"LANGUAGE", "en:en:vi"}}, {"en", "vi"}},
        {"LC_ALL first", {{"LC_ALL", "vi_VN.UTF-8"}, {"LC_MESSAGES", "fr_FR"}, {"LANG", "en_US"}}, {"vi-VN"}},
        {"LC_MESSAGES next", {{"LC_MESSAGES", "fr_FR.UTF-8"}, {"LANG", "en_US.UTF-8"}}, {"fr-FR"}},
        {"LANG last", {{"LANG", "en_US.UTF-8"}}, {"en-US"}},
        {"C is ignored", {{"LC_ALL", "C"}, {"LANG", "en_US.UTF-8"}}, {"en-US"}},
        {"C.UTF-8 only", {{"LANG", "C.UTF-8"}}, {}},
        {"POSIX only", {{"LC_ALL", "POSIX"}}, {}},
        {"empty LC_ALL", {{"LC_ALL", ""}, {"LANG", "vi_VN.UTF-8"}}, {"vi-VN"}},
        {"modifier", {{"LANG", "sr_RS@latin"}}, {"sr-RS"}},
        {"codeset and modifier", {{"LANG", "ca_ES.UTF-8@valencia"}}, {"ca-ES"}},
    };
    for (const Row& row : rows) {
        sim::SimEnvironment env("/home/u", row.variables);
        PosixSystemLanguages languages(env);
        EXPECT_EQ(languages.preferredLanguages(), row.expected) << row.label;
    }
}

TEST(PosixSystemLanguages, EnglishLocaleGivesAnEnglishInterface) {
    sim::SimEnvironment env("/home/u", {{"LANG", "en_GB.UTF-8"}});
    PosixSystemLanguages languages(env);
    AppStrings::setLocale(std::nullopt, languages);
    EXPECT_EQ(AppStrings::locale(), AppStrings::Locale::en);
    env.setVariable("LANG", "vi_VN.UTF-8");
    AppStrings::setLocale(std::nullopt, languages);
    EXPECT_EQ(AppStrings::locale(), AppStrings::Locale::vi);
}

}  // namespace
}  // namespace veska::platform
