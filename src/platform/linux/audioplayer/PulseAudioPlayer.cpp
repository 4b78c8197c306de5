// The PulseAudio speakers: each start opens a playback of its own.
#include "platform/linux/audioplayer/PulseAudioPlayer.h"

#include "platform/linux/audioplayer/PulsePlayback.h"

namespace veska::platform {

PulseAudioPlayer::PulseAudioPlayer(std::optional<std::string> server, std::string applicationName)
    : server_(std::move(server)), applicationName_(std::move(applicationName)) {}

rt::Task<std::unique_ptr<ports::AudioPlayback>> PulseAudioPlayer::start(ports::AudioFormat format, double rate) {
    std::unique_ptr<ports::AudioPlayback> playback =
        co_await PulsePlayback::open(server_, applicationName_, format, rate);
    co_return playback;
}

}  // namespace veska::platform
