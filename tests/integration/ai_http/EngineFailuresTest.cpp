// How the HTTP engines report every failure of the two APIs, over real sockets.
#include "integration/ai_http/EngineFakes.h"

namespace veska::testing {

namespace {

using json = nlohmann::json;

struct FailureRow {
    std::string name;
    AISource source;
    json answer;
    TranslateError expected;
};

std::vector<FailureRow> failureRows() {
    const std::string longBody(5000, 'x');
    std::vector<FailureRow> rows;
    for (AISource source : {AISource::gemini, AISource::deepseek}) {
        rows.push_back({"api key in any case",
                        source,
                        {{"status", 400}, {"message", "Invalid API KEY given"}},
                        TranslateError::badKey(source)});
        rows.push_back({"401", source, {{"status", 401}, {"message", "no"}}, TranslateError::badKey(source)});
        rows.push_back(
            {"403", source, {{"status", 403}, {"message", "denied"}}, TranslateError::badKey(source)});
        rows.push_back({"404",
                        source,
                        {{"status", 404}, {"message", "model not found"}},
                        TranslateError::apiFailed(source, "404 · model not found")});
        rows.push_back({"429",
                        source,
                        {{"status", 429}, {"message", "Resource exhausted"}},
                        TranslateError::apiFailed(source, "429 · Resource exhausted")});
        rows.push_back({"500 overloaded",
                        source,
                        {{"status", 500}, {"message", "overloaded"}},
                        TranslateError::apiFailed(source, "500 · overloaded")});
        rows.push_back(
            {"503 empty", source, {{"status", 503}, {"body", ""}}, TranslateError::apiFailed(source, "503")});
        rows.push_back({"5000 characters",
                        source,
                        {{"status", 502}, {"body", longBody}},
                        TranslateError::apiFailed(source, "502 · " + longBody.substr(0, 300))});
        rows.push_back(
            {"dropped before any text", source, {{"dropAfter", 0}}, TranslateError::unreachable()});
        rows.push_back({"only empty events", source, {{"text", ""}}, TranslateError::failed()});
    }
    return rows;
}

}  // namespace

class EngineFailures : public EngineFakes {};

TEST_F(EngineFailures, EachFailureOfTheServiceReachesTheUserAsItsOwnError) {
    for (const FailureRow& row : failureRows()) {
        SetUp();
        script(row.source, "*", {row.answer});
        const std::string model = row.source == AISource::gemini ? "gemini-3.5-flash-lite" : "deepseek-flash";
        auto s = session(row.source, {model});
        auto error = sendError(*s, "Xin chào");
        ASSERT_TRUE(error.has_value()) << row.name;
        EXPECT_EQ(*error, row.expected) << row.name << ": got detail \"" << error->detail() << "\"";
        expectNoProblems(row.source);
    }
}

TEST_F(EngineFailures, AWrongKeyGetsTheServicesOwnRefusal) {
    for (AISource source : {AISource::gemini, AISource::deepseek}) {
        const std::string model = source == AISource::gemini ? "gemini-3.5-flash-lite" : "deepseek-flash";
        auto s = session(source, {model}, "wrong-key");
        auto error = sendError(*s, "Hello");
        ASSERT_TRUE(error.has_value());
        EXPECT_EQ(*error, TranslateError::badKey(source));
        EXPECT_EQ(std::string(error->what()).find("wrong-key"), std::string::npos)
            << "the key is never shown";
    }
}

TEST_F(EngineFailures, TheWinnerDroppedMidStreamFailsTheSendAsUnreachable) {
    script(AISource::gemini, "*",
           {{{"text", "Một câu khá dài để cắt ra"}, {"pieceSize", 4}, {"dropAfter", 2}}});
    auto s = session(AISource::gemini, {"gemini-3.5-flash-lite", "gemini-flash-lite-latest"});
    std::vector<std::string> deltas;
    auto handle = run(s->send("x", [&](const std::string& soFar) { deltas.push_back(soFar); }));
    try {
        handle.take();
        ADD_FAILURE() << "the send succeeded";
    } catch (const TranslateError& error) {
        EXPECT_EQ(error, TranslateError::unreachable());
    }
    EXPECT_EQ(deltas, (std::vector<std::string>{"Một ", "Một câu "}));
    EXPECT_EQ(requests(AISource::gemini).size(), 1u) << "once a model has sent text, no other is started";
}

TEST_F(EngineFailures, CancellingASendWhileTheServiceIsSilentClosesTheConnection) {
    script(AISource::deepseek, "*", {{{"silent", true}}});
    auto s = session(AISource::deepseek, {"deepseek-flash"});
    auto handle = rt::spawn(loop_, s->send("Hello", [](const std::string&) {}));
    ASSERT_TRUE(waitFor([&] { return http_.activeTransfers() == 1; }));
    loop_.runFor(0.2);
    handle.cancel();
    ASSERT_TRUE(loop_.runUntil([&] { return handle.done(); }, 5));
    EXPECT_EQ(handle.outcome(), rt::Outcome::cancelled);
    EXPECT_TRUE(waitFor([&] { return http_.activeTransfers() == 0; }));
    EXPECT_TRUE(waitFor([&] { return requests(AISource::deepseek).back()["outcome"] == "aborted"; }))
        << "the fake saw the client go away";
}

TEST_F(EngineFailures, AllModelsFailingGivesTheLastModelsError) {
    script(AISource::gemini, "gemini-3.5-flash-lite", {{{"status", 429}, {"message", "slow down"}}});
    script(AISource::gemini, "gemini-flash-lite-latest", {{{"status", 500}, {"message", "overloaded"}}});
    auto s = session(AISource::gemini, {"gemini-3.5-flash-lite", "gemini-flash-lite-latest"});
    auto error = sendError(*s, "Hello");
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(*error, TranslateError::apiFailed(AISource::gemini, "500 · overloaded"));
    const auto order = health_.order(
        {"gemini-flash-lite-latest", "gemini-3.5-flash-lite", "gemma-4-26b-a4b-it"}, loop_.now());
    EXPECT_EQ(order, (std::vector<std::string>{"gemma-4-26b-a4b-it", "gemini-3.5-flash-lite",
                                               "gemini-flash-lite-latest"}))
        << "both failed models cool down behind the one that did not run";
}

}  // namespace veska::testing
