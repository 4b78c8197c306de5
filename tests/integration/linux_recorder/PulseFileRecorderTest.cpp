// The PulseAudio + FFmpeg file recorder against a private PulseAudio daemon fed with a tone.
#include <gtest/gtest.h>

#include <cmath>

#include "contract/FileRecorderContract.h"
#include "integration/linux_recorder/DecodedAudio.h"
#include "integration/linux_recorder/RealTimeLoop.h"
#include "platform/linux/aac/AacFileWriter.h"
#include "platform/linux/recorder/PulseFileRecorder.h"
#include "runtime/Sleep.h"
#include "support/PulseDaemon.h"

namespace veska::platform {
namespace {

using ports::AudioError;
using ports::AudioErrorKind;
using testing::Decoded;
using testing::decode;

class PulseRecorderEnv final : public contract::FileRecorderContractEnv {
public:
    rt::Executor& executor() override { return loop_; }
    bool runUntil(const std::function<bool()>& done, double maxSeconds) override {
        return loop_.runUntil(done, maxSeconds);
    }
    void advance(double seconds) override { loop_.advance(seconds); }
    ports::FileRecorder& recorder() override { return recorder_; }
    std::filesystem::path directory() override { return files_.path(); }

    testing::PulseDaemon& daemon() { return daemon_; }
    ports::RecorderSettings settings(const std::string& name) {
        ports::RecorderSettings s;
        s.path = (files_.path() / name).string();
        return s;
    }

private:
    testing::RealTimeLoop loop_;
    testing::PulseDaemon daemon_{{.mic = testing::PipeMic{}, .exitIdleSeconds = -1}};
    testing::TempDir files_;
    PulseFileRecorder recorder_{linkedAacWriters(), daemon_.requiredServer()};
};

struct PulseFactory {
    static std::unique_ptr<contract::FileRecorderContractEnv> make() { return std::make_unique<PulseRecorderEnv>(); }
};

}  // namespace
}  // namespace veska::platform

namespace veska::contract {
INSTANTIATE_TYPED_TEST_SUITE_P(PulseRecorder, FileRecorderContract, platform::PulseFactory);
}  // namespace veska::contract

