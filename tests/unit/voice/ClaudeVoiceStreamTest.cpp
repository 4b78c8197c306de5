// The voice stream while the user speaks: the request, audio before and after the opening,
// chunks, keep-alives, the level meter and the running transcript.
#include "unit/voice/VoiceRig.h"

namespace veska::voicetest {
namespace {

TEST(ClaudeVoiceRequest, CarriesTheQueryItemsInOrderAndTheBrowserHeaders) {
    const std::string base =
        "wss://claude.test/api/ws/speech_to_text/voice_stream?encoding=linear16&sample_rate=16000&channels=1"
        "&endpointing_ms=300&utterance_end_ms=1000&language=en-GB&use_conversation_engine=true"
        "&stt_provider=deepgram-nova3&client_platform=web_claude_ai";
    struct Row {
        std::string claudeURL;
        std::optional<std::string> organization;
        std::string url;
        std::string origin;
    };
    const std::vector<Row> rows = {
        {"https://claude.test", "org-1", base + "&organization_uuid=org-1", "https://claude.test"},
        {"https://claude.test/", std::nullopt, base, "https://claude.test"},
        {"https://claude.test", "", base, "https://claude.test"},
        {"http://127.0.0.1:8123", std::nullopt,
         "ws://127.0.0.1:8123" + base.substr(std::string("wss://claude.test").size()), "http://127.0.0.1:8123"},
        {"https://claude.test", "a b&c", base + "&organization_uuid=a%20b%26c", "https://claude.test"},
    };
    for (const auto& row : rows) {
        auto request = ClaudeVoiceSession::makeRequest(row.claudeURL, "sessionKey=k", row.organization, "en-GB");
        EXPECT_EQ(request.url, row.url);
        EXPECT_EQ(request.headers.fields(),
                  (std::vector<ports::HttpHeaders::Field>{
                      {"Cookie", "sessionKey=k"},
                      {"Origin", row.origin},
                      {"User-Agent",
                       "Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/605.1.15 (KHTML, like Gecko) "
                       "Version/17.0 Safari/605.1.15"}}));
        EXPECT_EQ(request.timeoutSeconds, 10);
    }
}

TEST(ClaudeVoiceSession, SpeechBeforeTheOpeningFollowsTheFirstKeepAliveInOrder) {
    VoiceRig rig;
    rig.endpoint(WsBehaviour::failing(sim::WsHandshake::accept, 0.7));
    rig.startMic();
    rig.speak(2.0);
    rig.connect("org-1");
    rig.speak(1.0);
    ASSERT_EQ(rig.server.connections().size(), 1u);
    const auto& seen = rig.connection();
    EXPECT_EQ(seen.path, ClaudeVoiceSession::kStreamPath);
    EXPECT_EQ(seen.headers.value("Cookie"), "sessionKey=sk-secret; lastActiveOrg=org-1");
    EXPECT_EQ(seen.headers.value("Origin"), "https://claude.test");
    ASSERT_GE(seen.frames.size(), 3u);
    EXPECT_EQ(seen.frames[0].data, kKeepAlive);
    for (std::size_t i = 1; i < seen.frames.size(); ++i) EXPECT_EQ(seen.frames[i].kind, sim::WsFrameKind::binary);
    // Nothing heard is lost or reordered, before or after the opening.
    const auto audio = rig.audio();
    ASSERT_GE(audio.size(), 40000u);
    EXPECT_TRUE(isRampFrom({audio.begin(), audio.begin() + 40000}, 0));
    EXPECT_EQ(rig.callbacksOffMain, 0);
}

TEST(ClaudeVoiceSession, AudioPilingUpBeforeTheOpeningKeepsTheNewestSixtySeconds) {
    VoiceRig rig;
    rig.endpoint(WsBehaviour::accept());
    rig.startMic();
    rig.speak(70.0);
    const std::uint64_t captured = (rig.heard / ClaudeVoiceSession::kMicFrames) * ClaudeVoiceSession::kMicFrames;
    rig.connect();
    ASSERT_EQ(rig.server.connections().size(), 1u);
    const auto& frames = rig.connection().frames;
    std::size_t queued = 0;
    for (const auto& f : frames) queued += f.kind == sim::WsFrameKind::binary ? f.data.size() : 0;
    EXPECT_LE(queued, ClaudeVoiceSession::kMaxPendingBytes);
    EXPECT_GT(queued, ClaudeVoiceSession::kMaxPendingBytes - 2 * ClaudeVoiceSession::kChunkBytes);
    // The oldest went first: what is left is the end of what was heard, without a gap.
    const auto audio = rig.audio();
    EXPECT_TRUE(isRampFrom(audio, captured - audio.size()));
}

TEST(ClaudeVoiceSession, AudioLeavesInChunksOfAtLeastAHundredMilliseconds) {
    VoiceRig rig;
    rig.mic.setDevice(ports::AudioFormat{48000, 2, ports::SampleType::float32});
    rig.endpoint(WsBehaviour::accept());
    rig.startMic();
    rig.connect();
    rig.mic.feed(std::vector<float>(48000 * 2 * 3, 0.25F));
    rig.loop.runFor(3.0);
    rig.finish();
    rig.awaitFinish();
    const auto kinds = rig.frameKinds();
    std::size_t binaries = 0;
    std::size_t bytes = 0;
    for (const auto& f : rig.connection().frames) {
        if (f.kind != sim::WsFrameKind::binary) continue;
        ++binaries;
        bytes += f.data.size();
        EXPECT_EQ(f.data.size() % 2, 0u);
    }
    const auto& frames = rig.connection().frames;
    for (std::size_t i = 0; i + 1 < frames.size(); ++i) {
        // Every message but the rest sent by finish holds at least 3200 bytes.
        if (frames[i].kind == sim::WsFrameKind::binary && frames[i + 1].kind == sim::WsFrameKind::binary) {
            EXPECT_GE(frames[i].data.size(), ClaudeVoiceSession::kChunkBytes);
        }
    }
    EXPECT_GE(binaries, 20u);
    // 16 kHz from 48 kHz: a third of the frames captured, two bytes each.
    const double captured = static_cast<double>(rig.levels.size() * ClaudeVoiceSession::kMicFrames);
    EXPECT_NEAR(static_cast<double>(bytes), captured / 3 * 2, 200);
    // The constant 0.25 arrives as about 8192 once the filter has filled.
    const auto audio = rig.audio();
    ASSERT_GT(audio.size(), 20000u);
    EXPECT_NEAR(audio[20000], 8192, 80);
    // 2.4 × √0.25 is above the top of the meter.
    EXPECT_FLOAT_EQ(rig.levels.at(10), 1.0F);
}

TEST(ClaudeVoiceSession, TheMeterShowsEveryBufferOnTheMainExecutor) {
    VoiceRig rig;
    rig.startMic();
    rig.mic.feed(std::vector<float>(16000, 0.01F));
    rig.loop.runFor(1.0);
    ASSERT_EQ(rig.levels.size(), 7u);  // 1 s holds seven whole buffers of 2048 frames
    EXPECT_NEAR(rig.levels[3], 2.4 * std::sqrt(0.01), 0.002);
    EXPECT_EQ(rig.callbacksOffMain, 0);
}

TEST(ClaudeVoiceSession, KeepAlivesGoEveryEightSecondsUntilCloseStream) {
    VoiceRig rig;
    rig.endpoint(WsBehaviour::accept());
    rig.startMic();
    rig.connect();
    const double opened = rig.loop.now();
    rig.loop.runFor(20.0);
    rig.finish();
    rig.awaitFinish();
    rig.loop.runFor(20.0);
    std::vector<double> keepAlives;
    for (const auto& f : rig.connection().frames) {
        if (f.kind == sim::WsFrameKind::text && f.data == kKeepAlive) keepAlives.push_back(f.at - opened);
    }
    EXPECT_EQ(keepAlives, (std::vector<double>{0, 8, 16}));
    EXPECT_EQ(rig.connection().texts().back(), kCloseStream);
}

TEST(ClaudeVoiceSession, TranscriptsAssembleIntoOneRunningText) {
    VoiceRig rig;
    rig.endpoint(WsBehaviour::accept({
        WsStep::text(0.1, transcript("TranscriptInterim", "Hello")),
        WsStep::text(0.1, transcript("TranscriptInterim", "Hello wor")),
        WsStep::text(0.1, transcript("TranscriptText", "Hello world")),
        WsStep::text(0.1, message("TranscriptEndpoint")),
        WsStep::text(0.1, transcript("TranscriptInterim", "Hello world again")),  // repeats the committed words
        WsStep::text(0.1, transcript("TranscriptInterim", R"(and\tthen\n\nsome)")),
        WsStep::text(0.1, message("TranscriptEndpoint")),
        WsStep::text(0.1, transcript("TranscriptText", " spaced ")),
        WsStep::text(0.1, message("TranscriptEndpoint")),
    }));
    rig.startMic();
    rig.connect();
    rig.loop.runFor(2.0);
    EXPECT_EQ(rig.texts, (std::vector<std::string>{"Hello", "Hello wor", "Hello world", "Hello world",
                                                   "Hello world again", "Hello world and then some",
                                                   "Hello world and then some", "Hello world and then some spaced",
                                                   "Hello world and then some spaced"}));
}

TEST(ClaudeVoiceSession, MalformedAndUnknownMessagesAreIgnored) {
    VoiceRig rig;
    rig.endpoint(WsBehaviour::accept({
        WsStep::text(0.1, "not json"),
        WsStep::text(0.1, R"(["TranscriptText"])"),
        WsStep::text(0.1, R"({"data":"no type"})"),
        WsStep::text(0.1, R"({"type":7,"data":"x"})"),
        WsStep::text(0.1, R"({"type":"TranscriptText","data":42})"),
        WsStep::text(0.1, R"({"type":"TranscriptText"})"),
        WsStep::text(0.1, R"({"type":"SomethingNew","data":"x"})"),
        WsStep::binary(0.1, std::string("\xff\xfe", 2)),
        WsStep::binary(0.1, transcript("TranscriptText", "from binary")),
        WsStep::text(0.1, R"({"type":"TranscriptText","data":"caf\u00e9 \u0111\u00e3 n\u00f3i"})"),
    }));
    rig.startMic();
    rig.connect();
    rig.loop.runFor(2.0);
    EXPECT_EQ(rig.texts, (std::vector<std::string>{"from binary", "café đã nói"}));
    EXPECT_TRUE(rig.failures.empty());
}

}  // namespace
}  // namespace veska::voicetest
