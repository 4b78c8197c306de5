// Plays 16-bit PCM speech as it streams in, with a level per 50 ms buffer and a drain notice.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "ports/AudioPlayer.h"
#include "runtime/Task.h"

namespace veska {

/// Turns a stream of 16-bit signed little-endian mono PCM at 24 kHz (cut anywhere, even inside
/// a sample) into float buffers of at most 1200 samples on one playback of the audio player,
/// played at the reading rate with the pitch kept. Reports the level of the buffer being heard
/// and, once all input has been played (`inputDone` and nothing pending), drains. Lives on the
/// main executor: `start` must be awaited there, and every callback runs there. A callback may
/// destroy the player.
class PCMStreamPlayer {
public:
    /// Samples per scheduled buffer (50 ms).
    static constexpr std::size_t kSamplesPerBuffer = 1200;
    static constexpr double kBufferSeconds = 0.05;
    /// 32-bit float PCM, 24 000 Hz, one channel.
    static const ports::AudioFormat format;

    explicit PCMStreamPlayer(ports::AudioPlayer& engine) : engine_(engine) {}
    PCMStreamPlayer(const PCMStreamPlayer&) = delete;
    PCMStreamPlayer& operator=(const PCMStreamPlayer&) = delete;
    ~PCMStreamPlayer();

    /// The level (0…1) of the buffer now playing; 0 once none is.
    std::function<void(double)> onLevel;
    /// Everything appended has been played after `inputDone` was set.
    std::function<void()> onDrained;
    /// No more audio will be appended.
    bool inputDone = false;

    /// Opens the output at `rate`; throws `ports::AudioError` when it cannot. A player stopped
    /// meanwhile closes the output at once.
    rt::Task<void> start(double rate);
    /// Queues the samples of `data` (after the byte carried from the last append). Ignored
    /// before `start` has finished and once stopped.
    void append(std::string_view data);
    /// Stops and calls `onDrained` (once); nothing when already stopped.
    void drain();
    /// Stops without calling anything; nothing when already stopped.
    void stop();
    /// Pauses or resumes the output; nothing once stopped.
    void setPaused(bool paused);
    /// Changes the reading rate from now on, in the middle of a buffer too.
    void setRate(double rate);

    [[nodiscard]] bool isPaused() const { return isPaused_; }
    [[nodiscard]] bool stopped() const { return stopped_; }
    /// Buffers scheduled and not yet played.
    [[nodiscard]] std::size_t pending() const { return pending_; }
    /// The level of each pending buffer, in play order.
    [[nodiscard]] const std::deque<double>& levels() const { return levels_; }

    /// The level of float samples: 1.6 × the square root of their RMS, at most 1.
    [[nodiscard]] static double level(const std::vector<float>& samples);

private:
    void schedule(std::vector<float> samples);
    void played();
    void halt();

    ports::AudioPlayer& engine_;
    std::unique_ptr<ports::AudioPlayback> node_;
    std::size_t pending_ = 0;
    std::deque<double> levels_;
    bool stopped_ = false;
    std::string odd_;
    bool isPaused_ = false;
    /// Told to the playback's notices, which run only while it is true.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace veska
