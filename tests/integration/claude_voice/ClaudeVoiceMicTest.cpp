// A Claude dictation from a real microphone: PulseAudio (a private daemon the test plays a tone
// into) through the session's conversion and chunking, to the simulated voice stream, in real
// time on one loop.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "core/voice/ClaudeVoiceSession.h"
#include "support/PulseDaemon.h"
#include "platform/linux/audiocapture/PulseAudioCapture.h"
#include "platform/sim/SimWebSocketClient.h"
#include "platform/sim/SimWebSocketServer.h"
#include "runtime/RunLoop.h"
#include "runtime/Spawn.h"
#include "runtime/ThreadExecutor.h"

namespace veska {
namespace {

template <class T>
rt::ValueOf<T> run(rt::RunLoop& loop, rt::Task<T> task, double maxSeconds = 20) {
    auto handle = rt::spawn(loop, std::move(task));
    EXPECT_TRUE(loop.runUntil([&] { return handle.done(); }, maxSeconds));
    return handle.take();
}

std::vector<float> tone(double seconds, double hz, double amplitude) {
    const int rate = testing::PipeMicDaemon::kRate;
    std::vector<float> samples;
    for (int i = 0; i < static_cast<int>(seconds * rate); ++i) {
        const auto value = static_cast<float>(amplitude * std::sin(2 * std::numbers::pi * hz * i / rate));
        samples.push_back(value);
        samples.push_back(value);
    }
    return samples;
}

TEST(ClaudeVoiceMic, ATonePlayedIntoTheMicrophoneReachesTheStreamAsSixteenKilohertzAudio) {
    testing::PipeMicDaemon daemon;
    rt::RunLoop loop;
    platform::PulseAudioCapture mic(daemon.server());
    sim::SimWebSocketServer server("wss://claude.test");
    server.endpoint({std::string(ClaudeVoiceSession::kStreamPath), std::nullopt, {sim::WsBehaviour::accept()}});
    sim::SimWebSocketClient client(loop);
    client.attach(server);
    std::vector<float> levels;
    {
        ClaudeVoiceSession session({loop, loop, mic, client, "https://claude.test"});
        session.onLevel = [&](float level) { levels.push_back(level); };
        run(loop, session.startMic());
        session.connect("sessionKey=k", std::nullopt, "vi");
        daemon.play(tone(1.5, 440, 0.5));
        loop.runFor(2.0);
        auto result = run(loop, session.finish());
        EXPECT_EQ(result, "");
    }
    loop.runFor(0.1);
    ASSERT_EQ(server.connections().size(), 1u);
    std::vector<std::int16_t> audio;
    std::size_t messages = 0;
    for (const auto& frame : server.connections()[0].frames) {
        if (frame.kind != sim::WsFrameKind::binary) continue;
        ++messages;
        for (std::size_t b = 0; b + 1 < frame.data.size(); b += 2) {
            audio.push_back(static_cast<std::int16_t>(static_cast<std::uint8_t>(frame.data[b]) |
                                                      (static_cast<std::uint8_t>(frame.data[b + 1]) << 8)));
        }
    }
    // Two seconds and more at 16 kHz (the capture runs from the opening to the finish), in
    // messages of at least 100 ms.
    EXPECT_GT(audio.size(), 28000u);
    EXPECT_LT(audio.size(), 64000u);
    EXPECT_LE(messages, audio.size() * 2 / ClaudeVoiceSession::kChunkBytes + 1);
    // Find the loudest 0.25 s: the tone, at its level and its pitch.
    const std::size_t window = 4000;
    std::size_t best = 0;
    double bestSquares = 0;
    for (std::size_t start = 0; start + window <= audio.size(); start += 500) {
        double squares = 0;
        for (std::size_t i = start; i < start + window; ++i) squares += std::pow(audio[i] / 32768.0, 2);
        if (squares > bestSquares) {
            bestSquares = squares;
            best = start;
        }
    }
    EXPECT_NEAR(std::sqrt(bestSquares / window), 0.5 / std::sqrt(2.0), 0.02);
    int crossings = 0;
    for (std::size_t i = best + 1; i < best + window; ++i) crossings += (audio[i - 1] < 0) != (audio[i] < 0);
    EXPECT_NEAR(crossings / 2.0 / 0.25, 440, 10);
    ASSERT_FALSE(levels.empty());
    EXPECT_FLOAT_EQ(*std::max_element(levels.begin(), levels.end()), 1.0F);  // 2.4 × √0.35 tops the meter
}

TEST(ClaudeVoiceMic, TheSessionRunsOnAThreadOfItsOwnAndCallsBackOnTheMainLoop) {
    testing::PipeMicDaemon daemon;
    rt::RunLoop loop;
    platform::PulseAudioCapture mic(daemon.server());
    sim::SimWebSocketClient unused(loop);
    rt::ThreadExecutor queue{std::string(ClaudeVoiceSession::kQueueLabel)};
    int offMain = 0;
    std::vector<float> levels;
    std::vector<ClaudeVoiceError> failures;
    {
        ClaudeVoiceSession session({loop, queue, mic, unused, "https://claude.test"});
        session.onLevel = [&](float level) {
            offMain += loop.isCurrent() ? 0 : 1;
            levels.push_back(level);
        };
        session.onFailure = [&](ClaudeVoiceError error) {
            offMain += loop.isCurrent() ? 0 : 1;
            failures.push_back(error);
        };
        run(loop, session.startMic());
        daemon.play(tone(0.5, 300, 0.1));
        loop.runFor(0.6);
        session.failBeforeConnect(ClaudeVoiceError::needLogin);
        loop.runFor(0.2);
        EXPECT_EQ(run(loop, session.finish()), tl::unexpected(ClaudeVoiceError::needLogin));
    }
    // A session dropped while its microphone runs lets go of it on its own queue.
    {
        ClaudeVoiceSession session({loop, queue, mic, unused, "https://claude.test"});
        run(loop, session.startMic());
        loop.runFor(0.2);
    }
    loop.runFor(0.3);
    EXPECT_EQ(offMain, 0);
    EXPECT_GE(levels.size(), 5u);
    EXPECT_EQ(failures, std::vector<ClaudeVoiceError>{ClaudeVoiceError::needLogin});
}

}  // namespace
}  // namespace veska
