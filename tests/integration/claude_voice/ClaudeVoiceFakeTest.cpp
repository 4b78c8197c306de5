// A Claude dictation end to end on real adapters: a tone played into a private PulseAudio
// daemon, the WebSocket client over Beast, and the loopback fake of the voice stream.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cmath>
#include <numbers>

#include "core/voice/ClaudeVoiceSession.h"
#include "support/PulseDaemon.h"
#include "platform/linux/audiocapture/PulseAudioCapture.h"
#include "platform/linux/websocket/BeastWebSocketClient.h"
#include "runtime/RunLoop.h"
#include "runtime/Spawn.h"
#include "support/FakeService.h"

namespace veska {
namespace {

TEST(ClaudeVoiceFake, ADictationThroughTheRealSocketGetsTheServicesWords) {
    testing::PipeMicDaemon daemon;
    testing::FakeService fake("claude-voice");
    rt::RunLoop loop;
    platform::PulseAudioCapture mic(daemon.server());
    platform::BeastWebSocketClient sockets;
    std::vector<std::string> texts;
    auto owned = std::make_unique<ClaudeVoiceSession>(ClaudeVoiceServices{loop, loop, mic, sockets, fake.baseUrl()});
    ClaudeVoiceSession& session = *owned;
    session.onText = [&](const std::string& text) { texts.push_back(text); };
    auto started = rt::spawn(loop, session.startMic());
    ASSERT_TRUE(loop.runUntil([&] { return started.done(); }, 10));
    started.take();
    session.connect("sessionKey=test-session; lastActiveOrg=org-7", std::string("org-7"), "vi");
    std::vector<float> tone;
    for (int i = 0; i < 48000 * 2; ++i) {
        const auto v = static_cast<float>(0.3 * std::sin(2 * std::numbers::pi * 440.0 * i / 48000));
        tone.push_back(v);
        tone.push_back(v);
    }
    daemon.play(tone);
    EXPECT_TRUE(loop.runUntil([&] { return texts.size() >= 3; }, 15)) << "no transcript from the fake";
    auto finishing = rt::spawn(loop, session.finish());
    ASSERT_TRUE(loop.runUntil([&] { return finishing.done(); }, 10));
    EXPECT_EQ(finishing.take(), "xin chào");
    EXPECT_EQ(texts.front(), "xin");
    EXPECT_EQ(texts.back(), "xin chào");
    auto record = nlohmann::json::parse(fake.get("/__fake/connections").body)["connections"].at(0);
    EXPECT_EQ(record["problems"], nlohmann::json::array()) << record["problems"].dump();
    EXPECT_EQ(record["query"].back(), (nlohmann::json::array({"organization_uuid", "org-7"})));
    EXPECT_EQ(record["messages"].at(0)["text"], R"({"type":"KeepAlive"})");
    EXPECT_EQ(record["messages"].back()["text"], R"({"type":"CloseStream"})");
    EXPECT_GE(record["audioBytes"].get<int>(), 32000);
    owned.reset();
    loop.runFor(0.2);  // the session's queue state is let go on the loop
}

TEST(ClaudeVoiceFake, ARefusedUpgradeIsNeedLoginOrConnect) {
    testing::PipeMicDaemon daemon;
    testing::FakeService fake("claude-voice");
    fake.post("/__fake/script", R"({"connections":[{"refuse":403},{"refuse":500}]})");
    rt::RunLoop loop;
    platform::PulseAudioCapture mic(daemon.server());
    platform::BeastWebSocketClient sockets;
    for (auto expected : {ClaudeVoiceError::needLogin, ClaudeVoiceError::connect, ClaudeVoiceError::needLogin}) {
        std::vector<ClaudeVoiceError> failures;
        ClaudeVoiceSession session({loop, loop, mic, sockets, fake.baseUrl()});
        session.onFailure = [&](ClaudeVoiceError error) { failures.push_back(error); };
        auto started = rt::spawn(loop, session.startMic());
        ASSERT_TRUE(loop.runUntil([&] { return started.done(); }, 10));
        session.connect("sessionKey=test-session", std::nullopt, "en");
        EXPECT_TRUE(loop.runUntil([&] { return !failures.empty(); }, 10));
        EXPECT_EQ(failures, std::vector<ClaudeVoiceError>{expected});
        // After the scripted refusals, the service no longer knows the session: its own 401.
        if (expected == ClaudeVoiceError::connect) fake.post("/__fake/session", R"({"sessionKey":"another"})");
    }
    loop.runFor(0.2);  // the last session's queue state is let go on the loop
}

}  // namespace
}  // namespace veska
