// Choosing the session of an action: the configured source, its key and its models.
#include <gtest/gtest.h>

#include "core/ai/ApiTextSession.h"
#include "core/ai/MakeSession.h"
#include "core/ai/TranslateError.h"
#include "platform/sim/SimEnvironment.h"
#include "support/TempDir.h"
#include "unit/ai_engines/EngineRig.h"

namespace veska {
namespace {

struct MakeSessionTest : ::testing::Test {
    testing::TempDir home;
    sim::SimEnvironment env{home.path().string()};
    testing::EngineRig rig;
    Translator::SessionPorts ports{.http = &rig.http,
                                   .env = &env,
                                   .endpoints = {testing::kGeminiOrigin, testing::kDeepseekOrigin},
                                   .health = &rig.health,
                                   .engines = nullptr};

    void configure(const std::string& json, const std::string& envText) {
        home.write(".config/veska-voice/v2.json", json);
        home.write(".config/veska-voice/v2.env", envText);
    }

    static TranslateError failureOf(const std::function<void()>& make) {
        try {
            make();
        } catch (const TranslateError& error) {
            return error;
        }
        ADD_FAILURE() << "no TranslateError";
        return TranslateError::failed();
    }
};

TEST_F(MakeSessionTest, MissingKeyFailsBeforeAnyRequest) {
    configure(R"({"ai": {"translate": "gemini", "write": "deepseek"}})", "# no keys\n");
    EXPECT_EQ(failureOf([&] { (void)Translator::makeSession(AITask::translate, ports); }),
              TranslateError::noKey(AISource::gemini));
    EXPECT_EQ(failureOf([&] { (void)Translator::makeSession(AITask::write, ports); }),
              TranslateError::noKey(AISource::deepseek));
    EXPECT_EQ(failureOf([&] { (void)Translator::makeSession(AITask::fix, ports); }),
              TranslateError::noKey(AISource::deepseek));
    EXPECT_TRUE(rig.gemini.requests().empty());
    EXPECT_TRUE(rig.deepseek.requests().empty());
}

TEST_F(MakeSessionTest, GeminiWithoutModelsRacesTheBuiltInThree) {
    configure(R"({"ai": {"translate": "gemini"}})", "GEMINI_API_KEY=gk\n");
    std::unique_ptr<TextSession> session = Translator::makeSession(AITask::translate, ports);
    auto* api = dynamic_cast<ApiTextSession*>(session.get());
    ASSERT_NE(api, nullptr);
    EXPECT_EQ(api->source(), AISource::gemini);
    EXPECT_EQ(api->models(), (std::vector<std::string>{"gemini-3.5-flash-lite", "gemini-flash-lite-latest",
                                                       "gemma-4-26b-a4b-it"}));
    EXPECT_EQ(api->instructions(), "");
    EXPECT_DOUBLE_EQ(api->hedge(), 0.7);
    EXPECT_DOUBLE_EQ(api->age(), 0);
}

TEST_F(MakeSessionTest, ConfiguredModelsAndTheOneDeepseekModel) {
    configure(R"({"ai": {"translate": "gemini", "fix": "deepseek", "gemini": {"models": ["g-a", "g-b"]},
                         "deepseek": {"model": "ds-x"}}})",
              "GEMINI_API_KEY=gk\nDEEPSEEK_API_KEY=dk\n");
    auto translate = Translator::makeSession(AITask::translate, ports);
    auto fix = Translator::makeSession(AITask::fix, ports);
    EXPECT_EQ(dynamic_cast<ApiTextSession&>(*translate).models(), (std::vector<std::string>{"g-a", "g-b"}));
    auto& deepseek = dynamic_cast<ApiTextSession&>(*fix);
    EXPECT_EQ(deepseek.source(), AISource::deepseek);
    EXPECT_EQ(deepseek.models(), std::vector<std::string>{"ds-x"});
}

TEST_F(MakeSessionTest, FactoryReadsTheConfigurationForEverySession) {
    Translator::SessionPorts copy = ports;
    SessionFactory factory = Translator::sessionFactory(copy);
    configure(R"({"ai": {"write": "deepseek"}})", "");
    EXPECT_EQ(failureOf([&] { (void)factory(AITask::write); }), TranslateError::noKey(AISource::deepseek));
    configure(R"({"ai": {"write": "deepseek"}})", "DEEPSEEK_API_KEY=now\n");
    EXPECT_NE(dynamic_cast<ApiTextSession*>(factory(AITask::write).get()), nullptr);
}

TEST_F(MakeSessionTest, SessionsNotBuiltHereFail) {
    configure(R"({"ai": {"translate": "grok", "write": "chatgpt"}})", "GEMINI_API_KEY=gk\n");
    EXPECT_EQ(failureOf([&] { (void)Translator::makeSession(AITask::translate, ports); }).kind(),
              TranslateError::Kind::failed);
    EXPECT_EQ(failureOf([&] { (void)Translator::makeSession(AITask::write, ports); }).kind(),
              TranslateError::Kind::failed);
}

}  // namespace
}  // namespace veska
