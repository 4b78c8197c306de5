// Contract of the AudioCapture port: buffer size and format, conversion, stop, bad requests.
// Instantiate with a factory type whose static make() returns an AudioCaptureContractEnv.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "contract/ContractEnv.h"
#include "ports/AudioCapture.h"

namespace veska::contract {

/// A capture port and a way to make its microphone hear sound.
class AudioCaptureContractEnv : public ContractEnv {
public:
    virtual ports::AudioCapture& capture() = 0;
    /// The microphone's own format (float samples).
    virtual ports::AudioFormat micFormat() = 0;
    /// Makes the microphone hear these interleaved float samples in `micFormat()`.
    virtual void play(const std::vector<float>& samples) = 0;
};

namespace capture {

struct Taken {
    ports::AudioFormat streamFormat;
    std::vector<ports::AudioBuffer> buffers;
    bool endedAfterStop = false;
};

/// Starts a capture, takes `count` buffers, stops, then drains what is left.
inline rt::Task<Taken> take(ports::AudioCapture* capture, ports::AudioCaptureRequest request, std::size_t count) {
    std::unique_ptr<ports::AudioCaptureStream> stream = co_await capture->start(request);
    Taken taken{stream->format(), {}, false};
    while (taken.buffers.size() < count) {
        std::optional<ports::AudioBuffer> buffer = co_await stream->next();
        if (!buffer) co_return taken;
        taken.buffers.push_back(std::move(*buffer));
    }
    stream->stop();
    for (int guard = 0; guard < 10000; ++guard) {
        std::optional<ports::AudioBuffer> rest = co_await stream->next();
        if (!rest) {
            taken.endedAfterStop = true;
            break;
        }
    }
    co_return taken;
}

inline std::vector<float> constant(float value, std::size_t frames, int channels) {
    return std::vector<float>(frames * static_cast<std::size_t>(channels), value);
}

}  // namespace capture

template <class Factory>
class AudioCaptureContract : public ::testing::Test {
protected:
    std::unique_ptr<AudioCaptureContractEnv> env_ = Factory::make();
    AudioCaptureContractEnv& env() { return *env_; }
    ports::AudioCapture* capture() { return &env_->capture(); }
};

TYPED_TEST_SUITE_P(AudioCaptureContract);

TYPED_TEST_P(AudioCaptureContract, BuffersHaveTheAskedSizeFormatAndPositions) {
    using ports::AudioFormat;
    using ports::SampleType;
    struct Row {
        std::optional<AudioFormat> format;
        std::size_t frames;
    };
    const std::vector<Row> rows = {
        {AudioFormat{16000, 1, SampleType::int16}, 2048},
        {AudioFormat{48000, 2, SampleType::float32}, 2048},
        {AudioFormat{24000, 1, SampleType::float32}, 512},
        {std::nullopt, 2048},
    };
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const AudioFormat expected = rows[i].format.value_or(this->env().micFormat());
        auto taken = runTask(this->env(), capture::take(this->capture(), {rows[i].format, rows[i].frames}, 3));
        EXPECT_EQ(taken.streamFormat, expected) << "row " << i;
        ASSERT_EQ(taken.buffers.size(), 3u) << "row " << i;
        for (std::size_t b = 0; b < taken.buffers.size(); ++b) {
            const auto& buffer = taken.buffers[b];
            EXPECT_EQ(buffer.format, expected) << "row " << i;
            EXPECT_EQ(buffer.frames(), rows[i].frames) << "row " << i;
            EXPECT_EQ(buffer.sampleCount(), rows[i].frames * static_cast<std::size_t>(expected.channels)) << "row " << i;
            EXPECT_EQ(buffer.ints() != nullptr, expected.sampleType == SampleType::int16) << "row " << i;
            EXPECT_EQ(buffer.firstFrame, b * rows[i].frames) << "row " << i << ": buffers follow each other";
        }
        EXPECT_TRUE(taken.endedAfterStop) << "row " << i;
    }
}

TYPED_TEST_P(AudioCaptureContract, SoundIsConvertedToTheAskedFormat) {
    const auto mic = this->env().micFormat();
    this->env().play(capture::constant(0.5F, static_cast<std::size_t>(mic.sampleRate), mic.channels));
    ports::AudioFormat want{16000, 1, ports::SampleType::int16};
    auto taken = runTask(this->env(), capture::take(this->capture(), {want, 2048}, 4));
    ASSERT_EQ(taken.buffers.size(), 4u);
    // Well inside the second of sound: every sample is the level played, as 16-bit PCM.
    const auto& middle = *taken.buffers[2].ints();
    for (std::size_t s = 0; s < middle.size(); ++s) {
        ASSERT_NEAR(middle[s], 16384, 330) << "sample " << s;
    }
}

TYPED_TEST_P(AudioCaptureContract, StoppingKeepsWhatWasCapturedThenEnds) {
    auto taken = runTask(this->env(), capture::take(this->capture(), {std::nullopt, 1024}, 1));
    EXPECT_EQ(taken.buffers.size(), 1u);
    EXPECT_TRUE(taken.endedAfterStop) << "after stop, next() ends instead of waiting forever";
}

TYPED_TEST_P(AudioCaptureContract, RequestsThatCannotBeMetFailWithBadFormat) {
    using ports::AudioFormat;
    const std::vector<ports::AudioCaptureRequest> rows = {
        {AudioFormat{0, 1, ports::SampleType::int16}, 2048},
        {AudioFormat{16000, 0, ports::SampleType::int16}, 2048},
        {AudioFormat{NAN, 1, ports::SampleType::float32}, 2048},
        {std::nullopt, 0},
    };
    for (std::size_t i = 0; i < rows.size(); ++i) {
        auto error = runForError<ports::AudioError>(this->env(), capture::take(this->capture(), rows[i], 1));
        ASSERT_TRUE(error.has_value()) << "row " << i;
        EXPECT_EQ(error->kind(), ports::AudioErrorKind::badFormat) << "row " << i;
    }
}

TYPED_TEST_P(AudioCaptureContract, AccessIsGrantedWhenTheMicrophoneOpens) {
    EXPECT_TRUE(runTask(this->env(), this->capture()->requestAccess()));
    auto format = runTask(this->env(), this->capture()->deviceFormat());
    ASSERT_TRUE(format.has_value());
    EXPECT_TRUE(format->valid());
}

REGISTER_TYPED_TEST_SUITE_P(AudioCaptureContract, BuffersHaveTheAskedSizeFormatAndPositions,
                            SoundIsConvertedToTheAskedFormat, StoppingKeepsWhatWasCapturedThenEnds,
                            RequestsThatCannotBeMetFailWithBadFormat, AccessIsGrantedWhenTheMicrophoneOpens);

}  // namespace veska::contract
