// The file recorder port: record the microphone as AAC in an MPEG-4 file, with a level meter.
#pragma once

#include <memory>
#include <string>

#include "ports/AudioFormat.h"
#include "runtime/Task.h"

namespace veska::ports {

/// The meter's reading for silence, and for a recorder without metering.
inline constexpr double kSilenceDb = -160.0;

enum class RecorderQuality { low, medium, high, max };

struct RecorderSettings {
    /// File to create (replaced when it exists); its folder must exist.
    std::string path;
    double sampleRate = 16000;
    int channels = 1;
    RecorderQuality quality = RecorderQuality::high;
    bool metering = true;
};

/// A recording in progress, used from the executor of the task that started it. The file
/// exists from the start; it is a complete MPEG-4 file once `stop` has finished. Destroying a
/// recording stops it.
class Recording {
public:
    virtual ~Recording() = default;

    /// Stops recording and finishes the file; throws `AudioError(cannotWrite)` when the file
    /// cannot be finished. Calling it again does nothing.
    virtual rt::Task<void> stop() = 0;
    [[nodiscard]] virtual bool isRecording() const = 0;
    /// Average power of the recent input in decibels full scale, `kSilenceDb` to 0;
    /// `kSilenceDb` when metering is off or the recording has stopped.
    [[nodiscard]] virtual double averagePowerDb() const = 0;
    /// Seconds of audio recorded so far.
    [[nodiscard]] virtual double seconds() const = 0;
};

class FileRecorder {
public:
    virtual ~FileRecorder() = default;
    /// Starts recording the default capture device into `settings.path`. Throws `AudioError`:
    /// `noDevice`, `denied`, `badFormat`, or `cannotWrite` when the file cannot be created.
    virtual rt::Task<std::unique_ptr<Recording>> start(RecorderSettings settings) = 0;
};

}  // namespace veska::ports
