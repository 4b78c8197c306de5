// What the PulseAudio speakers really play: the samples, a notice per buffer, a prompt stop,
// the tempo kept without a pitch change, a server that goes away.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "integration/audioplayer/PulseEnv.h"

namespace veska::platform {
namespace {

using contract::runTask;

rt::Task<std::unique_ptr<ports::AudioPlayback>> open(ports::AudioPlayer* player, double rate) {
    std::unique_ptr<ports::AudioPlayback> playback =
        co_await player->start(ports::AudioFormat{24000, 1, ports::SampleType::float32}, rate);
    co_return playback;
}

/// The loud part of the recording.
std::vector<float> loudPart(const std::vector<float>& samples, float threshold = 0.05F) {
    auto first = std::find_if(samples.begin(), samples.end(), [&](float s) { return std::abs(s) > threshold; });
    auto last = std::find_if(samples.rbegin(), samples.rend(), [&](float s) { return std::abs(s) > threshold; });
    if (first == samples.end()) return {};
    return {first, last.base()};
}

/// The frequency of a steady tone, from its rising zero crossings.
double frequency(const std::vector<float>& tone) {
    std::size_t crossings = 0;
    for (std::size_t i = 1; i < tone.size(); ++i) {
        if (tone[i - 1] < 0 && tone[i] >= 0) ++crossings;
    }
    return static_cast<double>(crossings) / (static_cast<double>(tone.size()) / 24000.0);
}

class PulseSpeakers : public ::testing::Test {
protected:
    void SetUp() override {
        if (sharedDaemon().server().empty()) GTEST_SKIP() << "no PulseAudio daemon could be started";
        env_ = std::make_unique<PulseEnv>(sharedDaemon().server());
    }
    std::unique_ptr<ports::AudioPlayback> start(double rate = 1.0) {
        return runTask(*env_, open(&env_->player(), rate));
    }
    /// Waits until the sink's recorder delivers (the monitor starts late).
    void waitForRecorder(SinkRecorder& recorder) {
        ASSERT_TRUE(recorder.ok());
        ASSERT_TRUE(env_->runUntil([&] { return recorder.size() > 2400; }, 10)) << "the monitor never delivered";
    }
    std::unique_ptr<PulseEnv> env_;
};

TEST_F(PulseSpeakers, TheSamplesReachTheSinkAsScheduled) {
    SinkRecorder recorder(sharedDaemon().server());
    waitForRecorder(recorder);
    auto playback = start();
    bool played = false;
    playback->schedule(sine(0.5, 440, 0.5F), [&] { played = true; });
    ASSERT_TRUE(env_->runUntil([&] { return played; }, 5));
    env_->advance(0.3);
    const std::vector<float> heard = recorder.samples();
    EXPECT_NEAR(loudSeconds(heard), 0.5, 0.05);
    const std::vector<float> tone = loudPart(heard);
    EXPECT_NEAR(*std::max_element(tone.begin(), tone.end()), 0.5, 0.02);
    EXPECT_NEAR(frequency(tone), 440, 10);
}

TEST_F(PulseSpeakers, ANoticeComesForEachBufferAsItIsHeard) {
    auto playback = start();
    std::vector<double> at;
    const double begin = env_->loop().now();
    for (int i = 0; i < 20; ++i) {
        playback->schedule(sine(0.05, 300, 0.2F), [&] { at.push_back(env_->loop().now() - begin); });
    }
    ASSERT_TRUE(env_->runUntil([&] { return at.size() == 20; }, 5));
    EXPECT_TRUE(std::is_sorted(at.begin(), at.end()));
    // One second of sound: the last notice comes with its end, not before.
    EXPECT_GE(at.back(), 0.95);
    EXPECT_LT(at.back(), 1.4);
    EXPECT_LT(at.front(), 0.4) << "the first buffer is heard at once";
    EXPECT_EQ(playback->pending(), 0u);
}

TEST_F(PulseSpeakers, StopSilencesTheSinkPromptly) {
    SinkRecorder recorder(sharedDaemon().server());
    waitForRecorder(recorder);
    auto playback = start();
    int notices = 0;
    for (int i = 0; i < 50; ++i) playback->schedule(sine(0.1, 440, 0.5F), [&] { ++notices; });
    ASSERT_TRUE(env_->runUntil([&] { return notices >= 5; }, 5));
    playback->stop();
    env_->advance(1.0);
    EXPECT_LT(notices, 8);
    // About half a second was heard before the stop, and at most the queued 60 ms after it.
    EXPECT_LT(loudSeconds(recorder.samples()), 0.75);
}

TEST_F(PulseSpeakers, TempoOneAndAHalfShortensPlaybackAndKeepsThePitch) {
    SinkRecorder recorder(sharedDaemon().server());
    waitForRecorder(recorder);
    auto playback = start(1.5);
    bool played = false;
    const double begin = env_->loop().now();
    playback->schedule(sine(3.0, 440, 0.5F), [&] { played = true; });
    ASSERT_TRUE(env_->runUntil([&] { return played; }, 10));
    const double took = env_->loop().now() - begin;
    EXPECT_GT(took, 1.8);
    EXPECT_LT(took, 2.5) << "3 s of sound at 1.5× take 2 s";
    env_->advance(0.3);
    const std::vector<float> heard = recorder.samples();
    EXPECT_NEAR(loudSeconds(heard), 2.0, 0.15);
    EXPECT_NEAR(frequency(loudPart(heard)), 440, 15) << "the pitch is kept";
}

TEST_F(PulseSpeakers, AServerThatGoesAwayCountsEveryBufferAsPlayed) {
    AwakeDaemon own;
    ASSERT_FALSE(own.server().empty());
    PulseEnv env(own.server());
    auto playback = runTask(env, open(&env.player(), 1.0));
    int notices = 0;
    for (int i = 0; i < 20; ++i) playback->schedule(sine(0.5, 440, 0.2F), [&] { ++notices; });
    env.advance(0.3);
    own.stop();
    ASSERT_TRUE(env.runUntil([&] { return notices == 20; }, 5)) << "nobody waits for sound that cannot come";
    EXPECT_FALSE(playback->schedule(sine(0.1, 440, 0.2F), [&] { ++notices; }));
}

TEST_F(PulseSpeakers, NoServerMeansNoDevice) {
    PulseEnv env("unix:/nonexistent/veska/native");
    auto error = contract::runForError<ports::AudioError>(env, open(&env.player(), 1.0));
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->kind(), ports::AudioErrorKind::noDevice);
}

}  // namespace
}  // namespace veska::platform
