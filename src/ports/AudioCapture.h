// The microphone port: open the capture device in a chosen format and take its buffers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

#include "ports/AudioFormat.h"
#include "runtime/Task.h"

namespace veska::ports {

/// Frames per captured buffer unless asked otherwise.
inline constexpr std::size_t kCaptureFramesPerBuffer = 2048;
/// Buffers kept for a reader that falls behind; older ones are dropped (and counted).
inline constexpr std::size_t kMaxQueuedCaptureBuffers = 256;

struct AudioCaptureRequest {
    /// The format buffers are delivered in (the device's audio is converted: resampled,
    /// mixed down or up); none = the device's own format.
    std::optional<AudioFormat> format;
    std::size_t framesPerBuffer = kCaptureFramesPerBuffer;
};

/// A running capture. Buffers of exactly `framesPerBuffer` frames come out of `next` in
/// order, each with its format and position. Used from the executor of the task that
/// started it; destroying it stops the capture.
class AudioCaptureStream {
public:
    virtual ~AudioCaptureStream() = default;

    [[nodiscard]] virtual AudioFormat format() const = 0;
    /// The next buffer; buffers captured before `stop` are still handed out, then nothing.
    /// Throws `AudioError(deviceLost)` when the device went away.
    virtual rt::Task<std::optional<AudioBuffer>> next() = 0;
    /// Ends the capture; the device is released at once.
    virtual void stop() = 0;
    /// Frames dropped because the reader fell more than `kMaxQueuedCaptureBuffers` behind.
    [[nodiscard]] virtual std::uint64_t droppedFrames() const = 0;
};

class AudioCapture {
public:
    virtual ~AudioCapture() = default;

    /// True when a capture device can be opened (this is what microphone permission means
    /// here); asks the system when it has to.
    virtual rt::Task<bool> requestAccess() = 0;
    /// The default capture device's own format; none when there is no usable device.
    virtual rt::Task<std::optional<AudioFormat>> deviceFormat() = 0;
    /// Opens the default capture device and starts delivering buffers. Throws `AudioError`:
    /// `noDevice`, `denied`, or `badFormat` for an invalid format or buffer size.
    virtual rt::Task<std::unique_ptr<AudioCaptureStream>> start(AudioCaptureRequest request) = 0;
};

}  // namespace veska::ports
