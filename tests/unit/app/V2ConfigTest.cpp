// Local core address and token: environment, user defaults and the env file on disk.
#include <gtest/gtest.h>

#include "core/app/V2Config.h"
#include "platform/sim/SimEnvironment.h"
#include "platform/sim/SimPreferences.h"
#include "support/TempDir.h"

namespace veska {
namespace {

using sim::SimEnvironment;
using sim::SimPreferences;

TEST(V2Config, BaseURLFromEnvironmentThenUserDefaultThenDefault) {
    struct Row {
        const char* label;
        std::optional<std::string> variable;
        std::optional<ports::PrefValue> stored;
        std::string expected;
    };
    const std::vector<Row> rows{
        {"nothing", std::nullopt, std::nullopt, "http://127.0.0.1:8797"},
        {"user default", std::nullopt, ports::PrefValue(std::string("http://127.0.0.1:8801")),
         "http://127.0.0.1:8801"},
        {"environment wins", "http://127.0.0.1:9000", ports::PrefValue(std::string("http://127.0.0.1:8801")),
         "http://127.0.0.1:9000"},
        {"set but empty still counts", "", ports::PrefValue(std::string("http://x")), ""},
        {"user default of another type", std::nullopt, ports::PrefValue(8801.0), "http://127.0.0.1:8797"},
    };
    for (const Row& row : rows) {
        SimEnvironment env;
        if (row.variable) env.setVariable("VESKA_VOICE_LOCAL_URL", *row.variable);
        SimPreferences prefs;
        if (row.stored) prefs.set("localCoreURL", *row.stored);
        EXPECT_EQ(V2Config::baseURL(env, prefs), row.expected) << row.label;
    }
}

TEST(V2Config, ClientBaseURLDropsLeadingAndTrailingSlashes) {
    SimEnvironment env;
    SimPreferences prefs;
    env.setVariable("VESKA_VOICE_LOCAL_URL", "http://127.0.0.1:8797/");
    EXPECT_EQ(V2Config::clientBaseURL(env, prefs), "http://127.0.0.1:8797");
    const std::vector<std::pair<std::string, std::string>> rows{
        {"http://127.0.0.1:8797", "http://127.0.0.1:8797"},
        {"http://127.0.0.1:8797///", "http://127.0.0.1:8797"},
        {"/http://h/", "http://h"},
        {"http://h/base/", "http://h/base"},
        {"/", ""},
        {"", ""},
    };
    for (const auto& [url, expected] : rows) EXPECT_EQ(V2Config::trimSlashes(url), expected) << url;
}

TEST(V2Config, TokenLineRules) {
    const std::vector<std::pair<std::string, std::string>> rows{
        {"LOCAL_CORE_TOKEN=abc", "abc"},
        {"LOCAL_CORE_TOKEN=\"abc\"", "abc"},
        {"LOCAL_CORE_TOKEN='abc'", "abc"},
        {"LOCAL_CORE_TOKEN=\"'abc'\"\"", "abc"},
        {"LOCAL_CORE_TOKEN=\"ab'c\"", "ab'c"},
        {"   LOCAL_CORE_TOKEN=abc", "abc"},
        {"\t \tLOCAL_CORE_TOKEN=abc \t", "abc"},
        {"LOCAL_CORE_TOKEN= abc", " abc"},
        {"A=1\nLOCAL_CORE_TOKEN=first\nLOCAL_CORE_TOKEN=second", "first"},
        {"LOCAL_CORE_TOKEN=\nLOCAL_CORE_TOKEN=second", ""},
        {"\n\n\nLOCAL_CORE_TOKEN=x\n\n", "x"},
        {"GEMINI_API_KEY=k\n  \nLOCAL_CORE_TOKEN=after-blank", "after-blank"},
        {"LOCAL_CORE_TOKEN=abc\r", "abc\r"},
        {"LOCAL_CORE_TOKEN =abc", ""},
        {"# LOCAL_CORE_TOKEN=abc", ""},
        {"local_core_token=abc", ""},
        {"XLOCAL_CORE_TOKEN=abc", ""},
        {"LOCAL_CORE_TOKEN", ""},
        {"LOCAL_CORE_TOKEN=", ""},
        {"LOCAL_CORE_TOKEN=\"\"''", ""},
        {"LOCAL_CORE_TOKEN==abc=", "=abc="},
        {"", ""},
    };
    for (const auto& [text, expected] : rows) {
        EXPECT_EQ(V2Config::tokenFromEnvText(text), expected) << '"' << text << '"';
    }
}

class V2ConfigFiles : public ::testing::Test {
protected:
    testing::TempDir home;
    SimEnvironment env{home.path().string()};
    void writeEnv(std::string_view text) { home.write(".config/veska-voice/v2.env", text); }
};

TEST_F(V2ConfigFiles, EnvFileIsInTheConfigDirectory) {
    EXPECT_EQ(V2Config::envFilePath(env), home.path().string() + "/.config/veska-voice/v2.env");
    writeEnv("GEMINI_API_KEY=x\n  LOCAL_CORE_TOKEN='from-file'\n");
    EXPECT_EQ(V2Config::token(env), "from-file");
}

TEST_F(V2ConfigFiles, MissingOrUnreadableFileGivesAnEmptyToken) {
    EXPECT_EQ(V2Config::token(env), "");
    std::filesystem::create_directories(home.path() / ".config/veska-voice/v2.env");
    EXPECT_EQ(V2Config::token(env), "");
}

TEST_F(V2ConfigFiles, OversizedFileGivesAnEmptyToken) {
    writeEnv("LOCAL_CORE_TOKEN=big\n" + std::string(2 * 1024 * 1024, '#'));
    EXPECT_EQ(V2Config::token(env), "");
}

TEST_F(V2ConfigFiles, EnvironmentWinsUnlessEmpty) {
    writeEnv("LOCAL_CORE_TOKEN=from-file\n");
    env.setVariable("LOCAL_CORE_TOKEN", "from-env");
    EXPECT_EQ(V2Config::token(env), "from-env");
    env.setVariable("LOCAL_CORE_TOKEN", "");
    EXPECT_EQ(V2Config::token(env), "from-file");
    env.unsetVariable("LOCAL_CORE_TOKEN");
    EXPECT_EQ(V2Config::token(env), "from-file");
}

TEST_F(V2ConfigFiles, HomeWithTrailingSlashStillFindsTheFile) {
    writeEnv("LOCAL_CORE_TOKEN=t\n");
    env.setHomeDirectory(home.path().string() + "/");
    EXPECT_EQ(V2Config::token(env), "t");
}

}  // namespace
}  // namespace veska
