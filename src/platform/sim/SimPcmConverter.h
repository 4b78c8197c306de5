// Converts the simulated microphone's sound into the format a capture asked for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "ports/AudioFormat.h"

namespace veska::sim {

/// Takes float frames in the device's format, mixes them to the output's channel count
/// (down-mix: the mean of the channels; up-mix: copies) and resamples them by linear
/// interpolation to the output rate; what is missing is silence. Keeps its position between
/// calls, so successive buffers join without a gap.
class SimPcmConverter {
public:
    SimPcmConverter(ports::AudioFormat input, ports::AudioFormat output);

    /// Queues interleaved float samples in the input format (a partial last frame is dropped).
    void push(const std::vector<float>& samples);
    /// The next `frames` frames in the output format.
    [[nodiscard]] ports::AudioBuffer take(std::size_t frames);
    /// Input frames queued and not yet consumed.
    [[nodiscard]] std::size_t queuedFrames() const;
    [[nodiscard]] const ports::AudioFormat& output() const { return output_; }

private:
    ports::AudioFormat input_;
    ports::AudioFormat output_;
    std::deque<float> mixed_;  // interleaved in the output's channel count, at the input rate
    double position_ = 0;      // fractional input frame of the next output frame
    std::uint64_t produced_ = 0;
};

}  // namespace veska::sim
