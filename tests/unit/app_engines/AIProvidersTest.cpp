// The app's AI engines on the simulated APIs: the source read at each call, warm-ups only where
// a connection can be warmed, and the session of each source.
#include <gtest/gtest.h>

#include "core/ai/ApiTextSession.h"
#include "core/ai/GrokTextSession.h"
#include "core/ai/TranslateError.h"
#include "core/app/AIProviders.h"
#include "platform/sim/SimEnvironment.h"
#include "platform/sim/SimWebSocketClient.h"
#include "support/TempDir.h"
#include "unit/ai_engines/EngineRig.h"

namespace veska {
namespace {

struct AIProvidersTest : ::testing::Test {
    testing::TempDir home;
    sim::SimEnvironment env{home.path().string()};
    testing::EngineRig rig;
    sim::SimWebSocketClient sockets{rig.loop.lane("network")};
    int secretsAsked = 0;

    Translator::SessionPorts ports(bool withGrok) {
        Translator::SessionPorts out{.http = &rig.http,
                                     .env = &env,
                                     .endpoints = {testing::kGeminiOrigin, testing::kDeepseekOrigin},
                                     .health = &rig.health,
                                     .engines = nullptr};
        if (withGrok) {
            out.grok = {&sockets, "https://api.x.test", "https://console.x.test",
                        [this](std::string /*model*/) -> rt::Task<std::string> {
                            ++secretsAsked;
                            co_return "secret";
                        }};
        }
        return out;
    }

    void configure(const std::string& json, const std::string& envText = "") {
        home.write(".config/veska-voice/v2.json", json);
        home.write(".config/veska-voice/v2.env", envText);
    }

    /// The session for `task`, made on the main executor as the controller makes it; or the
    /// error it failed with.
    std::pair<std::unique_ptr<TextSession>, std::optional<TranslateError>> make(AIProviders& providers,
                                                                                AITask task) {
        std::unique_ptr<TextSession> session;
        std::optional<TranslateError> failure;
        rig.loop.main().post([&] {
            try {
                session = providers.makeSession(task);
            } catch (const TranslateError& error) {
                failure = error;
            }
        });
        rig.loop.runUntilIdle();
        return {std::move(session), failure};
    }
};

TEST_F(AIProvidersTest, SourceIsReadAgainAtEveryCall) {
    AIProviders providers(rig.loop.main(), ports(true));
    EXPECT_EQ(providers.source(AITask::translate), AISource::grok);
    EXPECT_EQ(providers.source(AITask::fix), AISource::grok);
    configure(R"({"ai": {"translate": "gemini", "write": "deepseek"}})");
    EXPECT_EQ(providers.source(AITask::translate), AISource::gemini);
    EXPECT_EQ(providers.source(AITask::write), AISource::deepseek);
    EXPECT_EQ(providers.source(AITask::fix), AISource::deepseek);
    configure(R"({"ai": {"translate": "chatgpt", "fix": "grok"}})");
    EXPECT_EQ(providers.source(AITask::translate), AISource::chatgpt);
    EXPECT_EQ(providers.source(AITask::write), AISource::grok);
    EXPECT_EQ(providers.source(AITask::fix), AISource::grok);
}

TEST_F(AIProvidersTest, WarmSendsOneHeadRequestToEachHttpSourceAndNothingElse) {
    rig.gemini.reply(ports::HttpMethod::head, "/", 404, "");
    rig.deepseek.reply(ports::HttpMethod::head, "/", 200, "");
    AIProviders providers(rig.loop.main(), ports(true));
    providers.warm(AISource::grok);
    providers.warm(AISource::chatgpt);
    EXPECT_EQ(providers.pendingWarmUps(), 0u);
    providers.warm(AISource::gemini);
    providers.warm(AISource::deepseek);
    rig.loop.runFor(10);
    ASSERT_EQ(rig.gemini.requests().size(), 1u);
    EXPECT_EQ(rig.gemini.requests()[0].method, ports::HttpMethod::head);
    ASSERT_EQ(rig.deepseek.requests().size(), 1u);
    EXPECT_EQ(rig.deepseek.requests()[0].method, ports::HttpMethod::head);
    EXPECT_EQ(providers.pendingWarmUps(), 0u);
    EXPECT_EQ(secretsAsked, 0);
}

TEST_F(AIProvidersTest, AWarmUpStillWaitingEndsWithTheProviders) {
    rig.gemini.route({ports::HttpMethod::head,
                      "/",
                      std::nullopt,
                      {sim::HttpBehaviour::failing(sim::HttpOpening::silence)}});
    {
        AIProviders providers(rig.loop.main(), ports(false));
        providers.warm(AISource::gemini);
        rig.loop.runFor(1);
        EXPECT_EQ(providers.pendingWarmUps(), 1u);
    }
    rig.loop.runFor(10);
    ASSERT_EQ(rig.gemini.requests().size(), 1u);
    EXPECT_EQ(rig.gemini.requests()[0].state, sim::HttpExchangeState::cancelled);
}

TEST_F(AIProvidersTest, EachSourceGetsItsSessionOrItsError) {
    struct Row {
        const char* json;
        const char* envText;
        bool withGrok;
        std::optional<TranslateError> error;
        std::optional<AISource> apiSource;  // an HTTP session of this source; none: the Grok session
    };
    const std::vector<Row> rows{
        {R"({})", "", true, std::nullopt, std::nullopt},
        {R"({})", "", false, TranslateError::failed(), std::nullopt},
        {R"({"ai": {"translate": "gemini"}})", "", true, TranslateError::noKey(AISource::gemini),
         std::nullopt},
        {R"({"ai": {"translate": "gemini"}})", "GEMINI_API_KEY=gk\n", true, std::nullopt, AISource::gemini},
        {R"({"ai": {"translate": "deepseek"}})", "GEMINI_API_KEY=gk\n", true,
         TranslateError::noKey(AISource::deepseek), std::nullopt},
        {R"({"ai": {"translate": "deepseek"}})", "DEEPSEEK_API_KEY='dk'\n", true, std::nullopt,
         AISource::deepseek},
        {R"({"ai": {"translate": "chatgpt"}})", "", true, TranslateError::failed(), std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.json) + " | " + row.envText + (row.withGrok ? " | grok" : ""));
        configure(row.json, row.envText);
        AIProviders providers(rig.loop.main(), ports(row.withGrok));
        auto [session, failure] = make(providers, AITask::translate);
        if (row.error) {
            EXPECT_EQ(failure, row.error);
            EXPECT_EQ(session, nullptr);
            continue;
        }
        ASSERT_NE(session, nullptr);
        if (row.apiSource) {
            auto* api = dynamic_cast<ApiTextSession*>(session.get());
            ASSERT_NE(api, nullptr);
            EXPECT_EQ(api->source(), *row.apiSource);
        } else {
            EXPECT_NE(dynamic_cast<GrokTextSession*>(session.get()), nullptr);
        }
        session->close();
    }
    // Making sessions sends nothing: keys are checked and connections opened only when used.
    EXPECT_TRUE(rig.gemini.requests().empty());
    EXPECT_TRUE(rig.deepseek.requests().empty());
    EXPECT_EQ(secretsAsked, 0);
}

}  // namespace
}  // namespace veska
