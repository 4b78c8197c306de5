// The speaker port: play float PCM buffers with played-back notices, rate, pause and stop.
#pragma once

#include <cmath>
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include "ports/AudioFormat.h"
#include "runtime/Task.h"

namespace veska::ports {

/// Playback rates outside this range are brought into it.
inline constexpr double kMinPlaybackRate = 0.25;
inline constexpr double kMaxPlaybackRate = 4.0;

/// One playback stream to the default output. Buffers play one after another in the order
/// scheduled, at `rate` times normal speed with the pitch kept. Notices run on the executor of
/// the task that started the playback, in scheduling order, each once its buffer has been
/// heard. After `stop` no notice runs. Destroying the playback stops it.
class AudioPlayback {
public:
    virtual ~AudioPlayback() = default;

    [[nodiscard]] virtual AudioFormat format() const = 0;
    /// Queues interleaved float samples (a whole number of frames) after everything queued;
    /// `onPlayed` runs once they have been played back. False, and nothing queued, once
    /// stopped.
    virtual bool schedule(std::vector<float> samples, std::function<void()> onPlayed) = 0;
    /// Changes the rate from now on, in the middle of a buffer too.
    virtual void setRate(double rate) = 0;
    [[nodiscard]] virtual double rate() const = 0;
    virtual void pause() = 0;
    virtual void resume() = 0;
    [[nodiscard]] virtual bool paused() const = 0;
    /// Output level (gain), 0 (silent) to 1 (full); other values are brought into range.
    virtual void setVolume(double volume) = 0;
    /// Stops at once and drops everything queued; no notice runs afterwards.
    virtual void stop() = 0;
    /// Buffers scheduled and not yet played back.
    [[nodiscard]] virtual std::size_t pending() const = 0;
};

class AudioPlayer {
public:
    virtual ~AudioPlayer() = default;
    /// Opens the output for `format` (float32 samples) at `rate`. Throws `AudioError`:
    /// `badFormat` for another sample type or an invalid format, `noDevice` or `failed`
    /// when the output cannot start.
    virtual rt::Task<std::unique_ptr<AudioPlayback>> start(AudioFormat format, double rate) = 0;
};

/// `rate` brought into [kMinPlaybackRate, kMaxPlaybackRate]; not a number counts as 1.
[[nodiscard]] inline double clampPlaybackRate(double rate) {
    if (std::isnan(rate)) return 1.0;
    if (rate < kMinPlaybackRate) return kMinPlaybackRate;
    if (rate > kMaxPlaybackRate) return kMaxPlaybackRate;
    return rate;
}

}  // namespace veska::ports
