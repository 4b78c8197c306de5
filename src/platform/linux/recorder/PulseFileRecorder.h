// The file recorder port on Linux: PulseAudio capture encoded to AAC in an .m4a file.
#pragma once

#include <memory>
#include <string>

#include "platform/linux/recorder/AudioFileWriter.h"
#include "ports/FileRecorder.h"

namespace veska::platform {

/// Records the default PulseAudio source (the server converts it to the rate and channels
/// asked for) into an .m4a file, AAC-LC, with a meter of channel 0's average power. Each
/// recording runs a PulseAudio main loop thread of its own; encoding happens there as the
/// audio arrives, through a writer `writers` makes for each recording (the app's loads the AAC
/// module). Usable from any executor; recordings are used from the one that started them.
class PulseFileRecorder final : public ports::FileRecorder {
public:
    /// `server`: a PulseAudio server address ("unix:/run/…/native"); empty = the default.
    explicit PulseFileRecorder(AudioFileWriterFactory writers, std::string server = {})
        : writers_(std::move(writers)), server_(std::move(server)) {}

    rt::Task<std::unique_ptr<ports::Recording>> start(ports::RecorderSettings settings) override;

    /// Bit rates for the qualities (16 kHz mono speech).
    [[nodiscard]] static long bitRate(ports::RecorderQuality quality, int channels);

private:
    AudioFileWriterFactory writers_;
    std::string server_;
};

}  // namespace veska::platform
