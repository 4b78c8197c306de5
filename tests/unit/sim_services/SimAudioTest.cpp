// What the simulated audio devices add to the contracts: timing, feeding, faults, records.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/sim/SimPcmConverter.h"
#include "unit/sim_services/SimAudioEnvs.h"

namespace veska::sim {
namespace {

using contract::runTask;
using ports::AudioFormat;
using ports::SampleType;

const AudioFormat kWanted{16000, 1, SampleType::int16};

rt::Task<std::unique_ptr<ports::AudioCaptureStream>> startCapture(ports::AudioCapture* mic, ports::AudioCaptureRequest request) {
    std::unique_ptr<ports::AudioCaptureStream> stream = co_await mic->start(request);
    co_return stream;
}

/// Reads buffers as they come, noting when each arrived.
rt::Task<void> readTimes(ports::AudioCaptureStream* stream, std::vector<double>* times, std::vector<ports::AudioBuffer>* out) {
    while (true) {
        std::optional<ports::AudioBuffer> buffer = co_await stream->next();
        if (!buffer) co_return;
        times->push_back((co_await rt::currentExecutor()).now());
        out->push_back(std::move(*buffer));
    }
}

TEST(SimAudioCapture, BuffersArriveAtTheRealRateOnceTheirSoundIsCaptured) {
    SimAudioCaptureEnv env;
    auto stream = runTask(env, startCapture(&env.capture(), {kWanted, 2048}));
    std::vector<double> times;
    std::vector<ports::AudioBuffer> buffers;
    auto reading = rt::spawn(env.executor(), readTimes(stream.get(), &times, &buffers));
    const double start = env.loop().now();
    env.advance(1.0);
    ASSERT_EQ(times.size(), 7u) << "2048 frames at 16 kHz last 0.128 s";
    for (std::size_t i = 0; i < times.size(); ++i) EXPECT_NEAR(times[i] - start, 0.128 * static_cast<double>(i + 1), 1e-9);
    stream->stop();
    env.advance(1.0);
    EXPECT_TRUE(reading.done());
    EXPECT_EQ(times.size(), 7u);
}

TEST(SimAudioCapture, FedSoundIsHeardInOrderThenSilence) {
    SimAudioCaptureEnv env;
    env.mic().setDevice(AudioFormat{16000, 1, SampleType::float32});
    std::vector<float> speech(3000);
    for (std::size_t i = 0; i < speech.size(); ++i) speech[i] = static_cast<float>(i % 100) / 200.0F;
    env.mic().feed(speech);  // before the capture starts: kept for it
    auto stream = runTask(env, startCapture(&env.capture(), {std::nullopt, 2048}));
    std::vector<double> times;
    std::vector<ports::AudioBuffer> buffers;
    auto reading = rt::spawn(env.executor(), readTimes(stream.get(), &times, &buffers));
    env.advance(0.3);
    ASSERT_EQ(buffers.size(), 2u);
    std::vector<float> heard = *buffers[0].floats();
    heard.insert(heard.end(), buffers[1].floats()->begin(), buffers[1].floats()->end());
    EXPECT_EQ(std::vector<float>(heard.begin(), heard.begin() + 3000), speech);
    EXPECT_EQ(std::vector<float>(heard.begin() + 3000, heard.end()), std::vector<float>(4096 - 3000, 0.0F));
}

TEST(SimAudioCapture, DeviceFaults) {
    struct Row {
        const char* name;
        std::function<void(SimAudioCapture&)> setUp;
        bool access;
        std::optional<ports::AudioErrorKind> startError;
    };
    const std::vector<Row> rows = {
        {"present", [](SimAudioCapture&) {}, true, std::nullopt},
        {"absent", [](SimAudioCapture& m) { m.setDevice(std::nullopt); }, false, ports::AudioErrorKind::noDevice},
        {"denied", [](SimAudioCapture& m) { m.setDenied(true); }, false, ports::AudioErrorKind::denied},
    };
    for (const auto& row : rows) {
        SimAudioCaptureEnv env;
        row.setUp(env.mic());
        EXPECT_EQ(runTask(env, env.capture().requestAccess()), row.access) << row.name;
        auto error = contract::runForError<ports::AudioError>(env, startCapture(&env.capture(), {kWanted, 2048}));
        EXPECT_EQ(error.has_value(), row.startError.has_value()) << row.name;
        if (error) EXPECT_EQ(error->kind(), *row.startError) << row.name;
    }
}

rt::Task<std::pair<std::size_t, bool>> readUntilLost(ports::AudioCaptureStream* stream) {
    std::size_t count = 0;
    try {
        while (true) {
            std::optional<ports::AudioBuffer> buffer = co_await stream->next();
            if (!buffer) co_return std::make_pair(count, false);
            ++count;
        }
    } catch (const ports::AudioError& error) {
        co_return std::make_pair(count, error.kind() == ports::AudioErrorKind::deviceLost);
    }
}

TEST(SimAudioCapture, UnpluggingFailsTheCaptureAfterWhatWasTaken) {
    SimAudioCaptureEnv env;
    auto stream = runTask(env, startCapture(&env.capture(), {kWanted, 2048}));
    env.advance(0.3);
    env.mic().unplug();
    EXPECT_EQ(env.mic().runningCaptures(), 0u);
    auto [count, lost] = runTask(env, readUntilLost(stream.get()));
    EXPECT_EQ(count, 2u);
    EXPECT_TRUE(lost);
}

TEST(SimAudioCapture, AReaderFarBehindLosesTheOldestBuffersAndIsTold) {
    SimAudioCaptureEnv env;
    auto stream = runTask(env, startCapture(&env.capture(), {kWanted, 2048}));
    const std::size_t extra = 10;
    env.advance(0.128 * static_cast<double>(ports::kMaxQueuedCaptureBuffers + extra) + 0.01);
    EXPECT_EQ(stream->droppedFrames(), extra * 2048);
    auto first = runTask(env, stream->next());
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->firstFrame, extra * 2048) << "the oldest were dropped, not the newest";
}

TEST(SimPcmConverter, MixesResamplesAndClamps) {
    struct Row {
        AudioFormat in;
        AudioFormat out;
        std::vector<float> fed;
        std::size_t frames;
        std::vector<float> expectedFloats;
        std::vector<std::int16_t> expectedInts;
    };
    const std::vector<Row> rows = {
        {{8000, 2, SampleType::float32}, {8000, 1, SampleType::float32}, {1, 0, 0.5F, 0.5F}, 2, {0.5F, 0.5F}, {}},
        {{8000, 1, SampleType::float32}, {8000, 2, SampleType::float32}, {0.25F}, 1, {0.25F, 0.25F}, {}},
        {{8000, 1, SampleType::float32}, {16000, 1, SampleType::float32}, {0, 1, 0}, 4, {0, 0.5F, 1, 0.5F}, {}},
        {{16000, 1, SampleType::float32}, {8000, 1, SampleType::float32}, {0, 9, 1, 9, 2}, 3, {0, 1, 2}, {}},
        {{8000, 1, SampleType::float32}, {8000, 1, SampleType::int16}, {1.5F, -1.5F, 0.5F, -1}, 5, {},
         {32767, -32768, 16384, -32768, 0}},
    };
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SimPcmConverter converter(rows[i].in, rows[i].out);
        converter.push(rows[i].fed);
        ports::AudioBuffer buffer = converter.take(rows[i].frames);
        EXPECT_EQ(buffer.frames(), rows[i].frames) << "row " << i;
        if (!rows[i].expectedFloats.empty()) EXPECT_EQ(*buffer.floats(), rows[i].expectedFloats) << "row " << i;
        if (!rows[i].expectedInts.empty()) EXPECT_EQ(*buffer.ints(), rows[i].expectedInts) << "row " << i;
    }
}

