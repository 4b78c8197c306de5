// Streaming requests on the simulated APIs: request shapes, event reading, error bodies,
// thinking retries, transport failures and warming.
#include <gtest/gtest.h>

#include "core/ai/AIHTTP.h"
#include "runtime/Spawn.h"
#include "unit/ai_engines/EngineRig.h"

namespace veska {
namespace {

using nlohmann::json;
using testing::EngineRig;

struct AIHTTPTest : ::testing::Test {
    EngineRig rig;
    std::vector<std::string> pieces;

    AIHTTP::OnPiece record() {
        return [this](const std::string& piece) { pieces.push_back(piece); };
    }
    rt::Task<void> stream(AISource source, std::string model, std::string text = "xin chào") {
        return AIHTTP::stream(rig.link(), source, std::move(model), "secret-key", "translate",
                              std::move(text), record());
    }
    /// The error `stream` ends with; fails the test when it succeeds.
    AIError failure(AISource source, std::string model) {
        try {
            rig.loop.run(stream(source, std::move(model)));
        } catch (const AIError& error) {
            return error;
        }
        ADD_FAILURE() << "the stream succeeded";
        return AIError::empty();
    }
    static json bodyOf(const sim::RecordedHttpRequest& request) { return json::parse(request.body); }
};

TEST_F(AIHTTPTest, GeminiRequestShape) {
    rig.routeGemini("gemini-3.5-flash-lite", {testing::geminiStream({"Xin", " chào"})});
    rig.loop.run(stream(AISource::gemini, "gemini-3.5-flash-lite", "hello"));
    EXPECT_EQ(pieces, (std::vector<std::string>{"Xin", " chào"}));
    ASSERT_EQ(rig.gemini.requests().size(), 1u);
    const auto& request = rig.gemini.requests()[0];
    EXPECT_EQ(request.method, ports::HttpMethod::post);
    EXPECT_EQ(request.url,
              "https://gemini.test/v1beta/models/gemini-3.5-flash-lite:streamGenerateContent?alt=sse");
    EXPECT_EQ(request.headers.value("x-goog-api-key"), "secret-key");
    EXPECT_EQ(request.headers.value("Content-Type"), "application/json");
    EXPECT_FALSE(request.headers.contains("Authorization"));
    json expected = {
        {"systemInstruction", {{"parts", {{{"text", "translate"}}}}}},
        {"contents", {{{"role", "user"}, {"parts", {{{"text", "hello"}}}}}}},
        {"generationConfig", {{"temperature", 0.2}, {"thinkingConfig", {{"thinkingLevel", "minimal"}}}}},
    };
    EXPECT_EQ(bodyOf(request), expected);
    EXPECT_EQ(rig.health.thinkingVariant("gemini-3.5-flash-lite"), 0);
}

TEST_F(AIHTTPTest, GeminiThinkingVariants) {
    struct Row {
        std::string model;
        int variant;
        std::optional<json> config;
    };
    const std::vector<Row> rows = {
        {"gemini-2.5-flash-lite", 0, json{{"thinkingBudget", 0}}},
        {"gemini-2.5-flash-lite", 1, json{{"thinkingLevel", "minimal"}}},
        {"gemini-2.5-flash-lite", 2, std::nullopt},
        {"gemini-3.5-flash-lite", 0, json{{"thinkingLevel", "minimal"}}},
        {"gemini-3.5-flash-lite", 1, json{{"thinkingBudget", 0}}},
        {"gemini-3.5-flash-lite", 2, std::nullopt},
        {"gemma-4-26b-a4b-it", 7, std::nullopt},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(AIHTTP::geminiThinking(row.model, row.variant), row.config)
            << row.model << " " << row.variant;
    }
}

TEST_F(AIHTTPTest, GeminiModelNameIsPercentEncodedInThePath) {
    EXPECT_EQ(AIHTTP::geminiURL("https://g.test/", "a b/ü:x"),
              "https://g.test/v1beta/models/a%20b/%C3%BC:x:streamGenerateContent?alt=sse");
    EXPECT_EQ(AIHTTP::geminiURL("https://g.test/api", "m?#%"),
              "https://g.test/api/v1beta/models/m%3F%23%25:streamGenerateContent?alt=sse");
}

TEST_F(AIHTTPTest, GeminiThoughtPartsNeverReachTheCallback) {
    json event = {{"candidates",
                   {{{"content",
                      {{"parts",
                        {{{"text", "thinking hard"}, {"thought", true}},
                         {{"text", "A"}},
                         {{"text", "B"}, {"thought", false}},
                         {{"inlineData", "x"}},
                         "odd",
                         {{"text", 5}}}}}}}}}};
    json thoughtsOnly = {
        {"candidates", {{{"content", {{"parts", {{{"text", "hmm"}, {"thought", true}}}}}}}}}};
    EXPECT_EQ(AIHTTP::geminiText(event), "AB");
    EXPECT_EQ(AIHTTP::geminiText(thoughtsOnly), "");
    EXPECT_EQ(AIHTTP::geminiText(json{{"candidates", json::array()}}), "");
    EXPECT_EQ(AIHTTP::geminiText(json{{"candidates", {{{"content", "x"}}}}}), "");
    EXPECT_EQ(AIHTTP::geminiText(json{{"usageMetadata", {{"totalTokenCount", 3}}}}), "");

    rig.routeGemini("m", {sim::HttpBehaviour::stream(200, {{0.1, "data: " + thoughtsOnly.dump() + "\n\n"},
                                                           {0.1, "data: " + event.dump() + "\n\n"}})});
    rig.loop.run(stream(AISource::gemini, "m"));
    EXPECT_EQ(pieces, std::vector<std::string>{"AB"});
}

TEST_F(AIHTTPTest, RejectedThinkingIsRetriedWithTheNextVariantAndRemembered) {
    rig.routeGemini(
        "gemini-3.5-flash-lite",
        {testing::errorReply(400, "Thinking level is not supported for this model."),
         testing::errorReply(400, "thinking_budget is not supported"), testing::geminiStream({"ok"})});
    rig.loop.run(stream(AISource::gemini, "gemini-3.5-flash-lite"));
    EXPECT_EQ(pieces, std::vector<std::string>{"ok"});
    const auto& requests = rig.gemini.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(bodyOf(requests[0])["generationConfig"]["thinkingConfig"],
              json({{"thinkingLevel", "minimal"}}));
    EXPECT_EQ(bodyOf(requests[1])["generationConfig"]["thinkingConfig"], json({{"thinkingBudget", 0}}));
    EXPECT_FALSE(bodyOf(requests[2])["generationConfig"].contains("thinkingConfig"));
    EXPECT_EQ(bodyOf(requests[2])["generationConfig"]["temperature"], 0.2);
    EXPECT_EQ(rig.health.thinkingVariant("gemini-3.5-flash-lite"), 2);

    // The remembered variant is used at once, and a rejection of it is not retried.
    rig.routeGemini("gemini-3.5-flash-lite", {testing::errorReply(400, "THINKING rejected")});
    rig.gemini.clearRequests();
    EXPECT_EQ(failure(AISource::gemini, "gemini-3.5-flash-lite"), AIError::http(400, "THINKING rejected"));
    ASSERT_EQ(rig.gemini.requests().size(), 1u);
    EXPECT_FALSE(bodyOf(rig.gemini.requests()[0])["generationConfig"].contains("thinkingConfig"));
}

TEST_F(AIHTTPTest, ThinkingRetriesStopAfterTheLastVariantAndOnOtherErrors) {
    rig.routeGemini("a", {testing::errorReply(400, "thinking")});
    EXPECT_EQ(failure(AISource::gemini, "a"), AIError::http(400, "thinking"));
    EXPECT_EQ(rig.gemini.requestsTo(EngineRig::geminiPath("a")).size(), 3u);
    EXPECT_EQ(rig.health.thinkingVariant("a"), std::nullopt);

    rig.routeGemini("b", {testing::errorReply(400, "API key not valid")});
    EXPECT_EQ(failure(AISource::gemini, "b"), AIError::http(400, "API key not valid"));
    rig.routeGemini("c", {testing::errorReply(500, "thinking overloaded")});
    EXPECT_EQ(failure(AISource::gemini, "c"), AIError::http(500, "thinking overloaded"));
    EXPECT_EQ(rig.gemini.requestsTo(EngineRig::geminiPath("b")).size(), 1u);
    EXPECT_EQ(rig.gemini.requestsTo(EngineRig::geminiPath("c")).size(), 1u);
}

TEST_F(AIHTTPTest, DeepseekRequestShape) {
    rig.routeDeepseek({testing::deepseekStream({"Hi", "", " there"})});
    rig.loop.run(stream(AISource::deepseek, "deepseek-flash", "hello"));
    EXPECT_EQ(pieces, (std::vector<std::string>{"Hi", " there"}));
    ASSERT_EQ(rig.deepseek.requests().size(), 1u);
    const auto& request = rig.deepseek.requests()[0];
    EXPECT_EQ(request.url, "https://deepseek.test/chat/completions");
    EXPECT_EQ(request.headers.value("Authorization"), "Bearer secret-key");
    EXPECT_EQ(request.headers.value("Content-Type"), "application/json");
    json expected = {
        {"model", "deepseek-flash"},
        {"stream", true},
        {"temperature", 0.2},
        {"messages",
         {{{"role", "system"}, {"content", "translate"}}, {{"role", "user"}, {"content", "hello"}}}},
        {"thinking", {{"type", "disabled"}}}};
    EXPECT_EQ(bodyOf(request), expected);
}

TEST_F(AIHTTPTest, DeepseekRetriesOnceWithoutThinking) {
    rig.routeDeepseek({testing::errorReply(400, "Unknown field: Thinking"), testing::deepseekStream({"ok"})});
    rig.loop.run(stream(AISource::deepseek, "deepseek-flash"));
    EXPECT_EQ(pieces, std::vector<std::string>{"ok"});
    ASSERT_EQ(rig.deepseek.requests().size(), 2u);
    json second = bodyOf(rig.deepseek.requests()[1]);
    EXPECT_FALSE(second.contains("thinking"));
    json first = bodyOf(rig.deepseek.requests()[0]);
    first.erase("thinking");
    EXPECT_EQ(first, second);

    // Exactly one retry, whatever the second answer says.
    rig.deepseek.clearRequests();
    rig.routeDeepseek({testing::errorReply(400, "thinking"), testing::errorReply(400, "thinking again")});
    EXPECT_EQ(failure(AISource::deepseek, "deepseek-flash"), AIError::http(400, "thinking again"));
    EXPECT_EQ(rig.deepseek.requests().size(), 2u);

    rig.deepseek.clearRequests();
    rig.routeDeepseek({testing::errorReply(429, "thinking rate")});
    EXPECT_EQ(failure(AISource::deepseek, "deepseek-flash"), AIError::http(429, "thinking rate"));
    EXPECT_EQ(rig.deepseek.requests().size(), 1u);
}

TEST_F(AIHTTPTest, EventStreamEndsAtDoneAndSkipsWhatIsNotAnObject) {
    std::string body =
        ": ping\n"
        "event: message\n"
        "data: {not json}\n"
        "data: [\"array\"]\n" +
        testing::deepseekEvent("a") + "data:" + json{{"choices", {{{"delta", {{"content", "b"}}}}}}}.dump() +
        "\r\n"
        "data: [DONE]\n" +
        testing::deepseekEvent("after the end");
    sim::HttpBehaviour behaviour = sim::HttpBehaviour::stream(200, {{0.1, body}});
    // The connection stays open after the end mark: the run must not wait for it.
    behaviour.ending = sim::HttpEnding::hang;
    rig.routeDeepseek({behaviour});
    rig.loop.run(stream(AISource::deepseek, "m"), 5);
    EXPECT_EQ(pieces, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(rig.deepseek.requests()[0].state, sim::HttpExchangeState::cancelled);
}

TEST_F(AIHTTPTest, TheEndOfTheBodyEndsTheRun) {
    rig.routeGemini("m", {testing::geminiStream({"one", "two"})});
    rig.loop.run(stream(AISource::gemini, "m"));
    EXPECT_EQ(pieces, (std::vector<std::string>{"one", "two"}));
}

TEST_F(AIHTTPTest, ErrorMessagesComeFromTheJsonErrorOrTheRawBody) {
    struct Row {
        std::string body;
        std::string message;
    };
    const std::vector<Row> rows = {
        {R"({"error": {"code": 500, "message": "overloaded"}})", "overloaded"},
        {R"({"error": {"message": ""}})", ""},
        {R"({"error": {"message": 5}})", R"({"error": {"message": 5}})"},
        {R"({"error": "overloaded"})", R"({"error": "overloaded"})"},
        {R"([{"error": {"message": "x"}}])", R"([{"error": {"message": "x"}}])"},
        {"Bad Gateway", "Bad Gateway"},
        {"", ""},
    };
    for (const Row& row : rows) EXPECT_EQ(AIHTTP::errorMessage(row.body), row.message) << row.body;

    rig.routeGemini("m", {sim::HttpBehaviour::reply(503, "")});
    EXPECT_EQ(failure(AISource::gemini, "m"), AIError::http(503, ""));
    // Lines of an error body are joined without their separators.
    rig.routeGemini("m", {sim::HttpBehaviour::reply(502, "{\"error\":\n{\"message\":\r\n\"down\"}}\n")});
    EXPECT_EQ(failure(AISource::gemini, "m"), AIError::http(502, "down"));
}

TEST_F(AIHTTPTest, LongErrorBodiesAreReadOnlySoFarAndTheMessageIsCut) {
    // 100 lines of 100 characters, each of two bytes: reading stops after 41 lines.
    std::string line;
    for (int i = 0; i < 100; ++i) line += "ệ";
    std::vector<sim::HttpPiece> pieces;
    for (int i = 0; i < 100; ++i) pieces.push_back({0.01, line + "\n"});
    sim::HttpBehaviour behaviour = sim::HttpBehaviour::stream(500, std::move(pieces));
    rig.routeGemini("m", {behaviour});
    AIError error = failure(AISource::gemini, "m");
    EXPECT_EQ(error.status(), 500);
    std::string expected;
    for (int i = 0; i < 300; ++i) expected += "ệ";
    EXPECT_EQ(error.message(), expected);
    const auto& request = rig.gemini.requests()[0];
    EXPECT_EQ(request.state, sim::HttpExchangeState::cancelled);
    EXPECT_LT(request.bodyBytesSent, 50u * (line.size() + 1));
    EXPECT_GE(request.bodyBytesSent, 41u * (line.size() + 1));
}

TEST_F(AIHTTPTest, NoHTTPAnswerIsANetworkError) {
    struct Row {
        const char* name;
        sim::HttpBehaviour behaviour;
    };
    sim::HttpBehaviour droppedMidway = testing::geminiStream({"partial"});
    droppedMidway.ending = sim::HttpEnding::drop;
    sim::HttpBehaviour silentBody = testing::geminiStream({"partial"});
    silentBody.ending = sim::HttpEnding::hang;
    const std::vector<Row> rows = {
        {"refused", sim::HttpBehaviour::failing(sim::HttpOpening::refuse)},
        {"TLS failure", sim::HttpBehaviour::failing(sim::HttpOpening::tlsFailure)},
        {"not HTTP", sim::HttpBehaviour::failing(sim::HttpOpening::malformed, 0.1)},
        {"dropped before the head", sim::HttpBehaviour::failing(sim::HttpOpening::drop, 0.1)},
        {"silent", sim::HttpBehaviour::failing(sim::HttpOpening::silence)},
        {"dropped mid-body", droppedMidway},
        {"silent mid-body", silentBody},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        rig.routeGemini("m", {row.behaviour});
        EXPECT_EQ(failure(AISource::gemini, "m"), AIError::network());
    }
    // A silent service is given up after the idle time-out, not the whole minute.
    rig.gemini.clearRequests();
    rig.routeGemini("m", {sim::HttpBehaviour::failing(sim::HttpOpening::silence)});
    const double start = rig.loop.now();
    EXPECT_EQ(failure(AISource::gemini, "m"), AIError::network());
    EXPECT_NEAR(rig.loop.now() - start, 15, 0.01);
    // An unknown host too.
    rig.http.detach(rig.deepseek);
    EXPECT_EQ(failure(AISource::deepseek, "m"), AIError::network());
}

TEST_F(AIHTTPTest, SourcesWithoutAnHTTPEngineGiveEmpty) {
    EXPECT_EQ(failure(AISource::grok, "m"), AIError::empty());
    EXPECT_EQ(failure(AISource::chatgpt, "m"), AIError::empty());
    EXPECT_TRUE(rig.gemini.requests().empty());
    EXPECT_TRUE(rig.deepseek.requests().empty());
}

TEST_F(AIHTTPTest, CancellingEndsTheRequest) {
    rig.routeGemini("m", {testing::geminiStream({"a", "b", "c"}, 1.0)});
    rt::JoinHandle<void> handle = rt::spawn(rig.loop.main(), stream(AISource::gemini, "m"));
    rig.loop.runFor(1.5);
    EXPECT_EQ(pieces, std::vector<std::string>{"a"});
    handle.cancel();
    rig.loop.runFor(5);
    EXPECT_EQ(handle.outcome(), rt::Outcome::cancelled);
    EXPECT_EQ(pieces, std::vector<std::string>{"a"});
    EXPECT_EQ(rig.gemini.requests()[0].state, sim::HttpExchangeState::cancelled);
    EXPECT_EQ(rig.http.activeTransfers(), 0u);
}

TEST_F(AIHTTPTest, WarmSendsAHeadRequestToTheBaseURL) {
    rig.gemini.reply(ports::HttpMethod::head, "/", 404, "");
    rt::Scope scope;
    AIHTTP::warm(scope, rig.loop.main(), rig.link(), AISource::gemini);
    AIHTTP::warm(scope, rig.loop.main(), rig.link(), AISource::deepseek);
    AIHTTP::warm(scope, rig.loop.main(), rig.link(), AISource::grok);
    AIHTTP::warm(scope, rig.loop.main(), rig.link(), AISource::chatgpt);
    rig.loop.runFor(10);
    ASSERT_EQ(rig.gemini.requests().size(), 1u);
    EXPECT_EQ(rig.gemini.requests()[0].method, ports::HttpMethod::head);
    EXPECT_EQ(rig.gemini.requests()[0].path, "/");
    EXPECT_FALSE(rig.gemini.requests()[0].headers.contains("x-goog-api-key"));
    ASSERT_EQ(rig.deepseek.requests().size(), 1u);
    EXPECT_EQ(rig.deepseek.requests()[0].method, ports::HttpMethod::head);
    EXPECT_EQ(scope.size(), 0u);
}

TEST_F(AIHTTPTest, AWarmUpThatFailsIsIgnored) {
    rig.gemini.route({ports::HttpMethod::head,
                      "/",
                      std::nullopt,
                      {sim::HttpBehaviour::failing(sim::HttpOpening::silence)}});
    rt::Scope scope;
    AIHTTP::warm(scope, rig.loop.main(), rig.link(), AISource::gemini);
    rig.loop.runFor(4.9);
    EXPECT_EQ(scope.size(), 1u);
    rig.loop.runFor(0.2);
    EXPECT_EQ(scope.size(), 0u);
    EXPECT_EQ(rig.gemini.requests()[0].state, sim::HttpExchangeState::timedOut);
}

}  // namespace
}  // namespace veska
