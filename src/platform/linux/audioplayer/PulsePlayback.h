// One PulseAudio playback stream: its connection and thread, the feeding and the notices.
#pragma once

#include <pulse/pulseaudio.h>

#include <atomic>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/linux/audioplayer/TempoStretcher.h"
#include "ports/AudioPlayer.h"
#include "runtime/Completion.h"
#include "runtime/Executor.h"

namespace veska::platform {

/// A playback on a connection of its own, run by a PulseAudio threaded main loop. The
/// executor side (schedule, rate, pause, stop) and the PulseAudio thread (writing, timing)
/// meet under the main loop's lock. Every 10 ms, and whenever the server asks, the thread
/// takes frames from the stretcher (feeding it scheduled buffers 10 ms at a time) and writes
/// them; once the stream's playback time passes the last frame of a buffer, its notice is
/// posted to the executor that opened the playback.
class PulsePlayback final : public ports::AudioPlayback {
public:
    /// Connects and opens the stream; throws `AudioError`.
    static rt::Task<std::unique_ptr<ports::AudioPlayback>> open(std::optional<std::string> server,
                                                                 std::string applicationName,
                                                                 ports::AudioFormat format, double rate);
    ~PulsePlayback() override;
    PulsePlayback(const PulsePlayback&) = delete;
    PulsePlayback& operator=(const PulsePlayback&) = delete;

    [[nodiscard]] ports::AudioFormat format() const override { return format_; }
    bool schedule(std::vector<float> samples, std::function<void()> onPlayed) override;
    void setRate(double rate) override;
    [[nodiscard]] double rate() const override { return rate_; }
    void pause() override;
    void resume() override;
    [[nodiscard]] bool paused() const override { return paused_; }
    void setVolume(double volume) override;
    void stop() override;
    [[nodiscard]] std::size_t pending() const override { return shared_->pending; }

private:
    PulsePlayback(ports::AudioFormat format, double rate, rt::Executor& notices);

    /// What the notices posted to the executor look at when they run there.
    struct Shared {
        std::atomic<bool> stopped{false};
        std::size_t pending = 0;  // executor only
    };
    struct Item {
        std::vector<float> samples;
        std::size_t fedFrames = 0;
        std::function<void()> onPlayed;
    };
    struct Marker {
        double endFrame;  // output frame after the buffer's last one
        std::function<void()> onPlayed;
    };

    /// Creates the main loop and the context and starts connecting; false when that fails
    /// at once.
    bool connect(const std::optional<std::string>& server, const std::string& applicationName);
    void openStream();

    // ---- PulseAudio thread, main loop lock held ----
    static void onContextState(pa_context* context, void* self);
    static void onStreamState(pa_stream* stream, void* self);
    static void onWritable(pa_stream* stream, std::size_t bytes, void* self);
    static void onTick(pa_mainloop_api* api, pa_time_event* event, const struct timeval* when, void* self);
    void fill();
    /// Feeds the stretcher one step of the first buffer; `pendingOut` frames taken from it
    /// are not written yet.
    void feedOne(std::size_t pendingOut);
    [[nodiscard]] double heardFrames() const;
    [[nodiscard]] bool starving(std::size_t pendingOut) const;
    [[nodiscard]] bool drained() const;
    void postHeard();
    void post(std::function<void()> onPlayed);
    void lose();

    ports::AudioFormat format_;
    rt::Executor& notices_;
    std::size_t channels_;
    std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
    double rate_;
    bool paused_ = false;

    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;
    pa_time_event* tick_ = nullptr;
    rt::Completion<void> ready_;

    // Under the main loop's lock.
    TempoStretcher stretcher_;
    std::deque<Item> input_;
    std::deque<Marker> markers_;
    std::vector<float> out_;
    double produced_ = 0;  // frames written to the stream
    double lastMarker_ = 0;
    double volume_ = 1.0;
    bool streamReady_ = false;
    bool corked_ = false;
    bool lost_ = false;
    bool closing_ = false;
    bool wroteSinceTrigger_ = false;
};

}  // namespace veska::platform
