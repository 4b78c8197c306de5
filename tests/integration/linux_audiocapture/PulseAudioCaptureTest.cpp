// The PulseAudio microphone against a private daemon whose microphone the test plays into.
#include <gtest/gtest.h>

#include "contract/AudioCaptureContract.h"
#include "support/PulseDaemon.h"
#include "platform/linux/audiocapture/PulseAudioCapture.h"
#include "runtime/RunLoop.h"

namespace veska::platform {
namespace {

using ports::AudioError;
using ports::AudioErrorKind;

class PulseCaptureEnv final : public contract::AudioCaptureContractEnv {
public:
    rt::Executor& executor() override { return loop_; }
    bool runUntil(const std::function<bool()>& done, double maxSeconds) override {
        return loop_.runUntil(done, maxSeconds);
    }
    void advance(double seconds) override { loop_.runFor(seconds); }
    ports::AudioCapture& capture() override { return capture_; }
    ports::AudioFormat micFormat() override {
        return {testing::PipeMicDaemon::kRate, testing::PipeMicDaemon::kChannels, ports::SampleType::float32};
    }
    void play(const std::vector<float>& samples) override { daemon_.play(samples); }
    testing::PipeMicDaemon& daemon() { return daemon_; }

private:
    rt::RunLoop loop_;
    testing::PipeMicDaemon daemon_;
    PulseAudioCapture capture_{daemon_.server()};
};

struct PulseCaptureFactory {
    static std::unique_ptr<contract::AudioCaptureContractEnv> make() { return std::make_unique<PulseCaptureEnv>(); }
};

}  // namespace
}  // namespace veska::platform

namespace veska::contract {
INSTANTIATE_TYPED_TEST_SUITE_P(Pulse, AudioCaptureContract, platform::PulseCaptureFactory);
}  // namespace veska::contract

namespace veska::platform {
namespace {

rt::Task<std::size_t> readUntilLost(ports::AudioCaptureStream* stream) {
    std::size_t buffers = 0;
    while (true) {
        std::optional<ports::AudioBuffer> buffer = co_await stream->next();
        if (!buffer) co_return buffers;
        ++buffers;
    }
}

rt::Task<std::unique_ptr<ports::AudioCaptureStream>> open(ports::AudioCapture* capture) {
    co_return co_await capture->start({ports::AudioFormat{16000, 1, ports::SampleType::int16}, 2048});
}

TEST(PulseAudioCapture, ADaemonThatDiesLosesTheDevice) {
    PulseCaptureEnv env;
    auto stream = contract::runTask(env, open(&env.capture()));
    env.advance(0.3);
    env.daemon().kill();
    auto error = contract::runForError<AudioError>(env, readUntilLost(stream.get()), 10);
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->kind(), AudioErrorKind::deviceLost);
}

TEST(PulseAudioCapture, WithoutAServerThereIsNoMicrophone) {
    rt::RunLoop loop;
    PulseAudioCapture capture("unix:/nonexistent/veska/native");
    auto run = [&](auto task) {
        auto handle = rt::spawn(loop, std::move(task));
        EXPECT_TRUE(loop.runUntil([&] { return handle.done(); }, 10));
        return handle;
    };
    EXPECT_FALSE(run(capture.requestAccess()).take());
    EXPECT_FALSE(run(capture.deviceFormat()).take().has_value());
    auto started = run(open(&capture));
    try {
        started.take();
        ADD_FAILURE() << "a capture started without a server";
    } catch (const AudioError& error) {
        EXPECT_EQ(error.kind(), AudioErrorKind::noDevice);
    }
}

TEST(PulseAudioCapture, TheDevicesOwnFormatIsItsRateAndChannelsInFloats) {
    PulseCaptureEnv env;
    auto format = contract::runTask(env, env.capture().deviceFormat());
    ASSERT_TRUE(format);
    EXPECT_EQ(*format, (ports::AudioFormat{48000, 2, ports::SampleType::float32}));
}

}  // namespace
}  // namespace veska::platform
