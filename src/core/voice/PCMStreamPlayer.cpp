// The streaming PCM player: odd-byte carry, 50 ms buffers, levels, drain and stop.
#include "core/voice/PCMStreamPlayer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

namespace veska {

const ports::AudioFormat PCMStreamPlayer::format{24000, 1, ports::SampleType::float32};

PCMStreamPlayer::~PCMStreamPlayer() {
    *alive_ = false;
}

rt::Task<void> PCMStreamPlayer::start(double rate) {
    // The caller keeps the player alive across this await (it owns it through a shared
    // pointer held by the awaiting task), so `this` is valid when it resumes.
    std::unique_ptr<ports::AudioPlayback> playback = co_await engine_.start(format, rate);
    if (stopped_) {
        playback->stop();
        co_return;
    }
    node_ = std::move(playback);
    if (isPaused_) node_->pause();
}

double PCMStreamPlayer::level(const std::vector<float>& samples) {
    if (samples.empty()) return 0;
    double sum = 0;
    for (float s : samples) sum += static_cast<double>(s) * static_cast<double>(s);
    return std::min(1.0, 1.6 * std::sqrt(std::sqrt(sum / static_cast<double>(samples.size()))));
}

void PCMStreamPlayer::append(std::string_view data) {
    if (stopped_ || !node_) return;
    std::string bytes = std::move(odd_);
    bytes.append(data);
    odd_.clear();
    if (bytes.size() % 2 != 0) {
        odd_.push_back(bytes.back());
        bytes.pop_back();
    }
    const std::size_t samples = bytes.size() / 2;
    for (std::size_t from = 0; from < samples; from += kSamplesPerBuffer) {
        const std::size_t count = std::min(kSamplesPerBuffer, samples - from);
        std::vector<float> buffer(count);
        for (std::size_t i = 0; i < count; ++i) {
            const auto lo = static_cast<std::uint8_t>(bytes[2 * (from + i)]);
            const auto hi = static_cast<std::uint8_t>(bytes[2 * (from + i) + 1]);
            const auto sample = static_cast<std::int16_t>(static_cast<std::uint16_t>(lo | (hi << 8)));
            buffer[i] = static_cast<float>(sample) / 32768.0F;
        }
        const std::shared_ptr<bool> alive = alive_;
        schedule(std::move(buffer));
        if (!*alive) return;  // a level callback stopped or destroyed the player
    }
}

void PCMStreamPlayer::schedule(std::vector<float> samples) {
    levels_.push_back(level(samples));
    const bool first = pending_ == 0;
    ++pending_;
    const bool queued = node_->schedule(std::move(samples), [this, alive = alive_] {
        if (*alive) played();
    });
    if (!queued) {
        // The output refused it (its device went away): nobody waits for this buffer.
        levels_.pop_back();
        --pending_;
        return;
    }
    if (first && onLevel) onLevel(levels_.front());
}

void PCMStreamPlayer::played() {
    if (stopped_ || pending_ == 0) return;
    --pending_;
    levels_.pop_front();
    const std::shared_ptr<bool> alive = alive_;
    if (onLevel) onLevel(levels_.empty() ? 0.0 : levels_.front());
    if (!*alive) return;  // the level callback stopped or destroyed the player
    if (pending_ == 0 && inputDone) drain();
}

void PCMStreamPlayer::halt() {
    stopped_ = true;
    *alive_ = false;
    if (node_) node_->stop();
    onLevel = nullptr;
}

void PCMStreamPlayer::drain() {
    if (stopped_) return;
    std::function<void()> drained = std::move(onDrained);
    onDrained = nullptr;
    halt();
    if (drained) drained();  // may destroy this player: nothing after it
}

void PCMStreamPlayer::stop() {
    if (stopped_) return;
    onDrained = nullptr;
    halt();
}

void PCMStreamPlayer::setPaused(bool paused) {
    if (stopped_) return;
    isPaused_ = paused;
    if (!node_) return;
    if (paused) {
        node_->pause();
    } else {
        node_->resume();
    }
}

void PCMStreamPlayer::setRate(double rate) {
    if (stopped_ || !node_) return;
    node_->setRate(rate);
}

}  // namespace veska
