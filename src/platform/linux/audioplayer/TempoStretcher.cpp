// The tempo stretcher over SoundTouch, with a direct road at tempo 1.
#include "platform/linux/audioplayer/TempoStretcher.h"

#include <SoundTouch.h>

#include <algorithm>

namespace veska::platform {

TempoStretcher::TempoStretcher(int channels, unsigned sampleRate, double tempo)
    : channels_(channels), tempo_(tempo), touch_(std::make_unique<soundtouch::SoundTouch>()) {
    touch_->setChannels(static_cast<unsigned>(channels));
    touch_->setSampleRate(sampleRate);
    touch_->setTempo(tempo);
    // Speech settings: short sequences keep the latency and the echo low.
    touch_->setSetting(SETTING_SEQUENCE_MS, 40);
    touch_->setSetting(SETTING_SEEKWINDOW_MS, 15);
    touch_->setSetting(SETTING_OVERLAP_MS, 8);
}

TempoStretcher::~TempoStretcher() = default;

void TempoStretcher::setTempo(double tempo) {
    if (tempo == tempo_) return;
    if (!passThrough()) flush();
    tempo_ = tempo;
    if (!passThrough()) touch_->setTempo(tempo);
}

void TempoStretcher::put(const float* samples, std::size_t frames) {
    if (frames == 0) return;
    if (passThrough()) {
        ready_.insert(ready_.end(), samples, samples + frames * static_cast<std::size_t>(channels_));
        return;
    }
    touch_->putSamples(samples, static_cast<unsigned>(frames));
    collect();
}

void TempoStretcher::collect() {
    const auto channels = static_cast<std::size_t>(channels_);
    while (touch_->numSamples() > 0) {
        scratch_.resize(std::size_t{touch_->numSamples()} * channels);
        const std::size_t got = touch_->receiveSamples(scratch_.data(), touch_->numSamples());
        ready_.insert(ready_.end(), scratch_.begin(), scratch_.begin() + static_cast<std::ptrdiff_t>(got * channels));
        if (got == 0) break;
    }
}

std::size_t TempoStretcher::available() const {
    return ready_.size() / static_cast<std::size_t>(channels_);
}

std::size_t TempoStretcher::take(float* out, std::size_t maxFrames) {
    const auto channels = static_cast<std::size_t>(channels_);
    const std::size_t frames = std::min(maxFrames, available());
    std::copy_n(ready_.begin(), frames * channels, out);
    ready_.erase(ready_.begin(), ready_.begin() + static_cast<std::ptrdiff_t>(frames * channels));
    return frames;
}

void TempoStretcher::flush() {
    if (touch_->numUnprocessedSamples() == 0) return;
    touch_->flush();
    collect();
}

double TempoStretcher::backlog() const {
    return static_cast<double>(available()) + static_cast<double>(touch_->numUnprocessedSamples()) / tempo_;
}

std::size_t TempoStretcher::unprocessed() const {
    return touch_->numUnprocessedSamples();
}

void TempoStretcher::clear() {
    touch_->clear();
    ready_.clear();
}

}  // namespace veska::platform
