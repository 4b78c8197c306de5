// The Grok source end to end on the sims: the session factory, the account's secret, the socket.
#include "GrokAccountRig.h"
#include "core/ai/GrokTextSession.h"
#include "core/ai/MakeSession.h"
#include "core/ai/TranslateError.h"
#include "platform/sim/SimEnvironment.h"
#include "platform/sim/SimWebSocketClient.h"
#include "platform/sim/SimWebSocketServer.h"
#include "support/TempDir.h"

namespace veska::testing {
namespace {

using sim::WsBehaviour;
using sim::WsStep;

rt::Task<std::string> translateOnce(SessionFactory factory, std::string text) {
    std::unique_ptr<TextSession> session = factory(AITask::translate);
    co_await session->open("Translate.");
    std::string answer = co_await session->send(std::move(text), {});
    session->close();
    co_return answer;
}

class GrokTextThroughAccount : public GrokAccountTest {
protected:
    GrokTextThroughAccount() {
        sockets.attach(api);
        home.write(".config/veska-voice/v2.json", R"({"ai": {"translate": "grok"}})");
        ports.grok = {&sockets, "https://api.x.test", speaker->consoleOrigin(),
                      [this](std::string model) { return speaker->textSessionSecret(std::move(model)); }};
        api.endpoint({"/v1/realtime", "model=grok-voice-think-fast-2.0",
                      {WsBehaviour::accept({WsStep::text(0.1, R"({"type":"session.created"})")},
                                           {{"Xin", false,
                                             {WsStep::text(0.2, R"({"type":"response.function_call_arguments.done","call_id":"c1","arguments":"{\"text\":\"Hello\"}"})"),
                                              WsStep::text(0.1, R"({"type":"response.done"})")},
                                             false}})}});
    }

    std::string translate() { return loop.run(translateOnce(Translator::sessionFactory(ports), "Xin chào")); }

    TempDir home;
    sim::SimEnvironment env{home.path().string()};
    sim::SimWebSocketServer api{"wss://api.x.test"};
    sim::SimWebSocketClient sockets{loop.lane("network")};
    AIHealth health;
    Translator::SessionPorts ports{.http = &http, .env = &env, .endpoints = {}, .health = &health, .engines = nullptr};
};

TEST_F(GrokTextThroughAccount, TheAccountsSecretOpensTheSessionTheFactoryMade) {
    console.route(route(ports::HttpMethod::post, "/v1/realtime/client_secrets",
                        {sim::HttpBehaviour::reply(401, ""), sim::HttpBehaviour::reply(200, R"({"value":"sec-9"})")}));
    EXPECT_EQ(translate(), "Hello");
    ASSERT_EQ(api.connections().size(), 1u);
    EXPECT_EQ(api.connections()[0].offeredProtocols, std::vector<std::string>{"xai-client-secret.sec-9"});
    EXPECT_EQ(api.connections()[0].state, sim::WsConnectionState::closedByClient);
    EXPECT_EQ(console.requestsTo("/v1/realtime/client_secrets")[0].body,
              R"({"session":{"model":"grok-voice-think-fast-2.0"}})");
    EXPECT_EQ(tokenRequests(), 2u);
}

TEST_F(GrokTextThroughAccount, AccountFailuresBecomeTheTranslateErrorsOfTheSession) {
    struct Row {
        sim::HttpBehaviour secretAnswer;
        TranslateError expected;
    };
    const std::vector<Row> rows = {
        {sim::HttpBehaviour::reply(401, ""), TranslateError::signedOut()},
        {sim::HttpBehaviour::reply(429, ""), TranslateError::unreachable()},
        {sim::HttpBehaviour::failing(sim::HttpOpening::refuse), TranslateError::unreachable()},
    };
    for (const Row& row : rows) {
        console.route(route(ports::HttpMethod::post, "/v1/realtime/client_secrets", {row.secretAnswer}));
        std::optional<TranslateError> error;
        try {
            translate();
        } catch (const TranslateError& e) {
            error = e;
        }
        EXPECT_EQ(error, row.expected);
    }
    EXPECT_TRUE(api.connections().empty());
}

TEST_F(GrokTextThroughAccount, WithoutTheRealtimeLinkGrokCannotServe) {
    ports.grok = {};
    EXPECT_THROW(translate(), TranslateError);
}

}  // namespace
}  // namespace veska::testing
