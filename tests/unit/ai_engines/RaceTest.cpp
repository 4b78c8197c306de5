// The model race of the HTTP session: stagger, winner, failures, cancellation, error mapping.
#include <gtest/gtest.h>

#include <stdexcept>

#include "core/ai/ApiTextSession.h"
#include "runtime/Spawn.h"
#include "unit/ai_engines/EngineRig.h"

namespace veska {
namespace {

using testing::EngineRig;
using testing::errorReply;
using testing::geminiStream;

/// A 200 answer whose one text piece comes `seconds` after the head.
sim::HttpBehaviour textAfter(double seconds, const std::string& text) {
    return geminiStream({text}, seconds);
}

struct RaceTest : ::testing::Test {
    EngineRig rig;
    std::vector<std::string> deltas;
    rt::Executor* engines = nullptr;

    ApiTextSession session(std::vector<std::string> models, AISource source = AISource::gemini) {
        return ApiTextSession(rig.link(), source, std::move(models), "key-1", "be brief", 0.7, engines);
    }
    TextSession::OnDelta record() {
        return [this](const std::string& text) {
            EXPECT_TRUE(rig.loop.main().isCurrent());
            deltas.push_back(text);
        };
    }
    /// The time model `model` was started, from its first request.
    double startOf(const std::string& model) {
        auto requests = rig.gemini.requestsTo(EngineRig::geminiPath(model));
        EXPECT_FALSE(requests.empty()) << model << " never started";
        return requests.empty() ? -1 : requests.front().at;
    }
    sim::HttpExchangeState stateOf(const std::string& model) {
        return rig.gemini.requestsTo(EngineRig::geminiPath(model)).front().state;
    }
    TranslateError failure(ApiTextSession& api) {
        try {
            rig.loop.run(api.send("text", record()));
        } catch (const TranslateError& error) {
            return error;
        }
        ADD_FAILURE() << "the race succeeded";
        return TranslateError::failed();
    }
};

TEST_F(RaceTest, OneModelStreamsTheWholeAnswerSoFar) {
    rig.routeGemini("m1", {geminiStream({"Hel", "lo", " \n"})});
    ApiTextSession api = session({"m1"});
    std::string answer = rig.loop.run(api.send("hi", record()));
    EXPECT_EQ(answer, "Hello");
    EXPECT_EQ(deltas, (std::vector<std::string>{"Hel", "Hello", "Hello \n"}));
    ASSERT_TRUE(ApiTextSession::last().has_value());
    EXPECT_EQ(ApiTextSession::last()->source, AISource::gemini);
    EXPECT_EQ(ApiTextSession::last()->model, "m1");
    EXPECT_NEAR(ApiTextSession::last()->seconds, 0.3, 1e-9);
    EXPECT_NEAR(*rig.health.speedOf("m1"), 0.3, 1e-9);
    EXPECT_EQ(nlohmann::json::parse(rig.gemini.requests()[0].body)["systemInstruction"]["parts"][0]["text"],
              "be brief");
}

TEST_F(RaceTest, OpenSetsTheInstructionsOfLaterMessages) {
    rig.routeGemini("m1", {geminiStream({"ok"})});
    ApiTextSession api = session({"m1"});
    rig.loop.run(api.open("new rules"));
    EXPECT_EQ(api.instructions(), "new rules");
    rig.loop.run(api.send("hi", record()));
    EXPECT_EQ(nlohmann::json::parse(rig.gemini.requests()[0].body)["systemInstruction"]["parts"][0]["text"],
              "new rules");
}

TEST_F(RaceTest, SecondModelStartsAfterTheStaggerAndTheFirstTextWins) {
    rig.routeGemini("a", {textAfter(1.5, "from a")});
    rig.routeGemini("b", {textAfter(0.3, "from b")});
    ApiTextSession api = session({"a", "b"});
    EXPECT_EQ(rig.loop.run(api.send("hi", record())), "from b");
    EXPECT_DOUBLE_EQ(startOf("a"), 0);
    EXPECT_DOUBLE_EQ(startOf("b"), 0.7);
    EXPECT_EQ(stateOf("a"), sim::HttpExchangeState::cancelled);
    EXPECT_EQ(deltas, std::vector<std::string>{"from b"});
    EXPECT_EQ(ApiTextSession::last()->model, "b");
    EXPECT_NEAR(ApiTextSession::last()->seconds, 0.3, 1e-9);
    // The cancelled model is neither slow nor failing.
    EXPECT_EQ(rig.health.speedOf("a"), std::nullopt);
    EXPECT_EQ(rig.health.coolingUntil("a"), std::nullopt);
}

TEST_F(RaceTest, FirstModelThatSpeaksBeforeTheStaggerRunsAlone) {
    rig.routeGemini("a", {geminiStream({"x", "y"}, 0.5)});
    rig.routeGemini("b", {textAfter(0.1, "b")});
    ApiTextSession api = session({"a", "b"});
    EXPECT_EQ(rig.loop.run(api.send("hi", record())), "xy");
    EXPECT_TRUE(rig.gemini.requestsTo(EngineRig::geminiPath("b")).empty());
    EXPECT_EQ(rig.loop.hasPendingTimers(), false);
}

TEST_F(RaceTest, TheLateStarterCanWinWhenItSpeaksFirst) {
    rig.routeGemini("a", {textAfter(1.0, "a")});
    rig.routeGemini("b", {textAfter(0.2, "b")});
    rig.routeGemini("c", {textAfter(0.1, "c")});
    ApiTextSession api = session({"a", "b", "c"});
    // a speaks at 1.0; b (started 0.7) at 0.9; c would start at 1.4.
    EXPECT_EQ(rig.loop.run(api.send("hi", record())), "b");
    EXPECT_TRUE(rig.gemini.requestsTo(EngineRig::geminiPath("c")).empty());
    EXPECT_EQ(stateOf("a"), sim::HttpExchangeState::cancelled);
}

TEST_F(RaceTest, ARateLimitedModelLetsTheNextStartAtOnceAndCools) {
    rig.routeGemini("a", {errorReply(429, "quota", 0.2)});
    rig.routeGemini("b", {textAfter(0.1, "b")});
    ApiTextSession api = session({"a", "b"});
    EXPECT_EQ(rig.loop.run(api.send("hi", record())), "b");
    EXPECT_DOUBLE_EQ(startOf("b"), 0.2);
    EXPECT_DOUBLE_EQ(*rig.health.coolingUntil("a"), 90.2);
    // Cooling, it goes last in the next race even though it is listed first.
    rig.gemini.clearRequests();
    rig.loop.run(api.send("again", record()));
    EXPECT_TRUE(rig.gemini.requestsTo(EngineRig::geminiPath("a")).empty());
}

TEST_F(RaceTest, AFailureReschedulesTheStagger) {
    rig.routeGemini("a", {errorReply(500, "boom", 0.5)});
    rig.routeGemini("b", {textAfter(5, "b")});
    rig.routeGemini("c", {textAfter(0.1, "c")});
    ApiTextSession api = session({"a", "b", "c"});
    EXPECT_EQ(rig.loop.run(api.send("hi", record())), "c");
    EXPECT_DOUBLE_EQ(startOf("b"), 0.5);
    EXPECT_DOUBLE_EQ(startOf("c"), 1.2);
    EXPECT_DOUBLE_EQ(*rig.health.coolingUntil("a"), 30.5);
}

TEST_F(RaceTest, AWinnerThatFailsMidwayFailsTheMessage) {
    sim::HttpBehaviour breaks = textAfter(0.8, "par");
    breaks.ending = sim::HttpEnding::drop;
    breaks.endDelaySeconds = 0.2;
    rig.routeGemini("a", {breaks});
    rig.routeGemini("b", {textAfter(2, "b would answer")});
    ApiTextSession api = session({"a", "b"});
    EXPECT_EQ(failure(api), TranslateError::unreachable());
    EXPECT_EQ(deltas, std::vector<std::string>{"par"});
    EXPECT_EQ(stateOf("b"), sim::HttpExchangeState::cancelled);
    EXPECT_DOUBLE_EQ(*rig.health.coolingUntil("a"), 21.0);
    EXPECT_EQ(rig.http.activeTransfers(), 0u);
}

TEST_F(RaceTest, WhenEveryModelFailsTheLastErrorIsReported) {
    rig.routeGemini("a", {errorReply(500, "overloaded", 0.1)});
    rig.routeGemini("b", {[] {
                        sim::HttpBehaviour empty = sim::HttpBehaviour::reply(503, "");
                        empty.headDelaySeconds = 0.2;
                        return empty;
                    }()});
    ApiTextSession api = session({"a", "b"});
    EXPECT_EQ(failure(api), TranslateError::apiFailed(AISource::gemini, "503"));
    EXPECT_DOUBLE_EQ(startOf("b"), 0.1);
    EXPECT_DOUBLE_EQ(rig.loop.now(), 0.3);
}

TEST_F(RaceTest, WaitsForTheModelsStillRunningBeforeFailing) {
    rig.routeGemini("a", {textAfter(3, "late a")});
    rig.routeGemini("b", {errorReply(500, "b down", 0.1)});
    ApiTextSession api = session({"a", "b"});
    EXPECT_EQ(rig.loop.run(api.send("hi", record())), "late a");
    EXPECT_DOUBLE_EQ(rig.loop.now(), 3);
}

TEST_F(RaceTest, AnEmptyAnswerFailsThatModelAndStartsTheNext) {
    // Only a thought and the token count: the stream ends without text.
    std::string thought = R"({"candidates":[{"content":{"parts":[{"text":"hmm","thought":true}]}}]})";
    rig.routeGemini("a", {sim::HttpBehaviour::stream(200, {{0.1, "data: " + thought + "\n\n"},
                                                           {0.1, "data: {\"usageMetadata\":{}}\n\n"}})});
    rig.routeGemini("b", {textAfter(0.1, "b")});
    ApiTextSession api = session({"a", "b"});
    EXPECT_EQ(rig.loop.run(api.send("hi", record())), "b");
    EXPECT_DOUBLE_EQ(startOf("b"), 0.2);
    EXPECT_DOUBLE_EQ(*rig.health.coolingUntil("a"), 20.2);
    EXPECT_EQ(deltas, std::vector<std::string>{"b"});
}

TEST_F(RaceTest, BlankTextWinsTheRaceAndThenFailsAsEmpty) {
    rig.routeGemini("a", {geminiStream({" ", "\n"}, 0.1)});
    rig.routeGemini("b", {textAfter(0.1, "b")});
    ApiTextSession api = session({"a", "b"});
    EXPECT_EQ(failure(api), TranslateError::failed());
    EXPECT_TRUE(rig.gemini.requestsTo(EngineRig::geminiPath("b")).empty());
    EXPECT_EQ(deltas, (std::vector<std::string>{" ", " \n"}));
}

TEST_F(RaceTest, RejectedKeysRecordNoCoolDown) {
    rig.routeGemini("a", {errorReply(401, "unauthenticated")});
    rig.routeGemini("b", {errorReply(403, "forbidden")});
    ApiTextSession api = session({"a", "b"});
    EXPECT_EQ(failure(api), TranslateError::badKey(AISource::gemini));
    EXPECT_EQ(rig.health.coolingUntil("a"), std::nullopt);
    EXPECT_EQ(rig.health.coolingUntil("b"), std::nullopt);
}

TEST_F(RaceTest, MeasuredSpeedDecidesWhoStarts) {
    rig.health.recordSuccess("b", 0.1);
    rig.routeGemini("a", {textAfter(0.1, "a")});
    rig.routeGemini("b", {textAfter(0.1, "b")});
    ApiTextSession api = session({"a", "b"});
    EXPECT_EQ(rig.loop.run(api.send("hi", record())), "b");
    EXPECT_TRUE(rig.gemini.requestsTo(EngineRig::geminiPath("a")).empty());
    EXPECT_DOUBLE_EQ(*rig.health.speedOf("b"), 0.4 * 0.1 + 0.6 * 0.1);
}

TEST_F(RaceTest, CancellingTheMessageStopsEveryModel) {
    for (double cancelAt : {0.3, 1.0, 1.45}) {
        SCOPED_TRACE(cancelAt);
        rig.gemini.clearRequests();
        rig.routeGemini("a", {textAfter(5, "a")});
        rig.routeGemini("b", {geminiStream({"b1", "b2"}, 0.7)});
        ApiTextSession api = session({"a", "b"});
        const double start = rig.loop.now();
        rt::JoinHandle<std::string> handle = rt::spawn(rig.loop.main(), api.send("hi", record()));
        rig.loop.runFor(cancelAt);
        handle.cancel();
        rig.loop.runUntilIdle();
        EXPECT_EQ(handle.outcome(), rt::Outcome::cancelled);
        EXPECT_EQ(rig.http.activeTransfers(), 0u);
        for (const auto& request : rig.gemini.requests()) {
            EXPECT_EQ(request.state, sim::HttpExchangeState::cancelled);
            EXPECT_LE(request.endedAt, start + cancelAt);
        }
        EXPECT_FALSE(rig.loop.hasPendingTimers());
    }
}

TEST_F(RaceTest, ModelsMayRunOnAnExecutorOfTheirOwn) {
    engines = &rig.loop.lane("engines");
    rig.routeGemini("a", {textAfter(1.0, "a")});
    rig.routeGemini("b", {geminiStream({"b", "c"}, 0.2)});
    ApiTextSession api = session({"a", "b"});
    EXPECT_EQ(rig.loop.run(api.send("hi", record())), "bc");
    EXPECT_EQ(deltas, (std::vector<std::string>{"b", "bc"}));
}

TEST_F(RaceTest, DeepseekRacesItsOneModel) {
    rig.routeDeepseek(
        {errorReply(400, "thinking is not a field"), testing::deepseekStream({"Chào", " bạn"})});
    ApiTextSession api = session({"deepseek-flash"}, AISource::deepseek);
    EXPECT_EQ(rig.loop.run(api.send("hi", record())), "Chào bạn");
    EXPECT_EQ(ApiTextSession::last()->source, AISource::deepseek);
    EXPECT_EQ(rig.deepseek.requests().size(), 2u);
}

TEST(ApiTextSessionMap, EngineErrorsBecomeTranslateErrors) {
    struct Row {
        std::exception_ptr error;
        AISource source;
        TranslateError expected;
    };
    auto ai = [](AIError error) { return std::make_exception_ptr(error); };
    const std::vector<Row> rows = {
        {ai(AIError::empty()), AISource::gemini, TranslateError::failed()},
        {ai(AIError::network()), AISource::gemini, TranslateError::unreachable()},
        {ai(AIError::http(400, "API key not valid. Please pass a valid API key.")), AISource::gemini,
         TranslateError::badKey(AISource::gemini)},
        {ai(AIError::http(400, "Bad API KEY")), AISource::deepseek,
         TranslateError::badKey(AISource::deepseek)},
        {ai(AIError::http(400, "apikey")), AISource::gemini,
         TranslateError::apiFailed(AISource::gemini, "400 · apikey")},
        {ai(AIError::http(401, "")), AISource::gemini, TranslateError::badKey(AISource::gemini)},
        {ai(AIError::http(403, "nope")), AISource::deepseek, TranslateError::badKey(AISource::deepseek)},
        {ai(AIError::http(500, "overloaded")), AISource::gemini,
         TranslateError::apiFailed(AISource::gemini, "500 · overloaded")},
        {ai(AIError::http(503, "")), AISource::gemini, TranslateError::apiFailed(AISource::gemini, "503")},
        {ai(AIError::http(402, "Insufficient Balance")), AISource::deepseek,
         TranslateError::apiFailed(AISource::deepseek, "402 · Insufficient Balance")},
        {std::make_exception_ptr(std::runtime_error("json")), AISource::gemini, TranslateError::failed()},
        {nullptr, AISource::gemini, TranslateError::failed()},
    };
    for (const Row& row : rows) EXPECT_EQ(ApiTextSession::map(row.error, row.source), row.expected);
}

TEST(ApiTextSessionMap, CoolDownsByFailure) {
    struct Row {
        std::exception_ptr error;
        std::optional<double> seconds;
    };
    auto http = [](int status) { return std::make_exception_ptr(AIError::http(status, "m")); };
    const std::vector<Row> rows = {
        {http(401), std::nullopt},
        {http(403), std::nullopt},
        {http(404), 600},
        {http(429), 90},
        {http(400), 30},
        {http(500), 30},
        {std::make_exception_ptr(AIError::network()), 20},
        {std::make_exception_ptr(AIError::empty()), 20},
        {std::make_exception_ptr(std::runtime_error("x")), 20},
    };
    for (const Row& row : rows) EXPECT_EQ(ApiTextSession::coolDown(row.error), row.seconds);
}

}  // namespace
}  // namespace veska
