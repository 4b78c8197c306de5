// The translation card's engine line: configured source, measured model and time.
#include <cmath>
#include <limits>
#include <stdexcept>

#include "AppStringsFixture.h"

namespace veska {
namespace {

using AppStrings::Locale;

class AppStringsEngine : public testing::AppStringsTest {};

TEST_F(AppStringsEngine, WithoutAProviderTheEngineIsGrok) {
    EXPECT_EQ(AppStrings::translateEngine(), "dịch bằng AI · Grok (x.ai)");
    useLocale(Locale::en);
    EXPECT_EQ(AppStrings::translateEngine(), "AI · Grok (x.ai)");
}

TEST_F(AppStringsEngine, GetterNamesTheConfiguredSource) {
    struct Row {
        AppStrings::TranslateEngineConfig config;
        std::string vi;
        std::string en;
    };
    const std::vector<Row> rows{
        {{AISource::grok, "unused"}, "dịch bằng AI · Grok (x.ai)", "AI · Grok (x.ai)"},
        {{AISource::gemini, "unused"}, "dịch bằng AI · Gemini API", "AI · Gemini API"},
        {{AISource::deepseek, "deepseek-v9"},
         "dịch bằng AI · DeepSeek API · deepseek-v9",
         "AI · DeepSeek API · deepseek-v9"},
        {{AISource::chatgpt, "unused"}, "dịch bằng AI · ChatGPT (web)", "AI · ChatGPT (web)"},
    };
    for (const Row& row : rows) {
        AppStrings::setTranslateEngineProvider([config = row.config] { return config; });
        useLocale(Locale::vi);
        EXPECT_EQ(AppStrings::translateEngine(), row.vi);
        useLocale(Locale::en);
        EXPECT_EQ(AppStrings::translateEngine(), row.en);
    }
}

TEST_F(AppStringsEngine, ProviderIsAskedAtEveryMessageSoChangesShowAtOnce) {
    int calls = 0;
    AISource source = AISource::gemini;
    AppStrings::setTranslateEngineProvider([&] {
        ++calls;
        return AppStrings::TranslateEngineConfig{source, "m"};
    });
    useLocale(Locale::en);
    EXPECT_EQ(AppStrings::popoverTranslateDetail(), "Double-tap Control · AI translation (Gemini API)");
    source = AISource::chatgpt;
    EXPECT_EQ(AppStrings::popoverTranslateDetail(), "Double-tap Control · AI translation (ChatGPT (web))");
    EXPECT_EQ(calls, 2);
}

TEST_F(AppStringsEngine, ThrowingOrEmptyProviderGivesTheDefault) {
    AppStrings::setTranslateEngineProvider(
        []() -> AppStrings::TranslateEngineConfig { throw std::runtime_error("config broken"); });
    EXPECT_EQ(AppStrings::translateEngine(), "dịch bằng AI · Grok (x.ai)");
    AppStrings::setTranslateEngineProvider({});
    EXPECT_EQ(AppStrings::translateEngine(), "dịch bằng AI · Grok (x.ai)");
}

TEST_F(AppStringsEngine, MeasuredLineUsesTheMessageNameAndADecimalCommaInVietnamese) {
    struct Row {
        AISource source;
        std::optional<std::string> model;
        double seconds;
        std::string vi;
        std::string en;
    };
    const std::vector<Row> rows{
        {AISource::gemini, "gemini-3.5-flash-lite", 1.3, "Gemini API · gemini-3.5-flash-lite · 1,3 s",
         "Gemini API · gemini-3.5-flash-lite · 1.3 s"},
        {AISource::deepseek, "deepseek-flash", 2.0, "DeepSeek API · deepseek-flash · 2,0 s",
         "DeepSeek API · deepseek-flash · 2.0 s"},
        {AISource::chatgpt, "gpt-web", 0.96, "ChatGPT · gpt-web · 1,0 s", "ChatGPT · gpt-web · 1.0 s"},
        {AISource::grok, "grok-voice", 12345.67, "Grok (x.ai) · grok-voice · 12345,7 s",
         "Grok (x.ai) · grok-voice · 12345.7 s"},
        {AISource::gemini, "g", 0.04, "Gemini API · g · 0,0 s", "Gemini API · g · 0.0 s"},
        {AISource::gemini, std::nullopt, 1.3, "dịch bằng AI · Grok (x.ai)", "AI · Grok (x.ai)"},
    };
    for (const Row& row : rows) {
        useLocale(Locale::vi);
        EXPECT_EQ(AppStrings::translateEngine(row.source, row.model, row.seconds), row.vi);
        useLocale(Locale::en);
        EXPECT_EQ(AppStrings::translateEngine(row.source, row.model, row.seconds), row.en);
    }
}

TEST_F(AppStringsEngine, OddSecondsNeverBreakTheLine) {
    for (double seconds : {std::numeric_limits<double>::infinity(), std::nan(""), -1.25, 1e300}) {
        std::string line = AppStrings::translateEngine(AISource::gemini, "m", seconds);
        EXPECT_EQ(line.rfind("Gemini API · m · ", 0), 0u) << line;
        EXPECT_EQ(line.substr(line.size() - 2), " s") << line;
    }
}

}  // namespace
}  // namespace veska
