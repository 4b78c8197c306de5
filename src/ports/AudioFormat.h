// PCM audio formats and buffers, and how audio devices fail.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <variant>
#include <vector>

namespace veska::ports {

enum class SampleType { int16, float32 };

/// Linear PCM, samples interleaved by channel.
struct AudioFormat {
    double sampleRate = 0;
    int channels = 0;
    SampleType sampleType = SampleType::float32;

    [[nodiscard]] bool valid() const {
        return std::isfinite(sampleRate) && sampleRate > 0 && channels > 0 && channels <= 32;
    }
    [[nodiscard]] std::size_t bytesPerFrame() const {
        const std::size_t sample = sampleType == SampleType::int16 ? 2 : 4;
        return sample * static_cast<std::size_t>(channels > 0 ? channels : 0);
    }
    friend bool operator==(const AudioFormat&, const AudioFormat&) = default;
};

/// A run of frames in `format`: int16 or float samples, interleaved.
struct AudioBuffer {
    AudioFormat format;
    /// Position of the first frame, counted in frames of `format` since capture started.
    std::uint64_t firstFrame = 0;
    std::variant<std::vector<std::int16_t>, std::vector<float>> samples;

    [[nodiscard]] std::size_t sampleCount() const {
        return std::visit([](const auto& s) { return s.size(); }, samples);
    }
    [[nodiscard]] std::size_t frames() const {
        return format.channels > 0 ? sampleCount() / static_cast<std::size_t>(format.channels) : 0;
    }
    [[nodiscard]] const std::vector<std::int16_t>* ints() const {
        return std::get_if<std::vector<std::int16_t>>(&samples);
    }
    [[nodiscard]] const std::vector<float>* floats() const { return std::get_if<std::vector<float>>(&samples); }
};

enum class AudioErrorKind {
    noDevice,     // no capture or playback device
    denied,       // a device exists but may not be opened
    badFormat,    // the format asked for cannot be produced or played
    deviceLost,   // the device went away while in use
    cannotWrite,  // the recording's file cannot be created or written
    failed,       // any other failure of the audio system
};

[[nodiscard]] constexpr const char* describe(AudioErrorKind kind) {
    switch (kind) {
        case AudioErrorKind::noDevice: return "no audio device";
        case AudioErrorKind::denied: return "audio device not permitted";
        case AudioErrorKind::badFormat: return "unsupported audio format";
        case AudioErrorKind::deviceLost: return "audio device lost";
        case AudioErrorKind::cannotWrite: return "cannot write the recording";
        case AudioErrorKind::failed: return "audio system failure";
    }
    return "audio failure";
}

class AudioError : public std::exception {
public:
    explicit AudioError(AudioErrorKind kind) : kind_(kind) {}
    [[nodiscard]] AudioErrorKind kind() const { return kind_; }
    [[nodiscard]] const char* what() const noexcept override { return describe(kind_); }

private:
    AudioErrorKind kind_;
};

}  // namespace veska::ports
