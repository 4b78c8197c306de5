// One recording: a PulseAudio record stream on its own main loop thread, feeding the encoder.
#pragma once

#include <pulse/pulseaudio.h>

#include <atomic>
#include <memory>
#include <optional>
#include <string>

#include "platform/linux/recorder/AudioFileWriter.h"
#include "ports/FileRecorder.h"
#include "runtime/Completion.h"

namespace veska::platform {

/// Opened by `open` (which throws `AudioError`); captures until `stop`, a lost device or its
/// destruction. Everything the stream callbacks touch is guarded by the main loop's lock.
class PulseRecording final : public ports::Recording {
public:
    /// Creates the file through `writers` and connects the stream; resolves `ready` once audio
    /// can flow.
    static std::unique_ptr<PulseRecording> open(const std::string& server, const ports::RecorderSettings& settings,
                                                long bitRate, const AudioFileWriterFactory& writers);
    ~PulseRecording() override;
    PulseRecording(const PulseRecording&) = delete;
    PulseRecording& operator=(const PulseRecording&) = delete;

    /// Waits until the stream records, or throws why it could not.
    rt::Task<void> ready();
    rt::Task<void> stop() override;
    [[nodiscard]] bool isRecording() const override { return recording_.load(); }
    [[nodiscard]] double averagePowerDb() const override;
    [[nodiscard]] double seconds() const override;

    /// Audio kept for the meter: the average covers about this long.
    static constexpr double kMeterWindowSeconds = 0.1;

private:
    PulseRecording(const ports::RecorderSettings& settings, long bitRate, const AudioFileWriterFactory& writers);
    void connect(const std::string& server);
    void startStream();
    void finishLocked();
    void onAudio();
    void meter(const float* samples, std::size_t frames);
    void teardown();

    static void contextState(pa_context* context, void* self);
    static void streamState(pa_stream* stream, void* self);
    static void streamRead(pa_stream* stream, std::size_t bytes, void* self);
    static void finishDeferred(pa_mainloop_api* api, void* self);

    ports::RecorderSettings settings_;
    std::string path_;
    std::unique_ptr<AudioFileWriter> writer_;
    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;
    rt::Completion<bool> opened_;    // true = recording; an AudioError otherwise
    rt::Completion<bool> finished_;  // true = the file is complete
    bool stopAsked_ = false;         // guarded by the loop's lock
    bool streamDone_ = false;        // guarded by the loop's lock
    std::atomic<bool> recording_{false};
    std::atomic<double> powerDb_{ports::kSilenceDb};
    std::atomic<unsigned long long> frames_{0};
    double windowSquares_ = 0;       // sum of squares of channel 0 in the current window
    std::size_t windowFrames_ = 0;
    bool stopDone_ = false;          // stop() has returned once
};

}  // namespace veska::platform
