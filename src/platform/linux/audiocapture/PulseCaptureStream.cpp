// A PulseAudio record stream on a threaded main loop, cut into whole buffers.
#include "platform/linux/audiocapture/PulseCaptureStream.h"
#include "platform/linux/pulse/PulseSupport.h"

#include <cstring>

namespace veska::platform {

namespace {

using ports::AudioError;
using ports::AudioErrorKind;

/// Pieces the server delivers: small, so the last buffer before a stop is not held back long.
constexpr pa_usec_t kFragmentMicroseconds = 20'000;

}  // namespace

PulseCapture::PulseCapture(ports::AudioFormat format, std::size_t framesPerBuffer)
    : format_(format), framesPerBuffer_(framesPerBuffer), bufferBytes_(framesPerBuffer * format.bytesPerFrame()) {}

PulseCapture::~PulseCapture() {
    if (loop_ == nullptr) return;
    pa_threaded_mainloop_stop(loop_);
    if (stream_ != nullptr) {
        pa_stream_disconnect(stream_);
        pa_stream_unref(stream_);
    }
    if (context_ != nullptr) {
        pa_context_disconnect(context_);
        pa_context_unref(context_);
    }
    pa_threaded_mainloop_free(loop_);
}

void PulseCapture::open(const std::string& server) {
    loop_ = pa_threaded_mainloop_new();
    if (loop_ == nullptr) throw AudioError(AudioErrorKind::failed);
    context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "Veska");
    if (context_ == nullptr) throw AudioError(AudioErrorKind::failed);
    pa_context_set_state_callback(context_, &PulseCapture::contextState, this);
    if (pa_context_connect(context_, server.empty() ? nullptr : server.c_str(), PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        throw AudioError(audioErrorKind(pa_context_errno(context_)));
    }
    if (pa_threaded_mainloop_start(loop_) < 0) throw AudioError(AudioErrorKind::failed);
}

void PulseCapture::contextState(pa_context* context, void* self) {
    auto* capture = static_cast<PulseCapture*>(self);
    switch (pa_context_get_state(context)) {
        case PA_CONTEXT_READY: capture->startStream(); break;
        case PA_CONTEXT_FAILED:
        case PA_CONTEXT_TERMINATED: capture->lose(audioErrorKind(pa_context_errno(context))); break;
        default: break;
    }
}

void PulseCapture::startStream() {
    pa_sample_spec sampleFormat{};
    sampleFormat.format = format_.sampleType == ports::SampleType::int16 ? PA_SAMPLE_S16NE : PA_SAMPLE_FLOAT32NE;
    sampleFormat.rate = static_cast<std::uint32_t>(format_.sampleRate);
    sampleFormat.channels = static_cast<std::uint8_t>(format_.channels);
    if (pa_sample_spec_valid(&sampleFormat) == 0) {
        opened_.failWith(AudioError(AudioErrorKind::badFormat));
        return;
    }
    stream_ = pa_stream_new(context_, "Veska microphone", &sampleFormat, nullptr);
    if (stream_ == nullptr) {
        opened_.failWith(AudioError(audioErrorKind(pa_context_errno(context_))));
        return;
    }
    pa_stream_set_state_callback(stream_, &PulseCapture::streamState, this);
    pa_stream_set_read_callback(stream_, &PulseCapture::streamRead, this);
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.fragsize = static_cast<std::uint32_t>(pa_usec_to_bytes(kFragmentMicroseconds, &sampleFormat));
    attr.tlength = attr.prebuf = attr.minreq = static_cast<std::uint32_t>(-1);
    if (pa_stream_connect_record(stream_, nullptr, &attr, PA_STREAM_ADJUST_LATENCY) < 0) {
        opened_.failWith(AudioError(audioErrorKind(pa_context_errno(context_))));
    }
}

void PulseCapture::streamState(pa_stream* stream, void* self) {
    auto* capture = static_cast<PulseCapture*>(self);
    switch (pa_stream_get_state(stream)) {
        case PA_STREAM_READY: capture->opened_.resolve(true); break;
        case PA_STREAM_FAILED: capture->lose(audioErrorKind(pa_context_errno(capture->context_))); break;
        default: break;
    }
}

void PulseCapture::streamRead(pa_stream* /*stream*/, std::size_t /*bytes*/, void* self) {
    static_cast<PulseCapture*>(self)->onAudio();
}

void PulseCapture::onAudio() {
    while (stream_ != nullptr && pa_stream_readable_size(stream_) > 0) {
        const void* data = nullptr;
        std::size_t bytes = 0;
        if (pa_stream_peek(stream_, &data, &bytes) < 0 || bytes == 0) return;
        if (!ended_) {
            // A hole in the stream is silence of that length.
            if (data != nullptr) {
                pending_.append(static_cast<const char*>(data), bytes);
            } else {
                pending_.append(bytes, '\0');
            }
            while (pending_.size() >= bufferBytes_) emit();
        }
        pa_stream_drop(stream_);
    }
}

void PulseCapture::emit() {
    ports::AudioBuffer buffer;
    buffer.format = format_;
    buffer.firstFrame = nextFrame_;
    nextFrame_ += framesPerBuffer_;
    const std::size_t samples = framesPerBuffer_ * static_cast<std::size_t>(format_.channels);
    if (format_.sampleType == ports::SampleType::int16) {
        std::vector<std::int16_t> ints(samples);
        std::memcpy(ints.data(), pending_.data(), bufferBytes_);
        buffer.samples = std::move(ints);
    } else {
        std::vector<float> floats(samples);
        std::memcpy(floats.data(), pending_.data(), bufferBytes_);
        buffer.samples = std::move(floats);
    }
    pending_.erase(0, bufferBytes_);
    while (buffers_.size() >= ports::kMaxQueuedCaptureBuffers) {
        if (auto old = buffers_.tryReceive(); old && *old) dropped_ += (*old)->frames();
    }
    buffers_.send(std::move(buffer));
}

void PulseCapture::lose(AudioErrorKind kind) {
    opened_.failWith(AudioError(kind));
    if (ended_) return;
    ended_ = true;
    buffers_.send(std::nullopt);
    buffers_.close();
}

void PulseCapture::stop() {
    if (loop_ == nullptr) return;
    {
        PulseLoopLock lock(loop_);
        if (!ended_) {
            ended_ = true;
            buffers_.close();
        }
        if (stream_ != nullptr) pa_stream_disconnect(stream_);
    }
    pa_threaded_mainloop_stop(loop_);
}

}  // namespace veska::platform
