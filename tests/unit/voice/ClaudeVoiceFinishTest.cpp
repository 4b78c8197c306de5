// Finishing a Claude dictation: the rest of the audio, "CloseStream" and the waits after it.
#include "unit/voice/VoiceRig.h"

namespace veska::voicetest {
namespace {

WsReaction onCloseStream(std::vector<WsStep> steps) {
    return WsReaction{"CloseStream", false, std::move(steps), true};
}

TEST(ClaudeVoiceFinish, WithNoMoreSpeechItEndsOneAndAHalfSecondsAfterCloseStream) {
    VoiceRig rig;
    rig.endpoint(WsBehaviour::accept({WsStep::text(0.2, transcript("TranscriptInterim", "xin chào"))}));
    rig.startMic();
    rig.connect();
    rig.speak(0.5);
    rig.finish();
    EXPECT_NEAR(rig.awaitFinish(), 1.5, 1e-6);
    EXPECT_EQ(rig.result(), "xin chào");
    const auto kinds = rig.frameKinds();
    EXPECT_EQ(kinds.back(), "close:1000");
    EXPECT_EQ(kinds[kinds.size() - 2], kCloseStream);
    // The rest of the audio went before "CloseStream": nothing heard is missing.
    EXPECT_TRUE(isRampFrom(rig.audio(), 0));
    EXPECT_GE(rig.audio().size(), 3 * ClaudeVoiceSession::kMicFrames);
}

TEST(ClaudeVoiceFinish, TranscriptsStillArrivingEndOnTheEndpointOrAfterFiveSeconds) {
    struct Row {
        const char* name;
        std::vector<WsStep> answer;
        double seconds;
        std::string text;
    };
    const std::vector<Row> rows = {
        {"endpoint",
         {WsStep::text(1.0, transcript("TranscriptInterim", "one")),
          WsStep::text(1.0, transcript("TranscriptText", "one two")),
          WsStep::text(0.5, message("TranscriptEndpoint"))},
         2.5, "done one two"},
        {"endless interims",
         {WsStep::text(1.0, transcript("TranscriptInterim", "a")), WsStep::text(1.0, transcript("TranscriptInterim", "a b")),
          WsStep::text(1.0, transcript("TranscriptInterim", "a b c")),
          WsStep::text(1.0, transcript("TranscriptInterim", "a b c d")),
          WsStep::text(0.9, transcript("TranscriptInterim", "a b c d e")),
          WsStep::text(1.0, transcript("TranscriptInterim", "too late"))},
         5.0, "done a b c d e"},
        {"transcript after the short wait", {WsStep::text(2.0, transcript("TranscriptText", "late"))}, 1.5, "done"},
        {"error message", {WsStep::text(0.3, message("TranscriptError"))}, 0.3, "done"},
        {"server closes", {WsStep::text(0.2, transcript("TranscriptText", "bye")), WsStep::close(0.2, 1000)}, 0.4,
         "done bye"},
        {"connection lost", {WsStep::drop(0.6)}, 0.6, "done"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        VoiceRig rig;
        rig.endpoint(WsBehaviour::accept({WsStep::text(0.1, transcript("TranscriptText", "done")),
                                          WsStep::text(0.1, message("TranscriptEndpoint"))},
                                         {onCloseStream(row.answer)}));
        rig.startMic();
        rig.connect();
        rig.speak(0.5);
        rig.finish();
        EXPECT_NEAR(rig.awaitFinish(), row.seconds, 1e-6);
        EXPECT_EQ(rig.result(), row.text);
        EXPECT_TRUE(rig.failures.empty());
    }
}

TEST(ClaudeVoiceFinish, WhileConnectingItWaitsForTheOpeningThenClosesNormally) {
    VoiceRig rig;
    rig.endpoint(WsBehaviour::failing(sim::WsHandshake::accept, 3.0));
    rig.startMic();
    rig.speak(1.0);
    rig.connect();
    rig.finish();
    EXPECT_NEAR(rig.awaitFinish(), 3.0 + 1.5, 1e-6);
    EXPECT_EQ(rig.result(), "");
    const auto texts = rig.connection().texts();
    EXPECT_EQ(texts, (std::vector<std::string>{kKeepAlive, kCloseStream}));
    EXPECT_TRUE(isRampFrom(rig.audio(), 0));
    EXPECT_GE(rig.audio().size(), 7 * ClaudeVoiceSession::kMicFrames);
}

TEST(ClaudeVoiceFinish, ASocketNotOpenEightSecondsAfterFinishFailsWithConnect) {
    for (bool connected : {true, false}) {
        SCOPED_TRACE(connected ? "socket silent" : "connect never called");
        VoiceRig rig;
        rig.endpoint(WsBehaviour::failing(sim::WsHandshake::silence));
        rig.startMic();
        if (connected) rig.connect();
        rig.finish();
        EXPECT_NEAR(rig.awaitFinish(), 8.0, 1e-6);
        EXPECT_EQ(rig.result(), tl::unexpected(ClaudeVoiceError::connect));
        EXPECT_TRUE(rig.failures.empty()) << "finish reports it, not onFailure";
    }
}

TEST(ClaudeVoiceFinish, AfterTheEndLateMessagesAndTimersDoNothing) {
    VoiceRig rig;
    rig.endpoint(WsBehaviour::accept({}, {onCloseStream({WsStep::text(0.1, message("TranscriptEndpoint"))})}));
    rig.startMic();
    rig.connect();
    rig.speak(0.5);
    rig.finish();
    rig.awaitFinish();
    ASSERT_EQ(rig.result(), "");
    const std::size_t texts = rig.texts.size();
    const std::size_t levels = rig.levels.size();
    const std::size_t frames = rig.connection().frames.size();
    EXPECT_FALSE(rig.server.sendText(0, transcript("TranscriptText", "late")));
    rig.speak(20.0);
    EXPECT_EQ(rig.texts.size(), texts);
    EXPECT_EQ(rig.levels.size(), levels) << "the microphone stopped";
    EXPECT_EQ(rig.connection().frames.size(), frames) << "no keep-alive after the end";
    EXPECT_EQ(rig.mic.runningCaptures(), 0u);
    EXPECT_TRUE(rig.failures.empty());
}

TEST(ClaudeVoiceFinish, CancelWhileConnectingEndsAWaitingFinishWithConnectAndSilencesCallbacks) {
    VoiceRig rig;
    rig.endpoint(WsBehaviour::failing(sim::WsHandshake::accept, 2.0));
    rig.startMic();
    rig.connect();
    rig.finish();
    rig.loop.runFor(0.5);
    rig.session->cancel();
    EXPECT_LT(rig.awaitFinish(), 0.01);
    EXPECT_EQ(rig.result(), tl::unexpected(ClaudeVoiceError::connect));
    rig.speak(5.0);
    EXPECT_TRUE(rig.failures.empty());
    EXPECT_TRUE(rig.texts.empty());
    EXPECT_EQ(rig.server.connections()[0].state, sim::WsConnectionState::abandoned);
}

TEST(ClaudeVoiceFinish, CancelWhileClosingStillHandsBackTheTextSoFar) {
    VoiceRig rig;
    rig.endpoint(WsBehaviour::accept({WsStep::text(0.1, transcript("TranscriptInterim", "kept"))}));
    rig.startMic();
    rig.connect();
    rig.speak(0.5);
    rig.finish();
    rig.loop.runFor(0.5);
    rig.session->cancel();
    EXPECT_LT(rig.awaitFinish(), 0.01);
    EXPECT_EQ(rig.result(), "kept");
}

TEST(ClaudeVoiceFinish, ASessionReleasedBeforeItsFinishWorkRunsEndsWithConnect) {
    VoiceRig rig;
    rig.endpoint(WsBehaviour::accept());
    rig.startMic();
    rig.connect();
    rig.finish();
    rig.loop.runFor(0.2);  // closing: "CloseStream" sent, the short wait running
    rig.session.reset();
    EXPECT_LT(rig.awaitFinish(), 0.01);
    EXPECT_EQ(rig.result(), tl::unexpected(ClaudeVoiceError::connect));
    EXPECT_EQ(rig.mic.runningCaptures(), 0u);
}

}  // namespace
}  // namespace veska::voicetest