namespace veska::platform {
namespace {

struct Take {
    std::vector<double> quietLevels;
    std::vector<double> toneLevels;
    double seconds = 0;
};

/// Records `quiet` seconds of silence, then `tone` seconds of the tone, reading the meter.
rt::Task<Take> recordQuietThenTone(ports::FileRecorder* recorder, testing::PulseDaemon* daemon,
                                   ports::RecorderSettings settings, double quiet, double tone) {
    daemon->setAmplitude(0);
    std::unique_ptr<ports::Recording> recording = co_await recorder->start(settings);
    Take take;
    // Readings start 0.3 s into each part, once the meter's window holds only that part.
    for (int tenth = 1; tenth <= std::lround(quiet * 10); ++tenth) {
        co_await rt::sleepFor(0.1);
        if (tenth > 3) take.quietLevels.push_back(recording->averagePowerDb());
    }
    daemon->setAmplitude(0.5);
    for (int tenth = 1; tenth <= std::lround(tone * 10); ++tenth) {
        co_await rt::sleepFor(0.1);
        if (tenth > 3) take.toneLevels.push_back(recording->averagePowerDb());
    }
    co_await recording->stop();
    take.seconds = recording->seconds();
    co_return take;
}

TEST(PulseFileRecorder, RecordsA16kMonoAacFileAndTheMeterFollowsTheTone) {
    PulseRecorderEnv env;
    auto settings = env.settings("v2-tone.m4a");
    Take take = contract::runTask(env, recordQuietThenTone(&env.recorder(), &env.daemon(), settings, 0.8, 1.2));
    ASSERT_FALSE(take.quietLevels.empty());
    ASSERT_FALSE(take.toneLevels.empty());
    for (double db : take.quietLevels) EXPECT_LT(db, -60) << "silence";
    // A sine at half of full scale averages about -9 dB.
    for (double db : take.toneLevels) EXPECT_NEAR(db, -9, 3) << "tone";
    // The FIFO may hold a little sound written before the recording began.
    EXPECT_GE(take.seconds, 1.9);
    EXPECT_LT(take.seconds, 2.7);

    const Decoded decoded = decode(settings.path);
    EXPECT_EQ(decoded.codec, AV_CODEC_ID_AAC);
    EXPECT_EQ(decoded.profile, FF_PROFILE_AAC_LOW);
    EXPECT_EQ(decoded.sampleRate, 16000);
    EXPECT_EQ(decoded.channels, 1);
    EXPECT_NE(decoded.container.find("mp4"), std::string::npos) << decoded.container;
    EXPECT_NEAR(decoded.seconds, take.seconds, 0.15) << "the file holds what was recorded";
    ASSERT_GE(decoded.windowDb.size(), 15u);
    EXPECT_LT(decoded.windowDb[2], -50) << "the quiet start is quiet in the file";
    EXPECT_NEAR(decoded.windowDb[decoded.windowDb.size() - 4], -9, 3) << "the tone is in the file";
}

rt::Task<double> recordWhileStalled(ports::FileRecorder* recorder, ports::RecorderSettings settings) {
    std::unique_ptr<ports::Recording> recording = co_await recorder->start(settings);
    co_await rt::sleepFor(0.4);
    co_await recording->stop();
    co_return recording->seconds();
}

TEST(PulseFileRecorder, AStalledMicrophoneStillStopsWithACompleteFile) {
    PulseRecorderEnv env;
    env.daemon().setFeeding(false);
    auto settings = env.settings("stalled.m4a");
    const double seconds = contract::runTask(env, recordWhileStalled(&env.recorder(), settings), 10);
    EXPECT_LT(seconds, 0.6) << "at most what the FIFO held before it stalled";
    const std::string bytes = contract::record::readFile(settings.path);
    ASSERT_GE(bytes.size(), 12u);
    EXPECT_EQ(bytes.substr(4, 4), "ftyp");
    EXPECT_NEAR(decode(settings.path).seconds, seconds, 0.15) << "a complete file with what was heard";
}

struct LostTake {
    bool endedByItself = false;
    double seconds = 0;
};

rt::Task<LostTake> recordUntilTheServerDies(ports::FileRecorder* recorder, testing::PulseDaemon* daemon,
                                            ports::RecorderSettings settings) {
    daemon->setAmplitude(0.5);
    std::unique_ptr<ports::Recording> recording = co_await recorder->start(settings);
    co_await rt::sleepFor(0.6);
    daemon->kill();
    for (int i = 0; i < 50 && recording->isRecording(); ++i) co_await rt::sleepFor(0.05);
    LostTake take{!recording->isRecording(), 0};
    co_await recording->stop();
    take.seconds = recording->seconds();
    co_return take;
}

TEST(PulseFileRecorder, ALostServerEndsTheRecordingAndKeepsWhatWasHeard) {
    PulseRecorderEnv env;
    auto settings = env.settings("lost.m4a");
    const LostTake take = contract::runTask(env, recordUntilTheServerDies(&env.recorder(), &env.daemon(), settings), 10);
    EXPECT_TRUE(take.endedByItself);
    // About 0.6 s, plus whatever the FIFO held before the recording began.
    EXPECT_GE(take.seconds, 0.5);
    EXPECT_LT(take.seconds, 1.5);
    const Decoded decoded = decode(settings.path);
    EXPECT_EQ(decoded.codec, AV_CODEC_ID_AAC);
    EXPECT_NEAR(decoded.seconds, take.seconds, 0.15) << "everything heard is in the file";
}

TEST(PulseFileRecorder, WithoutAServerThereIsNoDeviceAndNoFile) {
    testing::RealTimeLoop loop;
    testing::TempDir dir;
    PulseFileRecorder recorder(linkedAacWriters(), "unix:" + (dir.path() / "no-server").string());
    ports::RecorderSettings settings;
    settings.path = (dir.path() / "x.m4a").string();
    auto handle = rt::spawn(loop, recorder.start(settings));
    ASSERT_TRUE(loop.runUntil([&] { return handle.done(); }, 10));
    try {
        handle.take();
        ADD_FAILURE() << "started without a server";
    } catch (const AudioError& error) {
        EXPECT_EQ(error.kind(), AudioErrorKind::noDevice);
    }
    EXPECT_FALSE(std::filesystem::exists(settings.path));
}

}  // namespace
}  // namespace veska::platform
