// One message and its reply: events, the function call, partial text, the deadline.
#include "GrokRealtimeRig.h"

namespace veska::testing {
namespace {

constexpr char kArgsDelta[] = "response.function_call_arguments.delta";
constexpr char kArgsDone[] = "response.function_call_arguments.done";

class GrokSend : public GrokRealtimeTest {
protected:
    /// Opens a session on an endpoint answering "msg" with `reply`; sends "msg" and records
    /// every partial answer with its time.
    std::string ask(std::vector<WsStep> reply) {
        serveReply("msg", std::move(reply));
        session = makeSession();
        loop.run(session->open("I"));
        return loop.run(session->send("msg", [this](const std::string& soFar) {
            partials.emplace_back(loop.main().now(), soFar);
        }));
    }
    std::vector<std::string> partialTexts() const {
        std::vector<std::string> out;
        for (const auto& p : partials) out.push_back(p.second);
        return out;
    }

    std::unique_ptr<GrokTextSession> session;
    std::vector<std::pair<double, std::string>> partials;
};

TEST_F(GrokSend, TheFunctionsTextIsTheAnswerAndItsCallIsAnsweredOnce) {
    const std::string answer = ask({
        event(0.1, delta("response.output_text.delta", "Draft ")),
        event(0.1, delta(kArgsDelta, R"({"text": "Xin )")),
        event(0.1, delta("response.output_text.delta", "ignored")),
        event(0.1, delta(kArgsDelta, R"(chào\n")")),
        event(0.1, delta(kArgsDelta, "}")),
        event(0.1, {{"type", kArgsDone}, {"call_id", "call-7"}}),
        event(0.1, {{"type", "response.output_text.done"}, {"text", "done text"}}),
        event(0.1, kDone),
    });
    EXPECT_EQ(answer, "Xin chào");
    EXPECT_EQ(partialTexts(), (std::vector<std::string>{"Draft ", "Xin ", "Xin chào\n", "Xin chào\n"}))
        << "streamed text only until the first argument delta; every argument delta reports";
    loop.runFor(1);
    const std::vector<json> frames = sent();
    ASSERT_EQ(frames.size(), 4u);
    EXPECT_EQ(frames[1], (json{{"type", "conversation.item.create"},
                               {"item", {{"type", "message"}, {"role", "user"},
                                         {"content", {{{"type", "input_text"}, {"text", "msg"}}}}}}}));
    EXPECT_EQ(frames[2], (json{{"type", "response.create"}}));
    EXPECT_EQ(frames[3], (json{{"type", "conversation.item.create"},
                               {"item", {{"type", "function_call_output"}, {"call_id", "call-7"}, {"output", "{\"ok\":true}"}}}}));
}

TEST_F(GrokSend, TheAnswerIsTheFunctionTextElseTheDoneTextElseTheStreamedText) {
    struct Row {
        const char* label;
        std::vector<WsStep> reply;
        std::optional<std::string> expected;  // nothing: fails
    };
    const std::vector<Row> rows = {
        {"arguments given whole at the end",
         {event(0, delta(kArgsDelta, R"({"text":"partial)")),
          event(0, {{"type", kArgsDone}, {"arguments", R"({"text":"  whole \u00e9 "})"}}), event(0, kDone)},
         "whole é"},
        {"unparsable arguments leave the done text",
         {event(0, {{"type", kArgsDone}, {"arguments", "{oops"}}), event(0, {{"type", "response.text.done"}, {"text", "done"}}),
          event(0, kDone)},
         "done"},
        {"audio transcript only", {event(0, {{"type", "response.output_audio_transcript.done"}, {"transcript", "\n Nói \n"}}), event(0, kDone)}, "Nói"},
        {"streamed from three kinds of delta",
         {event(0, delta("response.output_text.delta", "a")), event(0, delta("response.text.delta", "b")),
          event(0, delta("response.output_audio_transcript.delta", "c")), event(0, kDone)},
         "abc"},
        {"text of another type is not the answer", {event(0, {{"type", "response.text.done"}, {"text", 5}}), event(0, kDone)}, std::nullopt},
        {"blank answer", {event(0, delta("response.text.delta", " \n\t")), event(0, kDone)}, std::nullopt},
        {"no content", {event(0, kDone)}, std::nullopt},
        {"arguments without text", {event(0, {{"type", kArgsDone}, {"arguments", R"({"txt":"x"})"}}), event(0, kDone)}, std::nullopt},
    };
    for (const Row& row : rows) {
        GrokTextSession::useTool = true;
        std::optional<std::string> got;
        try {
            got = ask(row.reply);
        } catch (const TranslateError& error) {
            EXPECT_EQ(error, TranslateError::failed()) << row.label;
        }
        EXPECT_EQ(got, row.expected) << row.label;
        session->close();
    }
}

TEST_F(GrokSend, BurstsOfDeltasGiveOneCallbackPer80Milliseconds) {
    std::vector<WsStep> reply;
    for (int i = 0; i < 20; ++i) reply.push_back(event(0.02, delta("response.output_text.delta", std::to_string(i % 10))));
    reply.push_back(event(0.08, delta("response.output_text.delta", "!")));
    reply.push_back(event(0.0801, delta("response.output_text.delta", "?")));
    reply.push_back(event(0, kDone));
    const std::string answer = ask(reply);
    EXPECT_EQ(answer, "01234567890123456789!?");
    ASSERT_FALSE(partials.empty());
    for (std::size_t i = 1; i < partials.size(); ++i) {
        EXPECT_GT(partials[i].first - partials[i - 1].first, 0.08) << i;
        EXPECT_TRUE(answer.starts_with(partials[i].second)) << "always the whole answer so far";
    }
    EXPECT_EQ(partials.front().second, "0");
    EXPECT_EQ(partials.back().second, answer) << "the last delta came more than 0.08 s after the one before";
    EXPECT_LT(partials.size(), 10u);
}

TEST_F(GrokSend, NoReplyWithin90SecondsIsUnreachableEvenWhileOtherEventsArrive) {
    std::vector<WsStep> chatter;
    for (int i = 0; i < 20; ++i) chatter.push_back(event(5, {{"type", "rate_limits.updated"}}));
    serveReply("msg", chatter);
    auto session = makeSession();
    loop.run(session->open("I"));
    const double sentAt = loop.main().now();
    EXPECT_EQ(failure(session->send("msg", {})), TranslateError::unreachable());
    EXPECT_NEAR(loop.main().now() - sentAt, 90, 0.01);

    serveReply("msg", {event(89.9, kDone)});
    auto late = makeSession();
    loop.run(late->open("I"));
    EXPECT_EQ(failure(late->send("msg", {})), TranslateError::failed()) << "in time, but empty";
}

TEST_F(GrokSend, BadFramesAreIgnoredAndALostConnectionIsUnreachable) {
    const std::string answer = ask({
        WsStep::text(0, "{not json"), WsStep::text(0, "[1,2]"), WsStep::text(0, "\"text\""),
        WsStep::binary(0, delta("response.text.delta", "bin").dump()),
        event(0, {{"type", 7}, {"delta", "x"}}), event(0, {{"type", "response.text.delta"}, {"delta", 7}}),
        event(0, {{"type", "session.updated"}}), event(0, kDone)});
    EXPECT_EQ(answer, "bin");

    for (const WsStep& ending : {WsStep::drop(0.5), WsStep::close(0.5, 1000, "bye")}) {
        serveReply("msg", {event(0, delta("response.text.delta", "half")), ending});
        auto lost = makeSession();
        loop.run(lost->open("I"));
        EXPECT_EQ(failure(lost->send("msg", {})), TranslateError::unreachable());
    }
}

TEST_F(GrokSend, LaterMessagesGoOverTheSameConnection) {
    serve({event(0, kCreated)}, {reactTo("first", {event(0.1, delta("response.text.delta", "one")), event(0, kDone)}),
                                 reactTo("second", {event(0.1, delta("response.text.delta", "two")), event(0, kDone)})});
    auto session = makeSession();
    loop.run(session->open("I"));
    EXPECT_EQ(loop.run(session->send("first", {})), "one");
    EXPECT_EQ(loop.run(session->send("second", {})), "two");
    EXPECT_EQ(api.connections().size(), 1u);
}

}  // namespace
}  // namespace veska::testing