rt::Task<std::unique_ptr<ports::AudioPlayback>> startPlayback(ports::AudioPlayer* player, double rate) {
    std::unique_ptr<ports::AudioPlayback> playback = co_await player->start({24000, 1, SampleType::float32}, rate);
    co_return playback;
}

TEST(SimAudioPlayer, WhatWasHeardIsKeptAndAStopCutsTheBufferPlaying) {
    SimAudioPlayerEnv env;
    auto playback = runTask(env, startPlayback(&env.player(), 1.0));
    std::vector<float> first(2400, 0.1F);
    std::vector<float> second(24000, 0.2F);
    playback->schedule(first, nullptr);
    playback->schedule(second, nullptr);
    env.advance(0.1 + 0.25);
    playback->stop();
    ASSERT_EQ(env.speakers().heard().size(), 2400u + 6000u);
    EXPECT_EQ(env.speakers().heard()[2399], 0.1F);
    EXPECT_EQ(env.speakers().heard()[2400], 0.2F);
    playback->setVolume(7);
    EXPECT_EQ(env.speakers().lastVolume(), 1.0);
    env.speakers().setFailure(ports::AudioErrorKind::noDevice);
    auto error = contract::runForError<ports::AudioError>(env, startPlayback(&env.player(), 1.0));
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->kind(), ports::AudioErrorKind::noDevice);
    EXPECT_EQ(env.speakers().starts(), 1);
}

rt::Task<std::vector<double>> meter(ports::FileRecorder* recorder, ports::RecorderSettings settings, std::vector<double> at) {
    std::unique_ptr<ports::Recording> recording = co_await recorder->start(settings);
    std::vector<double> levels;
    double now = 0;
    for (double t : at) {
        co_await rt::sleepFor(t - now);
        now = t;
        levels.push_back(recording->averagePowerDb());
    }
    co_await recording->stop();
    co_return levels;
}

TEST(SimFileRecorder, LevelsFollowTheScriptAndTheFileGetsItsContents) {
    SimFileRecorderEnv env;
    env.simRecorder().setLevels({{0.6, -30}, {0.0, -50}, {0.3, 12}, {0.3, -12}, {0.9, NAN}});
    env.simRecorder().setFileContents("M4A bytes");
    ports::RecorderSettings settings;
    settings.path = (env.directory() / "take.m4a").string();
    const auto levels = runTask(env, meter(&env.recorder(), settings, {0.0, 0.29, 0.3, 0.59, 0.6, 1.0}));
    EXPECT_EQ(levels, (std::vector<double>{-50, -50, -12, -12, -30, ports::kSilenceDb}));
    EXPECT_EQ(contract::record::readFile(settings.path), "M4A bytes");
    ASSERT_EQ(env.simRecorder().starts().size(), 1u);
    EXPECT_EQ(env.simRecorder().starts()[0].sampleRate, 16000);
    env.simRecorder().setFailure(ports::AudioErrorKind::denied);
    auto error = contract::runForError<ports::AudioError>(env, meter(&env.recorder(), settings, {}));
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->kind(), ports::AudioErrorKind::denied);
}

}  // namespace
}  // namespace veska::sim
