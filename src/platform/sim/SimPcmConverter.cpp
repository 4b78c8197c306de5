// Channel mixing, linear resampling and sample conversion for the simulated microphone.
#include "platform/sim/SimPcmConverter.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace veska::sim {

namespace {

std::int16_t toInt16(float value) {
    const double scaled = std::round(static_cast<double>(value) * 32768.0);
    return static_cast<std::int16_t>(std::clamp(scaled, -32768.0, 32767.0));
}

}  // namespace

SimPcmConverter::SimPcmConverter(ports::AudioFormat input, ports::AudioFormat output)
    : input_(input), output_(output) {}

void SimPcmConverter::push(const std::vector<float>& samples) {
    const auto in = static_cast<std::size_t>(input_.channels);
    const auto out = static_cast<std::size_t>(output_.channels);
    const std::size_t frames = samples.size() / in;
    for (std::size_t f = 0; f < frames; ++f) {
        const float* frame = samples.data() + f * in;
        if (out == 1) {
            float sum = 0;
            for (std::size_t c = 0; c < in; ++c) sum += frame[c];
            mixed_.push_back(sum / static_cast<float>(in));
            continue;
        }
        for (std::size_t c = 0; c < out; ++c) mixed_.push_back(in == 1 ? frame[0] : frame[std::min(c, in - 1)]);
    }
}

std::size_t SimPcmConverter::queuedFrames() const {
    return mixed_.size() / static_cast<std::size_t>(output_.channels);
}

ports::AudioBuffer SimPcmConverter::take(std::size_t frames) {
    const auto channels = static_cast<std::size_t>(output_.channels);
    const double step = input_.sampleRate / output_.sampleRate;
    const std::size_t available = queuedFrames();
    std::vector<float> values(frames * channels, 0.0F);
    double position = position_;
    for (std::size_t f = 0; f < frames; ++f, position += step) {
        const auto index = static_cast<std::size_t>(position);
        const auto fraction = static_cast<float>(position - static_cast<double>(index));
        for (std::size_t c = 0; c < channels; ++c) {
            const float a = index < available ? mixed_[index * channels + c] : 0.0F;
            const float b = index + 1 < available ? mixed_[(index + 1) * channels + c] : a;
            values[f * channels + c] = a + (b - a) * fraction;
        }
    }
    const auto whole = static_cast<std::size_t>(position);
    const std::size_t consumed = std::min(whole, available);
    mixed_.erase(mixed_.begin(), mixed_.begin() + static_cast<std::ptrdiff_t>(consumed * channels));
    position_ = position - static_cast<double>(whole);

    ports::AudioBuffer buffer;
    buffer.format = output_;
    buffer.firstFrame = produced_;
    produced_ += frames;
    if (output_.sampleType == ports::SampleType::float32) {
        buffer.samples = std::move(values);
        return buffer;
    }
    std::vector<std::int16_t> ints(values.size());
    std::transform(values.begin(), values.end(), ints.begin(), toInt16);
    buffer.samples = std::move(ints);
    return buffer;
}

}  // namespace veska::sim
