// Base URLs of the remote services and the names shown in messages: defaults and overrides.
#include <gtest/gtest.h>

#include <cctype>
#include <set>

#include "core/app/ServiceConfig.h"
#include "platform/sim/SimEnvironment.h"
#include "support/TempDir.h"

namespace veska {
namespace {

using sim::SimEnvironment;

constexpr std::array kServices{Service::claude,  Service::xaiConsole, Service::xaiAccounts, Service::xaiAPI,
                               Service::chatgpt, Service::gemini,     Service::deepseek,    Service::update};

TEST(ServiceConfig, DefaultsAreSecureBaseURLsAndTheDefaultNames) {
    ServiceConfig config = ServiceConfig::defaults();
    for (Service service : kServices) {
        const std::string& url = config.url(service);
        EXPECT_EQ(url.rfind("https://", 0), 0u) << url;
        EXPECT_NE(url.back(), '/') << url;
    }
    EXPECT_EQ(config.url(Service::claude), "https://claude.ai");
    EXPECT_EQ(config.url(Service::xaiAPI), "https://api.x.ai");
    EXPECT_TRUE(config.url(Service::update).ends_with(".invalid"));
    EXPECT_EQ(config.names.claudeDisplayName, "claude.ai");
    EXPECT_EQ(config.names.xaiDomain, "x.ai");
}

TEST(ServiceConfig, JsonKeyIsTheVariableInLowerCaseWithoutPrefix) {
    std::set<std::string_view> variables;
    for (Service service : kServices) {
        std::string_view variable = ServiceConfig::variable(service);
        ASSERT_EQ(variable.rfind("VESKA_", 0), 0u) << variable;
        std::string lower;
        for (char c : variable.substr(6)) lower += static_cast<char>(std::tolower(c));
        EXPECT_EQ(ServiceConfig::jsonKey(service), lower);
        variables.insert(variable);
    }
    EXPECT_EQ(variables.size(), kServices.size());
}

TEST(ServiceConfig, EachServiceIsOverriddenByItsOwnVariableAndKeyOnly) {
    for (Service service : kServices) {
        SimEnvironment env;
        env.setVariable(std::string(ServiceConfig::variable(service)), "http://127.0.0.1:1/");
        nlohmann::json file{{"services", {{ServiceConfig::jsonKey(service), "http://127.0.0.1:2//"}}}};
        ServiceConfig fromEnv = ServiceConfig::resolve(env, file.dump());
        ServiceConfig fromFile = ServiceConfig::resolve(SimEnvironment(), file.dump());
        for (Service other : kServices) {
            std::string expectedEnv =
                other == service ? "http://127.0.0.1:1" : ServiceConfig::defaults().url(other);
            std::string expectedFile =
                other == service ? "http://127.0.0.1:2" : ServiceConfig::defaults().url(other);
            EXPECT_EQ(fromEnv.url(other), expectedEnv);
            EXPECT_EQ(fromFile.url(other), expectedFile);
        }
    }
}

TEST(ServiceConfig, UnusableValuesKeepTheDefault) {
    struct Row {
        const char* label;
        std::optional<std::string> file;
        std::optional<std::string> variable;
    };
    const std::vector<Row> rows{
        {"no file", std::nullopt, std::nullopt},
        {"corrupt file", "{\"services\": {\"gemini_url\": \"http://x\"", std::nullopt},
        {"not an object", "[\"gemini_url\"]", std::nullopt},
        {"services not an object", "{\"services\": \"gemini_url\"}", std::nullopt},
        {"number", "{\"services\": {\"gemini_url\": 8080}}", std::nullopt},
        {"null", "{\"services\": {\"gemini_url\": null}}", std::nullopt},
        {"empty string", "{\"services\": {\"gemini_url\": \"\"}}", std::nullopt},
        {"only slashes", "{\"services\": {\"gemini_url\": \"///\"}}", std::nullopt},
        {"empty variable", std::nullopt, ""},
        {"slash variable", std::nullopt, "/"},
        {"invalid UTF-8", std::string("{\"services\": {\"gemini_url\": \"\xff\xfe\"}}"), std::nullopt},
    };
    for (const Row& row : rows) {
        SimEnvironment env;
        if (row.variable) env.setVariable("VESKA_GEMINI_URL", *row.variable);
        ServiceConfig config = ServiceConfig::resolve(env, row.file);
        EXPECT_EQ(config.url(Service::gemini), "https://generativelanguage.googleapis.com") << row.label;
        EXPECT_EQ(config.names, AppStrings::ServiceNames{}) << row.label;
    }
}

TEST(ServiceConfig, EnvironmentWinsOverTheFile) {
    SimEnvironment env;
    env.setVariable("VESKA_DEEPSEEK_URL", "http://127.0.0.1:7001");
    auto config = ServiceConfig::resolve(
        env, R"({"services": {"deepseek_url": "http://127.0.0.1:7002", "gemini_url": "http://g/"}})");
    EXPECT_EQ(config.url(Service::deepseek), "http://127.0.0.1:7001");
    EXPECT_EQ(config.url(Service::gemini), "http://g");
}

TEST(ServiceConfig, NamesComeFromTheServicesObject) {
    auto config = ServiceConfig::resolve(
        SimEnvironment(),
        R"({"ai": {"translate": "gemini"}, "services": {"claude_display_name": "Claude", "xai_domain": "grok.test"}})");
    EXPECT_EQ(config.names, (AppStrings::ServiceNames{"Claude", "grok.test"}));
}

TEST(ServiceConfig, LoadReadsV2JsonInTheConfigDirectory) {
    testing::TempDir home;
    SimEnvironment env(home.path().string());
    EXPECT_EQ(ServiceConfig::load(env).url(Service::chatgpt), "https://chatgpt.com");
    home.write(".config/veska-voice/v2.json", R"({"services": {"chatgpt_url": "http://127.0.0.1:5555/"}})");
    EXPECT_EQ(ServiceConfig::load(env).url(Service::chatgpt), "http://127.0.0.1:5555");
    home.write(".config/veska-voice/v2.json", std::string_view("\x00\x01 not json", 11));
    EXPECT_EQ(ServiceConfig::load(env).url(Service::chatgpt), "https://chatgpt.com");
}

TEST(ServiceConfig, WebSocketURLSwapsTheScheme) {
    const std::vector<std::pair<std::string, std::string>> rows{
        {"https://api.x.ai", "wss://api.x.ai"},
        {"http://127.0.0.1:8080/path?q=1", "ws://127.0.0.1:8080/path?q=1"},
        {"wss://already", "wss://already"},
        {"ftp://elsewhere", "ftp://elsewhere"},
        {"httpsx://odd", "httpsx://odd"},
        {"https:/broken", "https:/broken"},
        {"", ""},
    };
    for (const auto& [in, out] : rows) EXPECT_EQ(webSocketURL(in), out) << in;
}

TEST(ServiceConfig, JoinURLPutsExactlyOneSlashBetween) {
    const std::vector<std::tuple<std::string, std::string, std::string>> rows{
        {"https://g.test", "v1beta/models/", "https://g.test/v1beta/models/"},
        {"https://d.test/", "/chat/completions", "https://d.test/chat/completions"},
        {"https://d.test//", "//x", "https://d.test/x"},
        {"https://d.test", "", "https://d.test/"},
    };
    for (const auto& [base, path, out] : rows) EXPECT_EQ(joinURL(base, path), out) << base << path;
}

}  // namespace
}  // namespace veska
