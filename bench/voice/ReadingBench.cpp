// Read-aloud costs per second of speech: cutting streamed PCM into scheduled buffers with
// their levels and played-back notices, and stretching it to 1.5× with the pitch kept.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/voice/PCMStreamPlayer.h"
#include "platform/linux/audioplayer/TempoStretcher.h"
#include "runtime/VirtualLoop.h"

using namespace veska;

namespace {

constexpr std::size_t kSamplesPerSecond = 24'000;
/// Network pieces as they come from the speech endpoint (odd, so samples are cut).
constexpr std::size_t kPieceBytes = 4801;

/// One second of speech-like PCM bytes.
std::string secondOfSpeech() {
    std::string out;
    for (std::size_t i = 0; i < kSamplesPerSecond; ++i) {
        const double envelope = 0.5 + 0.5 * std::sin(static_cast<double>(i) * 0.0007);
        const auto sample = static_cast<std::int16_t>(9000 * envelope * std::sin(static_cast<double>(i) * 0.13));
        const auto u = static_cast<std::uint16_t>(sample);
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>(u >> 8);
    }
    return out;
}

/// A playback that keeps the notices of what it was given, so the benchmark can play them.
class HeldPlayback final : public ports::AudioPlayback {
public:
    std::vector<std::function<void()>> notices;

    ports::AudioFormat format() const override { return PCMStreamPlayer::format; }
    bool schedule(std::vector<float> samples, std::function<void()> onPlayed) override {
        benchmark::DoNotOptimize(samples.data());
        notices.push_back(std::move(onPlayed));
        return true;
    }
    void setRate(double /*rate*/) override {}
    double rate() const override { return 1.0; }
    void pause() override {}
    void resume() override {}
    bool paused() const override { return false; }
    void setVolume(double /*volume*/) override {}
    void stop() override {}
    std::size_t pending() const override { return notices.size(); }
};

class HeldSpeakers final : public ports::AudioPlayer {
public:
    HeldPlayback* last = nullptr;
    rt::Task<std::unique_ptr<ports::AudioPlayback>> start(ports::AudioFormat /*format*/, double /*rate*/) override {
        auto playback = std::make_unique<HeldPlayback>();
        last = playback.get();
        co_return playback;
    }
};

rt::Task<void> open(PCMStreamPlayer* player) {
    co_await player->start(1.0);
}

/// One second of streamed speech through the player: appends in network pieces (conversion,
/// 50 ms buffers, levels), then the played-back notice of every buffer (levels to the HUD).
void playerSchedulingPerSecondOfSpeech(benchmark::State& state) {
    const std::string speech = secondOfSpeech();
    rt::VirtualLoop loop;
    HeldSpeakers speakers;
    double lastLevel = 0;
    std::size_t buffers = 0;
    for (auto _ : state) {
        PCMStreamPlayer player(speakers);
        player.onLevel = [&](double level) { lastLevel = level; };
        loop.run(open(&player));
        for (std::size_t at = 0; at < speech.size(); at += kPieceBytes) {
            player.append(std::string_view(speech).substr(at, kPieceBytes));
        }
        buffers = speakers.last->notices.size();
        for (auto& notice : speakers.last->notices) notice();
        benchmark::DoNotOptimize(lastLevel);
    }
    state.counters["buffers"] = static_cast<double>(buffers);
    state.SetLabel("per second of speech");
}
BENCHMARK(playerSchedulingPerSecondOfSpeech)->Unit(benchmark::kMicrosecond);

/// One second of speech through SoundTouch at 1.5×, fed 10 ms at a time as the speakers do.
void tempoOneAndAHalfPerSecondOfSpeech(benchmark::State& state) {
    const std::string bytes = secondOfSpeech();
    std::vector<float> speech(kSamplesPerSecond);
    for (std::size_t i = 0; i < kSamplesPerSecond; ++i) {
        const auto u = static_cast<std::uint16_t>(static_cast<std::uint8_t>(bytes[2 * i]) |
                                                  (static_cast<std::uint8_t>(bytes[2 * i + 1]) << 8));
        speech[i] = static_cast<float>(static_cast<std::int16_t>(u)) / 32768.0F;
    }
    platform::TempoStretcher stretcher(1, kSamplesPerSecond, 1.5);
    std::vector<float> out(kSamplesPerSecond);
    std::size_t produced = 0;
    for (auto _ : state) {
        for (std::size_t at = 0; at < speech.size(); at += 240) {
            stretcher.put(speech.data() + at, 240);
            produced += stretcher.take(out.data(), out.size());
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["out/in"] = static_cast<double>(produced) /
                               (static_cast<double>(state.iterations()) * static_cast<double>(kSamplesPerSecond));
    state.SetLabel("per second of speech");
}
BENCHMARK(tempoOneAndAHalfPerSecondOfSpeech)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
