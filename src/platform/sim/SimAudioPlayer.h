// The simulated speakers: playback in virtual time, with notices, rate, pause and stop.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

#include "ports/AudioPlayer.h"
#include "runtime/Executor.h"

namespace veska::sim {

/// Plays buffers one after another on the `audio` lane: a buffer of n frames at rate r
/// takes n ÷ (sample rate × r) seconds of virtual time, paused time not counted. What was
/// played (a stopped buffer: the part played) is kept as `heard`, so tests can check what
/// came out. Lives on the loop's thread.
class SimAudioPlayer final : public ports::AudioPlayer {
public:
    explicit SimAudioPlayer(rt::Executor& audio) : audio_(audio) {}

    /// The next starts fail with `kind`; none = they succeed.
    void setFailure(std::optional<ports::AudioErrorKind> kind) { failure_ = kind; }

    /// Samples played back so far, by every playback, in order.
    [[nodiscard]] const std::vector<float>& heard() const { return *heard_; }
    [[nodiscard]] int starts() const { return starts_; }
    /// The volume last set on any playback.
    [[nodiscard]] double lastVolume() const { return *volume_; }

    rt::Task<std::unique_ptr<ports::AudioPlayback>> start(ports::AudioFormat format, double rate) override;

private:
    rt::Executor& audio_;
    std::optional<ports::AudioErrorKind> failure_;
    int starts_ = 0;
    std::shared_ptr<std::vector<float>> heard_ = std::make_shared<std::vector<float>>();
    std::shared_ptr<double> volume_ = std::make_shared<double>(1.0);
};

}  // namespace veska::sim
