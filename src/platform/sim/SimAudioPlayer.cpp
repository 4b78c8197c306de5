// Simulated playback: a queue of buffers, the current one's progress and one timer.
#include "platform/sim/SimAudioPlayer.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <functional>

#include "runtime/Check.h"
#include "runtime/Sleep.h"

namespace veska::sim {

namespace {

using ports::AudioError;
using ports::AudioErrorKind;

/// One playback. Its timer is a member, so no step runs after it is gone; notices already
/// posted check the shared stop flag when they run.
class SimPlayback final : public ports::AudioPlayback {
public:
    SimPlayback(rt::Executor& audio, rt::Executor& notices, ports::AudioFormat format, double rate,
                std::shared_ptr<std::vector<float>> heard, std::shared_ptr<double> volume)
        : audio_(audio), notices_(notices), format_(format), rate_(ports::clampPlaybackRate(rate)),
          heard_(std::move(heard)), volume_(std::move(volume)) {}

    [[nodiscard]] ports::AudioFormat format() const override { return format_; }
    [[nodiscard]] double rate() const override { return rate_; }
    SimPlayback(const SimPlayback&) = delete;
    SimPlayback& operator=(const SimPlayback&) = delete;

    [[nodiscard]] bool paused() const override { return paused_; }
    [[nodiscard]] std::size_t pending() const override { return queue_.size(); }
    void setVolume(double volume) override { *volume_ = std::isnan(volume) ? 0.0 : std::clamp(volume, 0.0, 1.0); }

    bool schedule(std::vector<float> samples, std::function<void()> onPlayed) override {
        if (*stopped_) return false;
        const auto channels = static_cast<std::size_t>(format_.channels);
        VESKA_CHECK(samples.size() % channels == 0, "a buffer holds whole frames");
        queue_.push_back(Item{std::move(samples), std::move(onPlayed)});
        if (queue_.size() == 1) begin();
        return true;
    }

    void setRate(double rate) override {
        settle();
        rate_ = ports::clampPlaybackRate(rate);
        arm();
    }

    void pause() override {
        if (paused_ || *stopped_) return;
        settle();
        paused_ = true;
        timer_.cancel();
    }

    void resume() override {
        if (!paused_ || *stopped_) return;
        paused_ = false;
        since_ = audio_.now();
        arm();
    }

    void stop() override {
        if (*stopped_) return;
        settle();
        *stopped_ = true;
        timer_.cancel();
        if (!queue_.empty()) {
            const auto channels = static_cast<std::size_t>(format_.channels);
            const auto& samples = queue_.front().samples;
            // A hair of slack so that time arithmetic does not lose the last whole frame.
            const auto frames = static_cast<std::size_t>(std::floor(done_ + 1e-6));
            const auto played = std::min(samples.size(), frames * channels);
            heard_->insert(heard_->end(), samples.begin(), samples.begin() + static_cast<std::ptrdiff_t>(played));
        }
        queue_.clear();
    }

    ~SimPlayback() override { stop(); }

private:
    struct Item {
        std::vector<float> samples;
        std::function<void()> onPlayed;
    };

    [[nodiscard]] double framesOf(const Item& item) const {
        const std::size_t wholeFrames = item.samples.size() / static_cast<std::size_t>(format_.channels);
        return static_cast<double>(wholeFrames);
    }

    /// Counts the frames played since the last settlement.
    void settle() {
        if (queue_.empty() || paused_ || *stopped_) return;
        const double now = audio_.now();
        done_ = std::min(framesOf(queue_.front()), done_ + (now - since_) * format_.sampleRate * rate_);
        since_ = now;
    }

    void begin() {
        done_ = 0;
        since_ = audio_.now();
        arm();
    }

    void arm() {
        timer_.cancel();
        if (queue_.empty() || paused_ || *stopped_) return;
        const double remaining = framesOf(queue_.front()) - done_;
        timer_ = audio_.postAfter(std::max(0.0, remaining / (format_.sampleRate * rate_)),
                                  [this] { finishCurrent(); });
    }

    void finishCurrent() {
        if (*stopped_ || queue_.empty()) return;
        Item item = std::move(queue_.front());
        queue_.pop_front();
        heard_->insert(heard_->end(), item.samples.begin(), item.samples.end());
        if (item.onPlayed) {
            // Checked when the notice runs: a stop in between silences it.
            notices_.post([stopped = stopped_, fn = std::move(item.onPlayed)] {
                if (!*stopped) fn();
            });
        }
        if (!queue_.empty()) begin();
    }

    rt::Executor& audio_;
    rt::Executor& notices_;
    ports::AudioFormat format_;
    double rate_;
    std::shared_ptr<std::vector<float>> heard_;
    std::shared_ptr<double> volume_;
    std::deque<Item> queue_;
    double done_ = 0;   // frames of the current buffer played
    double since_ = 0;  // when `done_` was last brought up to date
    bool paused_ = false;
    std::shared_ptr<bool> stopped_ = std::make_shared<bool>(false);
    rt::Timer timer_;
};

}  // namespace

rt::Task<std::unique_ptr<ports::AudioPlayback>> SimAudioPlayer::start(ports::AudioFormat format, double rate) {
    if (!format.valid() || format.sampleType != ports::SampleType::float32) throw AudioError(AudioErrorKind::badFormat);
    if (failure_) throw AudioError(*failure_);
    rt::Executor& notices = co_await rt::currentExecutor();
    ++starts_;
    co_return std::make_unique<SimPlayback>(audio_, notices, format, rate, heard_, volume_);
}

}  // namespace veska::sim
