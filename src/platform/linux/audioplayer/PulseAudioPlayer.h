// The speakers through PulseAudio: float buffers, played-back notices, tempo without pitch change.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "ports/AudioPlayer.h"

namespace veska::platform {

/// Opens one PulseAudio playback stream to the default sink per `start`, on a connection and
/// a PulseAudio thread of its own. Buffers go through a tempo stretcher (SoundTouch) and are
/// written in 10 ms steps with about 60 ms queued in the server, so a stop, a pause or a rate
/// change is heard within that. Notices come once the sink has played a buffer's last frame.
/// When the sound server goes away mid-playback, every buffer still queued counts as played
/// and later ones are refused, so nobody waits for sound that will never come.
class PulseAudioPlayer final : public ports::AudioPlayer {
public:
    /// `server`: a PulseAudio server string ("unix:/path"); none = the user's default server.
    explicit PulseAudioPlayer(std::optional<std::string> server = std::nullopt,
                              std::string applicationName = "Veska");

    /// Throws `AudioError`: `badFormat` for other samples than float or a format PulseAudio
    /// cannot take, `noDevice` when no server answers, `failed` when the stream is refused.
    rt::Task<std::unique_ptr<ports::AudioPlayback>> start(ports::AudioFormat format, double rate) override;

private:
    std::optional<std::string> server_;
    std::string applicationName_;
};

}  // namespace veska::platform
