// The microphone on PulseAudio: the default source, in buffers of the asked size and format.
#pragma once

#include <string>

#include "ports/AudioCapture.h"

namespace veska::platform {

/// Captures the server's default source. The server converts its audio to the format asked
/// for (rate, channels, sample type); a request without a format gets the source's own rate
/// and channels as float samples. Each capture runs on a PulseAudio main loop thread of its
/// own and hands its buffers to the task that started it. `server` is a PulseAudio server
/// address ("unix:/run/user/1000/pulse/native"); empty = the user's server.
class PulseAudioCapture final : public ports::AudioCapture {
public:
    explicit PulseAudioCapture(std::string server = {}) : server_(std::move(server)) {}

    /// True when a record stream on the default source opens.
    rt::Task<bool> requestAccess() override;
    rt::Task<std::optional<ports::AudioFormat>> deviceFormat() override;
    rt::Task<std::unique_ptr<ports::AudioCaptureStream>> start(ports::AudioCaptureRequest request) override;

private:
    std::string server_;
};

}  // namespace veska::platform
