// Contract environments of the audio ports on the simulated devices and virtual time.
#pragma once

#include <atomic>
#include <filesystem>
#include <memory>
#include <string>

#include "contract/AudioCaptureContract.h"
#include "contract/AudioPlayerContract.h"
#include "contract/FileRecorderContract.h"
#include "platform/sim/SimAudioCapture.h"
#include "platform/sim/SimAudioPlayer.h"
#include "platform/sim/SimFileRecorder.h"
#include "runtime/VirtualLoop.h"

namespace veska::sim {

/// The loop side every simulated env shares.
template <class Base>
class SimLoopEnv : public Base {
public:
    rt::Executor& executor() override { return loop_.main(); }
    bool runUntil(const std::function<bool()>& done, double maxSeconds) override {
        return loop_.runUntil(done, maxSeconds);
    }
    void advance(double seconds) override { loop_.runFor(seconds); }
    rt::VirtualLoop& loop() { return loop_; }

protected:
    rt::VirtualLoop loop_;
};

class SimAudioCaptureEnv final : public SimLoopEnv<contract::AudioCaptureContractEnv> {
public:
    ports::AudioCapture& capture() override { return mic_; }
    ports::AudioFormat micFormat() override { return {48000, 2, ports::SampleType::float32}; }
    void play(const std::vector<float>& samples) override { mic_.feed(samples); }
    SimAudioCapture& mic() { return mic_; }

private:
    SimAudioCapture mic_{loop_.lane("audio")};
};

class SimAudioPlayerEnv final : public SimLoopEnv<contract::AudioPlayerContractEnv> {
public:
    ports::AudioPlayer& player() override { return speakers_; }
    SimAudioPlayer& speakers() { return speakers_; }

private:
    SimAudioPlayer speakers_{loop_.lane("audio")};
};

/// The first bytes of an M4A file: its file-type box.
inline const std::string kM4aHeader("\0\0\0\x18" "ftypM4A \0\0\0\0M4A mp42isom", 24);

class SimFileRecorderEnv final : public SimLoopEnv<contract::FileRecorderContractEnv> {
public:
    SimFileRecorderEnv() {
        static std::atomic<int> counter{0};
        directory_ = std::filesystem::temp_directory_path() /
                     ("veska-recorder-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                      std::to_string(counter++));
        std::filesystem::remove_all(directory_);
        std::filesystem::create_directories(directory_);
        recorder_.setFileContents(kM4aHeader + std::string(100, '\x01'));
        recorder_.setLevels({{0.0, -50}, {0.3, -12}, {0.6, -30}});
    }
    ~SimFileRecorderEnv() override {
        std::error_code ignored;
        std::filesystem::remove_all(directory_, ignored);
    }
    SimFileRecorderEnv(const SimFileRecorderEnv&) = delete;
    SimFileRecorderEnv& operator=(const SimFileRecorderEnv&) = delete;

    ports::FileRecorder& recorder() override { return recorder_; }
    std::filesystem::path directory() override { return directory_; }
    SimFileRecorder& simRecorder() { return recorder_; }

private:
    std::filesystem::path directory_;
    SimFileRecorder recorder_{loop_.lane("audio")};
};

struct SimAudioCaptureFactory {
    static std::unique_ptr<contract::AudioCaptureContractEnv> make() { return std::make_unique<SimAudioCaptureEnv>(); }
};
struct SimAudioPlayerFactory {
    static std::unique_ptr<contract::AudioPlayerContractEnv> make() { return std::make_unique<SimAudioPlayerEnv>(); }
};
struct SimFileRecorderFactory {
    static std::unique_ptr<contract::FileRecorderContractEnv> make() { return std::make_unique<SimFileRecorderEnv>(); }
};

}  // namespace veska::sim
