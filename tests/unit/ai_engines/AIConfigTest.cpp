// The AI configuration: sources per action and models from v2.json, keys from v2.env.
#include <gtest/gtest.h>
#include <rapidcheck.h>
#include <rapidcheck/gtest.h>

#include "core/ai/AIConfig.h"
#include "platform/sim/SimEnvironment.h"
#include "support/TempDir.h"

namespace veska {
namespace {

struct SourcesRow {
    const char* name;
    std::optional<std::string> json;
    AISource translate;
    AISource write;
    AISource fix;
};

TEST(AIConfig, SourcesFallBackToGrokAndFixFollowsWrite) {
    const std::vector<SourcesRow> rows = {
        {"no file", std::nullopt, AISource::grok, AISource::grok, AISource::grok},
        {"not JSON", "{\"ai\": ", AISource::grok, AISource::grok, AISource::grok},
        {"not an object", "[1,2]", AISource::grok, AISource::grok, AISource::grok},
        {"ai not an object", R"({"ai": "gemini"})", AISource::grok, AISource::grok, AISource::grok},
        {"all named", R"({"ai": {"translate": "deepseek", "write": "chatgpt", "fix": "gemini"}})",
         AISource::deepseek, AISource::chatgpt, AISource::gemini},
        {"fix missing follows write", R"({"ai": {"write": "gemini"}})", AISource::grok, AISource::gemini,
         AISource::gemini},
        {"fix unknown follows write", R"({"ai": {"write": "gemini", "fix": "claude"}})", AISource::grok,
         AISource::gemini, AISource::gemini},
        {"fix not a string follows write", R"({"ai": {"write": "deepseek", "fix": 3}})", AISource::grok,
         AISource::deepseek, AISource::deepseek},
        {"unknown write is grok, fix follows it", R"({"ai": {"translate": "Gemini", "write": "x"}})",
         AISource::grok, AISource::grok, AISource::grok},
    };
    for (const SourcesRow& row : rows) {
        SCOPED_TRACE(row.name);
        AIConfig config = AIConfig::parse(row.json, std::nullopt);
        EXPECT_EQ(config.translate, row.translate);
        EXPECT_EQ(config.write, row.write);
        EXPECT_EQ(config.fix, row.fix);
        EXPECT_EQ(config.source(AITask::translate), row.translate);
        EXPECT_EQ(config.source(AITask::write), row.write);
        EXPECT_EQ(config.source(AITask::fix), row.fix);
    }
}

struct ModelsRow {
    const char* json;
    std::vector<std::string> gemini;
    std::string deepseek;
};

TEST(AIConfig, ModelsTakeTheirDefaultsUnlessWellFormed) {
    const std::vector<ModelsRow> rows = {
        {R"({})", {}, "deepseek-flash"},
        {R"({"ai": {}})", {}, "deepseek-flash"},
        {R"({"ai": {"gemini": {"models": ["a", "b"]}, "deepseek": {"model": "deepseek-chat"}}})",
         {"a", "b"},
         "deepseek-chat"},
        {R"({"ai": {"gemini": {"models": ["a", 2]}}})", {}, "deepseek-flash"},
        {R"({"ai": {"gemini": {"models": "a"}}})", {}, "deepseek-flash"},
        {R"({"ai": {"gemini": ["a"]}})", {}, "deepseek-flash"},
        {R"({"ai": {"gemini": {"models": []}}})", {}, "deepseek-flash"},
        {R"({"ai": {"deepseek": {"model": ""}}})", {}, "deepseek-flash"},
        {R"({"ai": {"deepseek": {"model": 7}}})", {}, "deepseek-flash"},
        {R"({"ai": {"deepseek": "deepseek-chat"}})", {}, "deepseek-flash"},
    };
    for (const ModelsRow& row : rows) {
        SCOPED_TRACE(row.json);
        AIConfig config = AIConfig::parse(std::string(row.json), std::nullopt);
        EXPECT_EQ(config.geminiModels, row.gemini);
        EXPECT_EQ(config.deepseekModel, row.deepseek);
    }
}

struct KeysRow {
    const char* name;
    std::string env;
    std::string gemini;
    std::string deepseek;
};

TEST(AIConfig, EnvLinesGiveTheKeys) {
    const std::vector<KeysRow> rows = {
        {"plain", "GEMINI_API_KEY=g1\nDEEPSEEK_API_KEY=d1\n", "g1", "d1"},
        {"spaces and double quotes", "  GEMINI_API_KEY = \"g 2\"  \n", "g 2", ""},
        {"single quotes", "DEEPSEEK_API_KEY='d2'", "", "d2"},
        {"one lone quote stays", "GEMINI_API_KEY=\"", "\"", ""},
        {"two quotes give empty", "GEMINI_API_KEY=\"\"", "", ""},
        {"mismatched quotes stay", "GEMINI_API_KEY=\"g3'", "\"g3'", ""},
        {"comment naming a key", "# GEMINI_API_KEY=secret\n\t#DEEPSEEK_API_KEY=x", "", ""},
        {"later line wins", "GEMINI_API_KEY=old\nGEMINI_API_KEY=new", "new", ""},
        {"no equals sign", "GEMINI_API_KEY\n", "", ""},
        {"value keeps later equals signs", "GEMINI_API_KEY=a=b==", "a=b==", ""},
        {"key is case sensitive", "gemini_api_key=g", "", ""},
        {"other keys ignored", "LOCAL_CORE_TOKEN=t\nGEMINI_API_KEY=g", "g", ""},
        {"CR LF lines", "GEMINI_API_KEY=g\r\nDEEPSEEK_API_KEY=d\r\n", "g", "d"},
        {"CR, VT and FF split lines", "GEMINI_API_KEY=g\rDEEPSEEK_API_KEY=d\vX=1\fY=2", "g", "d"},
        {"Unicode line separators",
         "GEMINI_API_KEY=g\xE2\x80\xA8"
         "DEEPSEEK_API_KEY=d\xC2\x85Z=1",
         "g", "d"},
        {"paragraph separator",
         "GEMINI_API_KEY=g\xE2\x80\xA9"
         "DEEPSEEK_API_KEY=d",
         "g", "d"},
        {"empty value", "GEMINI_API_KEY=", "", ""},
        {"quote with a combining mark is no pair", "GEMINI_API_KEY=\"\xCC\x81x\"", "\"\xCC\x81x\"", ""},
        {"not UTF-8: unreadable", "GEMINI_API_KEY=g\xFF\n", "", ""},
    };
    for (const KeysRow& row : rows) {
        SCOPED_TRACE(row.name);
        AIConfig config = AIConfig::parse(std::nullopt, row.env);
        EXPECT_EQ(config.geminiKey, row.gemini);
        EXPECT_EQ(config.deepseekKey, row.deepseek);
    }
}

TEST(AIConfig, EveryLoadReadsBothFilesAgain) {
    testing::TempDir home;
    sim::SimEnvironment env(home.path().string());
    EXPECT_EQ(AIConfig::load(env), AIConfig{});
    EXPECT_EQ(AIConfig::dir(env), home.path().string() + "/.config/veska-voice");

    home.write(".config/veska-voice/v2.json",
               R"({"ai": {"translate": "gemini", "gemini": {"models": ["m"]}}})");
    home.write(".config/veska-voice/v2.env", "GEMINI_API_KEY=k1\n");
    AIConfig first = AIConfig::load(env);
    EXPECT_EQ(first.translate, AISource::gemini);
    EXPECT_EQ(first.geminiModels, std::vector<std::string>{"m"});
    EXPECT_EQ(first.geminiKey, "k1");

    home.write(".config/veska-voice/v2.json", R"({"ai": {"translate": "deepseek"}})");
    home.write(".config/veska-voice/v2.env", "DEEPSEEK_API_KEY=k2\n");
    AIConfig second = AIConfig::load(env);
    EXPECT_EQ(second.translate, AISource::deepseek);
    EXPECT_TRUE(second.geminiModels.empty());
    EXPECT_EQ(second.geminiKey, "");
    EXPECT_EQ(second.deepseekKey, "k2");
}

}  // namespace
}  // namespace veska

