// The speakers on a private PulseAudio daemon for the port's contract, real time pumped on the
// test's thread.
#pragma once

#include <memory>
#include <string>

#include "contract/AudioPlayerContract.h"
#include "integration/audioplayer/PulseRig.h"
#include "platform/linux/audioplayer/PulseAudioPlayer.h"
#include "runtime/RunLoop.h"

namespace veska::platform {

class PulseEnv final : public contract::AudioPlayerContractEnv {
public:
    explicit PulseEnv(const std::string& server) : player_(server) {}

    rt::Executor& executor() override { return loop_; }
    bool runUntil(const std::function<bool()>& done, double maxSeconds) override {
        return loop_.runUntil(done, maxSeconds);
    }
    void advance(double seconds) override { loop_.runFor(seconds); }
    ports::AudioPlayer& player() override { return player_; }
    rt::RunLoop& loop() { return loop_; }

private:
    rt::RunLoop loop_;
    PulseAudioPlayer player_;
};


struct PulseFactory {
    static std::unique_ptr<contract::AudioPlayerContractEnv> make() {
        return std::make_unique<PulseEnv>(sharedDaemon().server());
    }
};

}  // namespace veska::platform
