// A Claude voice session on the simulated microphone and network, in virtual time.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/voice/ClaudeVoiceSession.h"
#include "platform/sim/SimAudioCapture.h"
#include "platform/sim/SimWebSocketClient.h"
#include "platform/sim/SimWebSocketServer.h"
#include "runtime/Spawn.h"
#include "runtime/VirtualLoop.h"

namespace veska::voicetest {

using sim::WsBehaviour;
using sim::WsReaction;
using sim::WsStep;

inline std::string transcript(std::string_view type, std::string_view data) {
    return R"({"type":")" + std::string(type) + R"(","data":")" + std::string(data) + R"("})";
}
inline std::string message(std::string_view type) { return R"({"type":")" + std::string(type) + R"("})"; }

inline const std::string kKeepAlive = R"({"type":"KeepAlive"})";
inline const std::string kCloseStream = R"({"type":"CloseStream"})";

/// The microphone hears 16 kHz mono by default, so its samples reach the socket unchanged:
/// sample n of what it heard is `n % kRamp`, which lets a test see order, gaps and drops.
struct VoiceRig {
    static constexpr int kRamp = 30000;

    rt::VirtualLoop loop;
    sim::SimAudioCapture mic{loop.lane("audio")};
    sim::SimWebSocketServer server{"wss://claude.test"};
    sim::SimWebSocketClient client{loop.lane("network")};
    std::unique_ptr<ClaudeVoiceSession> session;
    std::vector<std::string> texts;
    std::vector<ClaudeVoiceError> failures;
    std::vector<float> levels;
    int callbacksOffMain = 0;
    std::uint64_t heard = 0;  // samples fed so far
    rt::JoinHandle<ClaudeVoiceSession::Result> finishing;

    VoiceRig() {
        client.attach(server);
        mic.setDevice(ports::AudioFormat{16000, 1, ports::SampleType::float32});
        session = std::make_unique<ClaudeVoiceSession>(
            ClaudeVoiceServices{loop.main(), loop.lane("veska.claude-voice"), mic, client, "https://claude.test"});
        session->onText = [this](const std::string& text) {
            noteThread();
            texts.push_back(text);
        };
        session->onFailure = [this](ClaudeVoiceError error) {
            noteThread();
            failures.push_back(error);
        };
        session->onLevel = [this](float level) {
            noteThread();
            levels.push_back(level);
        };
    }
    ~VoiceRig() {
        finishing = {};
        session.reset();
        loop.runUntilIdle();
    }
    VoiceRig(const VoiceRig&) = delete;
    VoiceRig& operator=(const VoiceRig&) = delete;

    void noteThread() {
        if (!loop.main().isCurrent()) ++callbacksOffMain;
    }

    /// The voice stream accepts every connection with `behaviour`.
    void endpoint(WsBehaviour behaviour) {
        server.endpoint({std::string(ClaudeVoiceSession::kStreamPath), std::nullopt, {std::move(behaviour)}});
    }

    void startMic() { loop.run(session->startMic()); }
    /// Feeds `seconds` of the ramp to the microphone (at its rate) and lets them pass.
    void speak(double seconds) {
        const auto count = static_cast<std::size_t>(seconds * 16000);
        std::vector<float> samples(count);
        for (auto& s : samples) s = static_cast<float>(heard++ % kRamp) / 32768.0F;
        mic.feed(samples);
        loop.runFor(seconds);
    }
    void connect(std::optional<std::string> organization = std::nullopt) {
        session->connect("sessionKey=sk-secret; lastActiveOrg=org-1", organization, "en");
        loop.runUntilIdle();
    }
    void finish() { finishing = rt::spawn(loop.main(), session->finish()); }
    /// Runs until `finish` has answered; the virtual seconds it took from now.
    double awaitFinish(double maxSeconds = 60) {
        const double start = loop.now();
        EXPECT_TRUE(loop.runUntil([&] { return finishing.done(); }, maxSeconds)) << "finish did not end";
        return loop.now() - start;
    }
    ClaudeVoiceSession::Result result() { return finishing.take(); }

    [[nodiscard]] const sim::RecordedWsConnection& connection(std::size_t i = 0) const {
        return server.connections().at(i);
    }
    /// Every frame the server received, as "text" or "bin:<bytes>".
    [[nodiscard]] std::vector<std::string> frameKinds(std::size_t i = 0) const {
        std::vector<std::string> out;
        for (const auto& f : connection(i).frames) {
            if (f.kind == sim::WsFrameKind::text) out.push_back(f.data);
            if (f.kind == sim::WsFrameKind::binary) out.push_back("bin:" + std::to_string(f.data.size()));
            if (f.kind == sim::WsFrameKind::close) out.push_back("close:" + std::to_string(f.closeCode));
        }
        return out;
    }
    /// The audio the server received, as samples.
    [[nodiscard]] std::vector<std::int16_t> audio(std::size_t i = 0) const {
        std::vector<std::int16_t> out;
        for (const auto& f : connection(i).frames) {
            if (f.kind != sim::WsFrameKind::binary) continue;
            for (std::size_t b = 0; b + 1 < f.data.size(); b += 2) {
                const auto lo = static_cast<std::uint8_t>(f.data[b]);
                const auto hi = static_cast<std::uint8_t>(f.data[b + 1]);
                out.push_back(static_cast<std::int16_t>(static_cast<std::uint16_t>(lo | (hi << 8))));
            }
        }
        return out;
    }
};

/// True when `samples` continue the ramp from sample `first` without a gap.
inline bool isRampFrom(const std::vector<std::int16_t>& samples, std::uint64_t first) {
    for (std::size_t i = 0; i < samples.size(); ++i) {
        if (samples[i] != static_cast<std::int16_t>((first + i) % VoiceRig::kRamp)) return false;
    }
    return true;
}

}  // namespace veska::voicetest
