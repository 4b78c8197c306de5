// The voice stream's converter: one second of microphone audio down to 16 kHz mono 16-bit.
// Real time needs far less than a second per second; the dictation runs it on its own queue.
#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>

#include "core/voice/VoiceConverter.h"

namespace {

using veska::VoiceConverter;
using veska::ports::AudioBuffer;
using veska::ports::AudioFormat;
using veska::ports::SampleType;

void convertOneSecond(benchmark::State& state) {
    const AudioFormat format{static_cast<double>(state.range(0)), static_cast<int>(state.range(1)), SampleType::float32};
    constexpr std::size_t kFrames = 2048;
    const auto buffers = static_cast<std::size_t>(std::ceil(format.sampleRate / kFrames));
    std::vector<float> samples(kFrames * static_cast<std::size_t>(format.channels));
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<float>(0.3 * std::sin(2 * std::numbers::pi * 440.0 * static_cast<double>(i) / format.sampleRate));
    }
    for (auto _ : state) {
        auto converter = VoiceConverter::make(format);
        std::size_t frames = 0;
        for (std::size_t b = 0; b < buffers; ++b) {
            auto out = converter->convert(AudioBuffer{format, b * kFrames, samples});
            frames += out->size();
            benchmark::DoNotOptimize(VoiceConverter::level(*out));
        }
        benchmark::DoNotOptimize(frames);
    }
    state.SetLabel("one second of audio per iteration");
}

BENCHMARK(convertOneSecond)->Args({48000, 2})->Args({44100, 1})->Args({16000, 1})->Unit(benchmark::kMillisecond);

}  // namespace
BENCHMARK_MAIN();
