// The file recorder port on Linux.
#include "platform/linux/recorder/PulseFileRecorder.h"

#include <cmath>

#include "platform/linux/recorder/PulseRecording.h"

namespace veska::platform {

long PulseFileRecorder::bitRate(ports::RecorderQuality quality, int channels) {
    long perChannel = 32'000;
    switch (quality) {
        case ports::RecorderQuality::low: perChannel = 16'000; break;
        case ports::RecorderQuality::medium: perChannel = 24'000; break;
        case ports::RecorderQuality::high: perChannel = 32'000; break;
        case ports::RecorderQuality::max: perChannel = 64'000; break;
    }
    return perChannel * channels;
}

rt::Task<std::unique_ptr<ports::Recording>> PulseFileRecorder::start(ports::RecorderSettings settings) {
    const bool formatOk = std::isfinite(settings.sampleRate) && settings.sampleRate >= 8000 &&
                          settings.sampleRate <= 96000 && std::floor(settings.sampleRate) == settings.sampleRate &&
                          settings.channels >= 1 && settings.channels <= 2;
    if (!formatOk) throw ports::AudioError(ports::AudioErrorKind::badFormat);
    std::unique_ptr<PulseRecording> recording =
        PulseRecording::open(server_, settings, bitRate(settings.quality, settings.channels), writers_);
    co_await recording->ready();
    co_return recording;
}

}  // namespace veska::platform
