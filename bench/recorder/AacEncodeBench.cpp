// Cost of encoding a dictation take: seconds of 16 kHz mono speech-like audio to AAC in .m4a.
#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <vector>

#include "platform/linux/aac/AacFileWriter.h"

namespace {

void encodeTake(benchmark::State& state) {
    const int seconds = static_cast<int>(state.range(0));
    constexpr int kRate = 16000;
    constexpr std::size_t kPiece = 320;  // the 20 ms pieces the server delivers
    std::vector<float> audio(static_cast<std::size_t>(seconds) * kRate);
    for (std::size_t i = 0; i < audio.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        audio[i] = static_cast<float>(0.3 * std::sin(2 * M_PI * 220 * t) * (0.5 + 0.5 * std::sin(2 * M_PI * 3 * t)));
    }
    const auto path = std::filesystem::temp_directory_path() / "veska-bench-take.m4a";
    for (auto _ : state) {
        veska::platform::AacFileWriter writer(path.string(), kRate, 1, 32'000);
        for (std::size_t at = 0; at < audio.size(); at += kPiece) writer.write(audio.data() + at, kPiece);
        benchmark::DoNotOptimize(writer.finish());
    }
    std::filesystem::remove(path);
    state.counters["audio_seconds_per_second"] =
        benchmark::Counter(static_cast<double>(seconds) * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(encodeTake)->Arg(4)->Arg(60)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
