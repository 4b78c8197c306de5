// The HTTP engines reading real event streams: growth, thoughts, "[DONE]", malformed lines,
// thinking configurations, the model race and warming.
#include "integration/ai_http/EngineFakes.h"

namespace veska::testing {

namespace {

using json = nlohmann::json;

json bodyOf(const json& request) {
    return json::parse(request["body"].get<std::string>());
}

}  // namespace

class EngineStreams : public EngineFakes {
protected:
    /// Sends `text` and returns the answer and every delta, in order.
    std::pair<std::string, std::vector<std::string>> answer(ApiTextSession& s, std::string text) {
        std::vector<std::string> deltas;
        auto handle =
            run(s.send(std::move(text), [&](const std::string& soFar) { deltas.push_back(soFar); }));
        return {handle.take(), deltas};
    }
};

TEST_F(EngineStreams, ASlowStreamGrowsTheAnswerPieceByPiece) {
    for (AISource source : {AISource::gemini, AISource::deepseek}) {
        SetUp();
        script(source, "*", {{{"text", "  Xin chào thế giới  "}, {"pieceSize", 5}, {"gapMs", 40}}});
        const std::string model = source == AISource::gemini ? "gemini-3.5-flash-lite" : "deepseek-flash";
        auto s = session(source, {model});
        auto [text, deltas] = answer(*s, "Hello world");
        EXPECT_EQ(text, "Xin chào thế giới");
        EXPECT_EQ(deltas, (std::vector<std::string>{"  Xin", "  Xin chào", "  Xin chào thế ",
                                                    "  Xin chào thế giới ", "  Xin chào thế giới  "}));
        ASSERT_TRUE(ApiTextSession::last().has_value());
        EXPECT_EQ(ApiTextSession::last()->source, source);
        EXPECT_EQ(ApiTextSession::last()->model, model);
        expectNoProblems(source);
        const json sent = bodyOf(requests(source).at(0));
        if (source == AISource::gemini) {
            EXPECT_EQ(sent["systemInstruction"]["parts"][0]["text"], "Be brief.");
            EXPECT_EQ(sent["contents"][0]["parts"][0]["text"], "Hello world");
        } else {
            EXPECT_EQ(sent["messages"][1]["content"], "Hello world");
            EXPECT_EQ(sent["thinking"], (json{{"type", "disabled"}}));
        }
    }
}

TEST_F(EngineStreams, ThoughtsMalformedLinesAndLinesAfterDoneNeverReachTheAnswer) {
    const json noisy = {{"text", "Kết quả"},
                        {"thought", "Let me think about this"},
                        {"malformed", true},
                        {"afterDone",
                         {R"(data: {"candidates":[{"content":{"parts":[{"text":" LATE"}]}}]})",
                          R"(data: {"choices":[{"delta":{"content":" LATE"}}]})"}}};
    for (AISource source : {AISource::gemini, AISource::deepseek}) {
        SetUp();
        script(source, "*", {noisy});
        auto s = session(source, {source == AISource::gemini ? "gemini-3.5-flash-lite" : "deepseek-flash"});
        auto [text, deltas] = answer(*s, "Result");
        EXPECT_EQ(text, "Kết quả");
        for (const auto& delta : deltas) {
            EXPECT_EQ(delta.find("think"), std::string::npos) << delta;
            EXPECT_EQ(delta.find("LATE"), std::string::npos) << delta;
        }
    }
}

TEST_F(EngineStreams, AGemmaModelIsAskedWithEachThinkingVariantUntilOneIsAccepted) {
    auto s = session(AISource::gemini, {"gemma-4-26b-a4b-it"});
    EXPECT_EQ(answer(*s, "Hi").first, "Hi");
    const auto seen = requests(AISource::gemini);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(bodyOf(seen[0])["generationConfig"]["thinkingConfig"], (json{{"thinkingLevel", "minimal"}}));
    EXPECT_EQ(bodyOf(seen[1])["generationConfig"]["thinkingConfig"], (json{{"thinkingBudget", 0}}));
    EXPECT_FALSE(bodyOf(seen[2])["generationConfig"].contains("thinkingConfig"));
    EXPECT_EQ(health_.thinkingVariant("gemma-4-26b-a4b-it"), 2);

    EXPECT_EQ(answer(*s, "Again").first, "Again");
    const auto later = requests(AISource::gemini);
    ASSERT_EQ(later.size(), 4u) << "the accepted variant is remembered";
    EXPECT_FALSE(bodyOf(later[3])["generationConfig"].contains("thinkingConfig"));
    expectNoProblems(AISource::gemini);
}

TEST_F(EngineStreams, ADeepseekModelRefusingThinkingIsAskedOnceMoreWithoutIt) {
    ASSERT_EQ(deepseek_->post("/__fake/models", R"({"deepseek-flash": {"thinking": false}})").status, 200);
    auto s = session(AISource::deepseek, {"deepseek-flash"});
    EXPECT_EQ(answer(*s, "Hi there").first, "Hi there");
    const auto seen = requests(AISource::deepseek);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_TRUE(bodyOf(seen[0]).contains("thinking"));
    EXPECT_FALSE(bodyOf(seen[1]).contains("thinking"));
}

TEST_F(EngineStreams, ASilentFirstModelLosesToTheNextAfterTheStaggerAndIsCancelled) {
    script(AISource::gemini, "gemini-3.5-flash-lite", {{{"silent", true}}});
    script(AISource::gemini, "gemini-flash-lite-latest", {{{"text", "Second wins"}}});
    auto s = session(AISource::gemini, {"gemini-3.5-flash-lite", "gemini-flash-lite-latest"});
    EXPECT_EQ(answer(*s, "Hi").first, "Second wins");
    EXPECT_EQ(ApiTextSession::last()->model, "gemini-flash-lite-latest");
    EXPECT_TRUE(waitFor([&] { return requests(AISource::gemini).at(0)["outcome"] == "aborted"; }))
        << "the losing model's request is ended at once";
}

TEST_F(EngineStreams, WarmingSendsAHeadRequestToTheBaseUrl) {
    rt::Scope scope;
    AIHTTP::warm(scope, loop_, link(), AISource::deepseek);
    AIHTTP::warm(scope, loop_, link(), AISource::grok);
    EXPECT_TRUE(waitFor([&] {
        const auto all = requests(AISource::deepseek);
        return all.size() == 1 && all[0]["method"] == "HEAD" && all[0]["path"] == "/";
    }));
    EXPECT_TRUE(requests(AISource::gemini).empty());
}

}  // namespace veska::testing
