// Changing the tempo of float audio without changing its pitch (SoundTouch), frame by frame.
#pragma once

#include <cstddef>
#include <deque>
#include <memory>
#include <vector>

namespace soundtouch {
class SoundTouch;
}

namespace veska::platform {

/// A pipe from input frames to output frames played `tempo` times faster, pitch kept. At
/// tempo 1 the frames pass unchanged and at once; otherwise SoundTouch holds back about
/// 100 ms of input until `flush` pushes it out (with a little silence after it). Not
/// thread-safe: its owner serialises every call.
class TempoStretcher {
public:
    TempoStretcher(int channels, unsigned sampleRate, double tempo);
    ~TempoStretcher();
    TempoStretcher(const TempoStretcher&) = delete;
    TempoStretcher& operator=(const TempoStretcher&) = delete;

    /// Changes the tempo for the input not processed yet. Leaving or entering tempo 1 flushes
    /// what the stretcher holds, so no frame is lost or reordered.
    void setTempo(double tempo);
    [[nodiscard]] double tempo() const { return tempo_; }

    /// Adds `frames` frames (interleaved samples).
    void put(const float* samples, std::size_t frames);
    /// Output frames ready to take.
    [[nodiscard]] std::size_t available() const;
    /// Takes up to `maxFrames` ready frames into `out`; returns how many.
    std::size_t take(float* out, std::size_t maxFrames);
    /// Makes every frame put so far available.
    void flush();
    /// Output frames still to come from what is inside, ready or not (an estimate for the
    /// part not processed yet).
    [[nodiscard]] double backlog() const;
    /// Input frames put and not yet turned into output.
    [[nodiscard]] std::size_t unprocessed() const;
    /// Drops everything inside.
    void clear();

private:
    [[nodiscard]] bool passThrough() const { return tempo_ == 1.0; }
    /// Moves SoundTouch's output to `ready_`.
    void collect();

    int channels_;
    double tempo_;
    std::unique_ptr<soundtouch::SoundTouch> touch_;
    /// Output frames in order, waiting to be taken.
    std::deque<float> ready_;
    std::vector<float> scratch_;
};

}  // namespace veska::platform