namespace veska {
namespace {

// A key value as a user would write one: printable ASCII without quotes at its ends.
rc::Gen<std::string> keyValue() {
    return rc::gen::map(rc::gen::container<std::string>(rc::gen::inRange('!', '~')), [](std::string value) {
        while (!value.empty() && (value.front() == '"' || value.front() == '\'')) value.erase(0, 1);
        while (!value.empty() && (value.back() == '"' || value.back() == '\'')) value.pop_back();
        return value;
    });
}

RC_GTEST_PROP(AIConfigProperty, AKeyLineGivesItsValueWhateverTheBlanksAndQuotes, ()) {
    const std::string value = *keyValue();
    const std::string quote = *rc::gen::element<std::string>("", "\"", "'");
    const std::string before = *rc::gen::element<std::string>("", " ", "\t", " \t ");
    const std::string after = *rc::gen::element<std::string>("", " ", "\t\t");
    const std::string noise = *rc::gen::element<std::string>("", "# GEMINI_API_KEY=old\n", "OTHER=1\r\n");
    const std::string text =
        noise + before + "GEMINI_API_KEY" + after + "=" + before + quote + value + quote + after;
    AIConfig config = AIConfig::parse(std::nullopt, text);
    RC_ASSERT(config.geminiKey == value);
    RC_ASSERT(config.deepseekKey.empty());
}

RC_GTEST_PROP(AIConfigProperty, AnyBytesGiveAConfiguration,
              (const std::string& json, const std::string& env)) {
    AIConfig config = AIConfig::parse(json, env);
    RC_ASSERT(!config.deepseekModel.empty());
    // A key never spans lines.
    RC_ASSERT(config.geminiKey.find('\n') == std::string::npos);
    RC_ASSERT(config.deepseekKey.find('\r') == std::string::npos);
}

}  // namespace
}  // namespace veska
