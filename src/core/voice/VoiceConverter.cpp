// The voice stream's converter: down-mix, windowed-sinc resampling, 16-bit output, level.
#include "core/voice/VoiceConverter.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace veska {

namespace {

/// Zero crossings of the filter on each side, at the lower of the two rates.
constexpr double kHalfZeros = 12;
/// The pass band ends this far below the lower Nyquist frequency.
constexpr double kCutoff = 0.92;
/// Kernel table entries per input frame (linearly interpolated in between).
constexpr double kTableResolution = 256;

std::int16_t toInt16(double value) {
    const double scaled = std::nearbyint(value * 32768.0);
    return static_cast<std::int16_t>(std::clamp(scaled, -32768.0, 32767.0));
}

}  // namespace

std::optional<VoiceConverter> VoiceConverter::make(const ports::AudioFormat& input) {
    if (!input.valid() || input.sampleRate < kMinInputRate || input.sampleRate > kMaxInputRate) return std::nullopt;
    return VoiceConverter(input);
}

VoiceConverter::VoiceConverter(const ports::AudioFormat& input) : input_(input), step_(input.sampleRate / kOutRate) {
    if (input.sampleRate == kOutRate) return;  // same rate: samples pass through
    const double scale = std::min(1.0, 1.0 / step_);
    const double bandwidth = kCutoff * scale;  // twice the cut-off, in cycles per input frame
    support_ = kHalfZeros / scale;
    const auto entries = static_cast<std::size_t>(std::ceil(support_ * kTableResolution)) + 2;
    table_.resize(entries);
    for (std::size_t i = 0; i < entries; ++i) {
        const double x = static_cast<double>(i) / kTableResolution;
        if (x >= support_) break;
        const double u = x / support_;
        const double window = 0.42 + 0.5 * std::cos(std::numbers::pi * u) + 0.08 * std::cos(2 * std::numbers::pi * u);
        const double arg = std::numbers::pi * bandwidth * x;
        const double sinc = x == 0 ? 1.0 : std::sin(arg) / arg;
        table_[i] = static_cast<float>(bandwidth * sinc * window);
    }
}

std::uint32_t VoiceConverter::capacity(double inputRate, std::size_t frames) {
    const double count = kOutRate / inputRate * static_cast<double>(frames) + 64;
    if (!(count > 0)) return 0;
    if (count >= 4294967295.0) return 4294967295U;
    return static_cast<std::uint32_t>(count);
}

float VoiceConverter::kernel(double offset) const {
    const double x = std::abs(offset);
    if (x >= support_) return 0;
    const double at = x * kTableResolution;
    const auto i = static_cast<std::size_t>(at);
    const auto frac = static_cast<float>(at - static_cast<double>(i));
    return table_[i] + (table_[i + 1] - table_[i]) * frac;
}

void VoiceConverter::mixDown(const ports::AudioBuffer& buffer) {
    const auto channels = static_cast<std::size_t>(input_.channels);
    const std::size_t frames = buffer.frames();
    const float gain = 1.0F / static_cast<float>(channels);
    history_.reserve(history_.size() + frames);
    for (std::size_t f = 0; f < frames; ++f) {
        float sum = 0;
        for (std::size_t c = 0; c < channels; ++c) {
            const std::size_t s = f * channels + c;
            sum += buffer.ints() ? static_cast<float>((*buffer.ints())[s]) / 32768.0F : (*buffer.floats())[s];
        }
        history_.push_back(sum * gain);
    }
    received_ += frames;
}

double VoiceConverter::sampleAt(double position) const {
    // Frames before the first one heard are silence.
    const auto first = static_cast<std::int64_t>(std::ceil(position - support_));
    const auto last = static_cast<std::int64_t>(std::floor(position + support_));
    double sum = 0;
    for (std::int64_t n = std::max<std::int64_t>(first, 0); n <= last; ++n) {
        const auto index = static_cast<std::uint64_t>(n) - base_;
        sum += static_cast<double>(history_[index]) * kernel(position - static_cast<double>(n));
    }
    return sum;
}

std::optional<std::vector<std::int16_t>> VoiceConverter::convert(const ports::AudioBuffer& buffer) {
    if (buffer.format != input_) return std::nullopt;
    const bool intSamples = input_.sampleType == ports::SampleType::int16;
    if (intSamples ? buffer.ints() == nullptr : buffer.floats() == nullptr) return std::nullopt;
    const std::uint32_t limit = capacity(input_.sampleRate, buffer.frames());
    std::vector<std::int16_t> out;
    mixDown(buffer);
    if (support_ == 0) {
        out.reserve(history_.size());
        for (float sample : history_) out.push_back(toInt16(sample));
        produced_ += history_.size();
        base_ += history_.size();
        history_.clear();
        return out;
    }
    out.reserve(limit);
    while (out.size() < limit) {
        const double position = static_cast<double>(produced_) * step_;
        if (position + support_ >= static_cast<double>(received_)) break;  // needs frames not heard yet
        out.push_back(toInt16(sampleAt(position)));
        ++produced_;
    }
    // Keep only the frames the next output still reaches back to.
    const double next = static_cast<double>(produced_) * step_;
    const auto keepFrom = static_cast<std::uint64_t>(std::max(0.0, std::ceil(next - support_)));
    if (keepFrom > base_) {
        const auto drop = std::min<std::uint64_t>(keepFrom - base_, history_.size());
        history_.erase(history_.begin(), history_.begin() + static_cast<std::ptrdiff_t>(drop));
        base_ += drop;
    }
    return out;
}

float VoiceConverter::level(const std::vector<std::int16_t>& samples) {
    if (samples.empty()) return 0;
    double sum = 0;
    for (std::int16_t s : samples) {
        const double v = static_cast<double>(s) / 32768.0;
        sum += v * v;
    }
    const double meanSquare = sum / static_cast<double>(samples.size());
    return static_cast<float>(std::min(1.0, 2.4 * std::sqrt(std::sqrt(meanSquare))));
}

}  // namespace veska
