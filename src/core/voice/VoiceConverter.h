// Turns microphone buffers of any PCM format into the voice stream's 16 kHz mono 16-bit audio.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "ports/AudioFormat.h"

namespace veska {

/// Converts the buffers of one capture, in order, into 16 kHz mono 16-bit PCM. Channels are
/// mixed down to their mean; the rate is changed by a windowed-sinc filter whose phase runs on
/// across buffers, so a long capture neither drifts nor clicks at buffer edges. A buffer never
/// yields more frames than `capacity` allows. Used by one session on its queue.
class VoiceConverter {
public:
    static constexpr double kOutRate = 16000;
    static constexpr double kMinInputRate = 1000;
    static constexpr double kMaxInputRate = 768000;

    /// The stream's fixed format.
    [[nodiscard]] static ports::AudioFormat outFormat() { return {kOutRate, 1, ports::SampleType::int16}; }

    /// A converter from `input`; none for a format it cannot convert (no channels, a rate
    /// that is not positive or outside the supported range).
    [[nodiscard]] static std::optional<VoiceConverter> make(const ports::AudioFormat& input);

    /// The most frames one buffer of `frames` input frames may yield: output rate ÷ input
    /// rate × frames + 64, truncated to a whole 32-bit count.
    [[nodiscard]] static std::uint32_t capacity(double inputRate, std::size_t frames);

    /// Converts the next buffer of the capture; none when its format is not the input format
    /// (the buffer is dropped). May yield no frames while the filter fills.
    [[nodiscard]] std::optional<std::vector<std::int16_t>> convert(const ports::AudioBuffer& buffer);

    /// The meter level of converted samples: min(1, 2.4 × fourth root of the mean square),
    /// with samples scaled by 1/32768; 0 for no samples.
    [[nodiscard]] static float level(const std::vector<std::int16_t>& samples);

    [[nodiscard]] const ports::AudioFormat& input() const { return input_; }

private:
    explicit VoiceConverter(const ports::AudioFormat& input);

    void mixDown(const ports::AudioBuffer& buffer);
    [[nodiscard]] float kernel(double offset) const;
    [[nodiscard]] double sampleAt(double position) const;

    ports::AudioFormat input_;
    double step_;         // input frames per output frame
    double support_ = 0;  // half-width of the filter, in input frames
    std::vector<float> table_;
    std::vector<float> history_;   // mono input from absolute frame `base_` on
    std::uint64_t base_ = 0;
    std::uint64_t received_ = 0;   // input frames seen
    std::uint64_t produced_ = 0;   // output frames made
};

}  // namespace veska
