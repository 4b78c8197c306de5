// The voice stream's converter: frame counts, down-mixing, the filter and the level.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "core/voice/VoiceConverter.h"

namespace veska {
namespace {

using ports::AudioBuffer;
using ports::AudioFormat;
using ports::SampleType;

/// `frames` frames of a sine of `hz` at `amplitude` in every channel, continuing from `first`.
AudioBuffer sine(const AudioFormat& format, std::uint64_t first, std::size_t frames, double hz, double amplitude) {
    std::vector<float> samples;
    for (std::size_t f = 0; f < frames; ++f) {
        const double t = static_cast<double>(first + f) / format.sampleRate;
        const auto value = static_cast<float>(amplitude * std::sin(2 * std::numbers::pi * hz * t));
        for (int c = 0; c < format.channels; ++c) samples.push_back(value);
    }
    return AudioBuffer{format, first, std::move(samples)};
}

double rms(const std::vector<std::int16_t>& samples, std::size_t from) {
    double sum = 0;
    for (std::size_t i = from; i < samples.size(); ++i) sum += std::pow(samples[i] / 32768.0, 2);
    return std::sqrt(sum / static_cast<double>(samples.size() - from));
}

/// Converts `buffers` buffers of 2048 frames of a sine; every output sample, in order.
std::vector<std::int16_t> convertSine(const AudioFormat& format, double hz, double amplitude, int buffers,
                                      std::vector<std::size_t>* sizes = nullptr) {
    auto converter = VoiceConverter::make(format);
    EXPECT_TRUE(converter.has_value());
    std::vector<std::int16_t> all;
    for (int b = 0; b < buffers; ++b) {
        auto out = converter->convert(sine(format, static_cast<std::uint64_t>(b) * 2048, 2048, hz, amplitude));
        EXPECT_TRUE(out.has_value());
        if (sizes) sizes->push_back(out->size());
        all.insert(all.end(), out->begin(), out->end());
    }
    return all;
}

TEST(VoiceConverter, CapacityFollowsTheRateRatioPlusSixtyFour) {
    EXPECT_EQ(VoiceConverter::capacity(48000, 2048), 746u);  // 682.67 + 64, truncated
    EXPECT_EQ(VoiceConverter::capacity(44100, 2048), 807u);  // 743.04 + 64
    EXPECT_EQ(VoiceConverter::capacity(16000, 2048), 2112u);
    EXPECT_EQ(VoiceConverter::capacity(8000, 2048), 4160u);
    EXPECT_EQ(VoiceConverter::capacity(48000, 0), 64u);
}

TEST(VoiceConverter, FrameCountsStayExactOverALongCapture) {
    for (double rate : {48000.0, 44100.0, 22050.0, 16000.0, 8000.0}) {
        const AudioFormat format{rate, 2, SampleType::float32};
        std::vector<std::size_t> sizes;
        const int buffers = 60;  // about 2.6 s at 48 kHz
        auto all = convertSine(format, 440, 0.3, buffers, &sizes);
        for (std::size_t size : sizes) EXPECT_LE(size, VoiceConverter::capacity(rate, 2048)) << rate;
        // Output frame k stands at input time k × rate/16000; it is made once the filter has
        // every frame it reaches, so the count lags the ideal by at most the filter's reach.
        const double ideal = buffers * 2048.0 * 16000.0 / rate;
        EXPECT_LE(static_cast<double>(all.size()), ideal + 1) << rate;
        EXPECT_GE(static_cast<double>(all.size()), ideal - 40) << rate;
    }
}

TEST(VoiceConverter, SpeechBandPassesAndWhatCannotBeRepresentedIsFilteredOut) {
    const AudioFormat format{48000, 2, SampleType::float32};
    struct Row {
        double hz;
        double minRms;
        double maxRms;
    };
    const double full = 0.5 / std::sqrt(2.0);
    const std::vector<Row> rows = {
        {300, full * 0.97, full * 1.03},
        {3000, full * 0.97, full * 1.03},
        {6000, full * 0.97, full * 1.03},
        {9000, 0, full * 0.01},
        {12000, 0, full * 0.01},  // would alias to 4 kHz
        {20000, 0, full * 0.01},
    };
    for (const auto& row : rows) {
        const double measured = rms(convertSine(format, row.hz, 0.5, 20), 200);
        EXPECT_GE(measured, row.minRms) << row.hz;
        EXPECT_LE(measured, row.maxRms) << row.hz;
    }
}

TEST(VoiceConverter, ChannelsAreMixedDownToTheirMean) {
    const AudioFormat stereo{16000, 2, SampleType::int16};
    auto converter = VoiceConverter::make(stereo);
    ASSERT_TRUE(converter);
    std::vector<std::int16_t> samples;
    for (int f = 0; f < 2048; ++f) {
        samples.push_back(1000);
        samples.push_back(-3000);
    }
    auto out = converter->convert(AudioBuffer{stereo, 0, samples});
    ASSERT_TRUE(out);
    ASSERT_EQ(out->size(), 2048u);
    EXPECT_EQ((*out)[100], -1000);
}

TEST(VoiceConverter, FloatsBeyondFullScaleAreClipped) {
    const AudioFormat mono{16000, 1, SampleType::float32};
    auto converter = VoiceConverter::make(mono);
    auto out = converter->convert(AudioBuffer{mono, 0, std::vector<float>{2.0F, -2.0F, 0.5F, -1.0F}});
    ASSERT_TRUE(out);
    EXPECT_EQ(*out, (std::vector<std::int16_t>{32767, -32768, 16384, -32768}));
}

TEST(VoiceConverter, UnusableFormatsAndForeignBuffersAreRefused) {
    EXPECT_FALSE(VoiceConverter::make({0, 1, SampleType::float32}));
    EXPECT_FALSE(VoiceConverter::make({48000, 0, SampleType::float32}));
    EXPECT_FALSE(VoiceConverter::make({NAN, 1, SampleType::float32}));
    EXPECT_FALSE(VoiceConverter::make({2e6, 1, SampleType::float32}));
    auto converter = VoiceConverter::make({48000, 1, SampleType::float32});
    ASSERT_TRUE(converter);
    EXPECT_FALSE(converter->convert(AudioBuffer{{44100, 1, SampleType::float32}, 0, std::vector<float>(2048)}));
    // A buffer whose samples are not of its format's type.
    EXPECT_FALSE(converter->convert(AudioBuffer{{48000, 1, SampleType::float32}, 0, std::vector<std::int16_t>(2048)}));
}

TEST(VoiceConverter, LevelIsTwoPointFourTimesTheRootOfTheRms) {
    struct Row {
        std::vector<std::int16_t> samples;
        float level;
    };
    const std::vector<Row> rows = {
        {{}, 0},
        {{0, 0, 0}, 0},
        {{328, -328}, static_cast<float>(2.4 * std::sqrt(328 / 32768.0))},
        {{3277, 3277}, static_cast<float>(2.4 * std::sqrt(3277 / 32768.0))},
        {{32767, -32768}, 1},
        {{8192, 8192}, 1},  // 2.4 × 0.5 is past the top
    };
    for (const auto& row : rows) EXPECT_NEAR(VoiceConverter::level(row.samples), row.level, 1e-5);
}

}  // namespace
}  // namespace veska
