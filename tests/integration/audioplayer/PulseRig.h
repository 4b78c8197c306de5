// A private PulseAudio daemon kept awake, a recorder of what its null sink played, and
// sounds to play and measure.
#pragma once

#include <pulse/simple.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <memory>
#include <string>
#include <mutex>
#include <thread>
#include <vector>

#include "support/PulseDaemon.h"

namespace veska::platform {

/// Records the daemon's "heard" source (what the null sink played) at 24 kHz mono float, on a
/// thread of its own, from construction to destruction.
class SinkRecorder {
public:
    explicit SinkRecorder(const std::string& server) {
        const pa_sample_spec sampleFormat{PA_SAMPLE_FLOAT32LE, 24000, 1};
        pa_buffer_attr attr{};
        attr.maxlength = static_cast<std::uint32_t>(-1);
        attr.fragsize = 480 * sizeof(float);
        int error = 0;
        simple_ = pa_simple_new(server.c_str(), "veska-test", PA_STREAM_RECORD, "heard", "sink recorder", &sampleFormat,
                                nullptr, &attr, &error);
        if (simple_ == nullptr) return;
        thread_ = std::thread([this] { run(); });
    }
    ~SinkRecorder() {
        done_ = true;
        if (thread_.joinable()) thread_.join();
        if (simple_ != nullptr) pa_simple_free(simple_);
    }
    SinkRecorder(const SinkRecorder&) = delete;
    SinkRecorder& operator=(const SinkRecorder&) = delete;

    [[nodiscard]] bool ok() const { return simple_ != nullptr; }
    /// Frames recorded so far.
    [[nodiscard]] std::size_t size() {
        std::lock_guard lock(mutex_);
        return samples_.size();
    }
    [[nodiscard]] std::vector<float> samples() {
        std::lock_guard lock(mutex_);
        return samples_;
    }

private:
    void run() {
        std::vector<float> block(240);
        while (!done_) {
            int error = 0;
            if (pa_simple_read(simple_, block.data(), block.size() * sizeof(float), &error) < 0) return;
            std::lock_guard lock(mutex_);
            samples_.insert(samples_.end(), block.begin(), block.end());
        }
    }

    pa_simple* simple_ = nullptr;
    std::atomic<bool> done_{false};
    std::thread thread_;
    std::mutex mutex_;
    std::vector<float> samples_;
};

/// A daemon whose null sink is kept awake by a recorder of its monitor. Idle, the null sink
/// renders two-second blocks and notices a new stream only at the end of one; a sound card
/// (and the sink with a listener) works in blocks of a few milliseconds.
class AwakeDaemon {
public:
    AwakeDaemon() {
        if (daemon_.server().empty()) return;
        recorder_ = std::make_unique<SinkRecorder>(daemon_.server());
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (recorder_->ok() && recorder_->size() < 2400 && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    [[nodiscard]] const std::string& server() const { return daemon_.server(); }
    void stop() {
        recorder_.reset();
        daemon_.stop();
    }

private:
    testing::PulseDaemon daemon_;
    std::unique_ptr<SinkRecorder> recorder_;
};

/// One daemon for the whole test program; it stops when the program ends.
inline AwakeDaemon& sharedDaemon() {
    static AwakeDaemon daemon;
    return daemon;
}

/// Seconds of the recording whose 10 ms blocks are louder than `threshold` (peak).
inline double loudSeconds(const std::vector<float>& samples, float threshold = 0.05F) {
    std::size_t loud = 0;
    for (std::size_t at = 0; at + 240 <= samples.size(); at += 240) {
        float peak = 0;
        for (std::size_t i = at; i < at + 240; ++i) peak = std::max(peak, std::abs(samples[i]));
        if (peak > threshold) ++loud;
    }
    return static_cast<double>(loud) * 0.01;
}

/// `seconds` of a sine of `hertz` at `amplitude`, 24 kHz mono.
inline std::vector<float> sine(double seconds, double hertz, float amplitude) {
    const auto frames = static_cast<std::size_t>(seconds * 24000);
    std::vector<float> out(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        out[i] = amplitude * static_cast<float>(std::sin(2 * M_PI * hertz * static_cast<double>(i) / 24000.0));
    }
    return out;
}

}  // namespace veska::platform
