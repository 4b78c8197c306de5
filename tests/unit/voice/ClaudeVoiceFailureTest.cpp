// How a Claude dictation fails: the microphone, refused or lost sockets, error messages.
#include "unit/voice/VoiceRig.h"

namespace veska::voicetest {
namespace {

TEST(ClaudeVoiceFailure, AMicrophoneThatCannotBeOpenedThrowsNoMic) {
    struct Row {
        const char* name;
        std::optional<ports::AudioFormat> device;
        bool denied;
    };
    const std::vector<Row> rows = {
        {"no device", std::nullopt, false},
        {"denied", ports::AudioFormat{48000, 1, ports::SampleType::float32}, true},
        {"rate too low to convert", ports::AudioFormat{500, 1, ports::SampleType::float32}, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        VoiceRig rig;
        rig.mic.setDevice(row.device);
        rig.mic.setDenied(row.denied);
        try {
            rig.startMic();
            ADD_FAILURE() << "startMic succeeded";
        } catch (const ClaudeVoiceFailure& failure) {
            EXPECT_EQ(failure.error(), ClaudeVoiceError::noMic);
        }
        EXPECT_EQ(rig.mic.runningCaptures(), 0u);
    }
}

TEST(ClaudeVoiceFailure, RefusedOrFailedOpeningsBecomeNeedLoginOrConnect) {
    struct Row {
        const char* name;
        WsBehaviour behaviour;
        ClaudeVoiceError error;
    };
    const std::vector<Row> rows = {
        {"401", WsBehaviour::refuse(401), ClaudeVoiceError::needLogin},
        {"403", WsBehaviour::refuse(403, "<html>denied</html>"), ClaudeVoiceError::needLogin},
        {"500", WsBehaviour::refuse(500), ClaudeVoiceError::connect},
        {"reset during the upgrade", WsBehaviour::failing(sim::WsHandshake::drop, 0.5), ClaudeVoiceError::connect},
        {"TLS failure", WsBehaviour::failing(sim::WsHandshake::tlsFailure), ClaudeVoiceError::connect},
        {"no answer in 10 s", WsBehaviour::failing(sim::WsHandshake::silence), ClaudeVoiceError::connect},
    };
    for (const auto& row : rows) {
        for (bool finishWaiting : {false, true}) {
            SCOPED_TRACE(std::string(row.name) + (finishWaiting ? ", finish waiting" : ""));
            VoiceRig rig;
            rig.endpoint(row.behaviour);
            rig.startMic();
            rig.speak(0.5);
            if (finishWaiting) {
                rig.finish();
                rig.connect();
                rig.awaitFinish();
                EXPECT_EQ(rig.result(), tl::unexpected(row.error));
                EXPECT_TRUE(rig.failures.empty());
            } else {
                rig.connect();
                rig.speak(12.0);
                EXPECT_EQ(rig.failures, std::vector<ClaudeVoiceError>{row.error});
                // Audio after the failure is dropped, not kept: finish answers at once.
                rig.finish();
                EXPECT_LT(rig.awaitFinish(), 0.01);
                EXPECT_EQ(rig.result(), tl::unexpected(row.error));
                EXPECT_EQ(rig.failures.size(), 1u);
            }
        }
    }
}

TEST(ClaudeVoiceFailure, NoCredentialsFailBeforeConnecting) {
    {
        VoiceRig rig;
        rig.startMic();
        rig.session->failBeforeConnect(ClaudeVoiceError::needLogin);
        rig.speak(1.0);
        EXPECT_EQ(rig.failures, std::vector<ClaudeVoiceError>{ClaudeVoiceError::needLogin});
    }
    {
        VoiceRig rig;
        rig.startMic();
        rig.finish();
        rig.loop.runFor(1.0);
        rig.session->failBeforeConnect(ClaudeVoiceError::needLogin);
        rig.awaitFinish();
        EXPECT_EQ(rig.result(), tl::unexpected(ClaudeVoiceError::needLogin));
        EXPECT_TRUE(rig.failures.empty()) << "finish was waiting: it gets the failure instead";
    }
}

TEST(ClaudeVoiceFailure, LossAfterOpeningIsReportedOnceAndFinishKeepsTheTextSoFar) {
    VoiceRig rig;
    rig.endpoint(WsBehaviour::accept({WsStep::text(0.1, transcript("TranscriptText", "so far")),
                                      WsStep::text(0.1, message("error")), WsStep::text(0.1, message("TranscriptError")),
                                      WsStep::drop(0.5)}));
    rig.startMic();
    rig.connect();
    rig.speak(2.0);
    EXPECT_EQ(rig.failures, std::vector<ClaudeVoiceError>{ClaudeVoiceError::server}) << "one failure, the first";
    rig.finish();
    rig.awaitFinish();
    EXPECT_EQ(rig.result(), "so far");
    EXPECT_EQ(rig.failures.size(), 1u);
}

TEST(ClaudeVoiceFailure, ADroppedOpenSocketReportsConnect) {
    VoiceRig rig;
    rig.endpoint(WsBehaviour::accept({WsStep::close(1.0, 1011)}));
    rig.startMic();
    rig.connect();
    rig.speak(3.0);
    EXPECT_EQ(rig.failures, std::vector<ClaudeVoiceError>{ClaudeVoiceError::connect});
    EXPECT_EQ(rig.callbacksOffMain, 0);
}

TEST(ClaudeVoiceFailure, NothingIsReportedAfterCancel) {
    VoiceRig rig;
    rig.endpoint(WsBehaviour::accept({WsStep::text(1.0, transcript("TranscriptText", "late")), WsStep::drop(0.5)}));
    rig.startMic();
    rig.connect();
    rig.speak(0.5);
    const std::size_t levels = rig.levels.size();
    rig.session->cancel();
    rig.speak(3.0);
    EXPECT_TRUE(rig.texts.empty());
    EXPECT_TRUE(rig.failures.empty());
    EXPECT_EQ(rig.levels.size(), levels);
    EXPECT_EQ(rig.mic.runningCaptures(), 0u);
    EXPECT_EQ(rig.connection().state, sim::WsConnectionState::closedByClient);
    EXPECT_EQ(rig.frameKinds().back(), "close:1000");
}

}  // namespace
}  // namespace veska::voicetest
