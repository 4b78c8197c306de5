// One PulseAudio record stream on its own main loop thread, cut into buffers for a task.
#pragma once

#include <pulse/pulseaudio.h>

#include <atomic>
#include <memory>
#include <optional>
#include <string>

#include "ports/AudioCapture.h"
#include "runtime/Channel.h"
#include "runtime/Completion.h"

namespace veska::platform {

/// The PulseAudio side of a capture: a context and a record stream on a threaded main loop.
/// The read callback cuts the audio into buffers of exactly `framesPerBuffer` frames and sends
/// them on `buffers` (nothing = the device was lost). Everything the callbacks touch is
/// guarded by the main loop's lock. Shared by the stream object and the loop's callbacks.
class PulseCapture : public std::enable_shared_from_this<PulseCapture> {
public:
    PulseCapture(ports::AudioFormat format, std::size_t framesPerBuffer);
    ~PulseCapture();
    PulseCapture(const PulseCapture&) = delete;
    PulseCapture& operator=(const PulseCapture&) = delete;

    /// Connects to `server` and opens the record stream; resolves `opened` once audio flows.
    void open(const std::string& server);
    [[nodiscard]] rt::Completion<bool>& opened() { return opened_; }
    /// Ends the capture: buffers already cut stay readable, then the channel ends.
    void stop();

    [[nodiscard]] const ports::AudioFormat& format() const { return format_; }
    [[nodiscard]] rt::Channel<std::optional<ports::AudioBuffer>>& buffers() { return buffers_; }
    [[nodiscard]] std::uint64_t dropped() const { return dropped_.load(); }

private:
    static void contextState(pa_context* context, void* self);
    static void streamState(pa_stream* stream, void* self);
    static void streamRead(pa_stream* stream, std::size_t bytes, void* self);
    void startStream();
    void onAudio();
    void emit();
    void lose(ports::AudioErrorKind kind);

    ports::AudioFormat format_;
    std::size_t framesPerBuffer_;
    std::size_t bufferBytes_;
    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;
    std::string pending_;  // bytes of the buffer being filled
    std::uint64_t nextFrame_ = 0;
    bool ended_ = false;
    rt::Completion<bool> opened_;
    rt::Channel<std::optional<ports::AudioBuffer>> buffers_;
    std::atomic<std::uint64_t> dropped_{0};
};

}  // namespace veska::platform
