// Service errors: the text-only and tool fallbacks, process-wide, and errors that end a reply.
#include "GrokRealtimeRig.h"

namespace veska::testing {
namespace {

json serviceError(const std::string& message) {
    return {{"type", "error"}, {"error", {{"type", "invalid_request_error"}, {"message", message}}}};
}

class GrokFallback : public GrokRealtimeTest {};

TEST_F(GrokFallback, AModalitiesErrorAllowsAudioAndAsksAgainKeepingWhatArrived) {
    serve({event(0, kCreated)},
          {reactTo("msg", {event(0.1, delta("response.output_audio_transcript.delta", "Chào ")),
                           event(0.1, serviceError("Unsupported MODALITIES: text"))}),
           reactTo(R"("modalities":["text","audio"])",
                   {event(0.1, delta("response.output_audio_transcript.delta", "bạn")), event(0.1, kDone)})});
    auto session = makeSession();
    loop.run(session->open("I"));
    EXPECT_EQ(loop.run(session->send("msg", {})), "Chào bạn");
    EXPECT_FALSE(GrokTextSession::textOnly);
    EXPECT_TRUE(GrokTextSession::useTool);
    const auto frames = sent();
    ASSERT_EQ(frames.size(), 5u);
    EXPECT_EQ(frames[3], (json{{"type", "session.update"}, {"session", {{"modalities", {"text", "audio"}}}}}));
    EXPECT_EQ(frames[4], (json{{"type", "response.create"}}));

    auto later = makeSession();
    loop.run(later->open("I"));
    loop.runFor(0.1);
    EXPECT_FALSE(sent(1)[0]["session"].contains("modalities")) << "later sessions no longer ask for text only";
}

TEST_F(GrokFallback, AToolErrorDropsTheToolAndTakesTheStreamedText) {
    serve({event(0, kCreated)},
          {reactTo("msg", {event(0.1, serviceError("tool_choice 'required' is not supported"))}),
           reactTo(R"("tool_choice":"none")", {event(0.1, delta("response.text.delta", " plain ")), event(0, kDone)})});
    auto session = makeSession();
    loop.run(session->open("I"));
    EXPECT_EQ(loop.run(session->send("msg", {})), "plain");
    EXPECT_FALSE(GrokTextSession::useTool);
    EXPECT_TRUE(GrokTextSession::textOnly);
    const auto frames = sent();
    ASSERT_EQ(frames.size(), 5u);
    EXPECT_EQ(frames[3], (json{{"type", "session.update"}, {"session", {{"tools", json::array()}, {"tool_choice", "none"}}}}));
    EXPECT_EQ(frames[4], (json{{"type", "response.create"}}));
}

TEST_F(GrokFallback, EachFallbackHappensOnceThenErrorsFail) {
    // Errors answer the message, then the re-configuration of each fallback.
    constexpr char kAudio[] = R"("modalities":["text","audio"])";
    constexpr char kNoTool[] = R"("tool_choice":"none")";
    struct Row {
        const char* label;
        bool textOnly;
        std::vector<std::pair<const char*, json>> errors;  // trigger, error event
        std::size_t fallbacks;
    };
    const json noMessage = {{"type", "error"}};
    const std::vector<Row> rows = {
        {"modalities twice", true, {{"msg", serviceError("bad modality")}, {kAudio, serviceError("bad modality")}}, 1},
        {"then a message naming both",
         true,
         {{"msg", serviceError("modalities")}, {kAudio, serviceError("modalities, tools")},
          {kNoTool, serviceError("modalities, tools")}},
         2},
        {"tool twice", true, {{"msg", serviceError("Tool")}, {kNoTool, serviceError("tool")}}, 1},
        {"modalities when already off", false, {{"msg", serviceError("modalities")}}, 0},
        {"something else", true, {{"msg", serviceError("internal failure")}}, 0},
        {"no message", true, {{"msg", noMessage}}, 0},
    };
    for (const Row& row : rows) {
        GrokTextSession::textOnly = row.textOnly;
        GrokTextSession::useTool = true;
        std::vector<WsReaction> reactions;
        for (const auto& [trigger, error] : row.errors) reactions.push_back(reactTo(trigger, {event(0.1, error)}));
        serve({event(0, kCreated)}, std::move(reactions));
        auto session = makeSession();
        loop.run(session->open("I"));
        EXPECT_EQ(failure(session->send("msg", {})), TranslateError::failed()) << row.label;
        std::size_t updates = 0;
        for (const json& frame : sent(api.connections().size() - 1)) updates += frame["type"] == "session.update" ? 1 : 0;
        EXPECT_EQ(updates - 1, row.fallbacks) << row.label;
    }
}

}  // namespace
}  // namespace veska::testing
