// One recording: a PulseAudio record stream on its own main loop thread, feeding the encoder.
#include "platform/linux/recorder/PulseRecording.h"
#include "platform/linux/pulse/PulseSupport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "runtime/Race.h"
#include "runtime/Sleep.h"

namespace veska::platform {

namespace {

using ports::AudioError;
using ports::AudioErrorKind;

/// Time the server gets to accept the connection and open the stream.
constexpr double kOpenTimeoutSeconds = 5;
/// Size of the pieces the server delivers.
constexpr pa_usec_t kFragmentMicroseconds = 20'000;

}  // namespace

PulseRecording::PulseRecording(const ports::RecorderSettings& settings, long bitRate,
                               const AudioFileWriterFactory& writers)
    : settings_(settings), path_(settings.path),
      writer_(writers(settings.path, static_cast<int>(settings.sampleRate), settings.channels, bitRate)) {
    if (!writer_) throw AudioError(AudioErrorKind::failed);
}

std::unique_ptr<PulseRecording> PulseRecording::open(const std::string& server, const ports::RecorderSettings& settings,
                                                     long bitRate, const AudioFileWriterFactory& writers) {
    std::unique_ptr<PulseRecording> recording(new PulseRecording(settings, bitRate, writers));
    try {
        recording->connect(server);
    } catch (const AudioError&) {
        recording->teardown();
        std::remove(recording->path_.c_str());
        throw;
    }
    return recording;
}

void PulseRecording::connect(const std::string& server) {
    loop_ = pa_threaded_mainloop_new();
    if (loop_ == nullptr) throw AudioError(AudioErrorKind::failed);
    context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "Veska");
    if (context_ == nullptr) throw AudioError(AudioErrorKind::failed);
    pa_context_set_state_callback(context_, &PulseRecording::contextState, this);
    if (pa_context_connect(context_, server.empty() ? nullptr : server.c_str(), PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        throw AudioError(audioErrorKind(pa_context_errno(context_)));
    }
    if (pa_threaded_mainloop_start(loop_) < 0) throw AudioError(AudioErrorKind::failed);
}

rt::Task<void> PulseRecording::ready() {
    std::optional<AudioError> failure;
    try {
        auto outcome = co_await rt::race(rt::completed(opened_), rt::delay(kOpenTimeoutSeconds));
        if (outcome.index() == 1) failure = AudioError(AudioErrorKind::noDevice);
    } catch (const AudioError& error) {
        failure = error;
    }
    if (!failure) co_return;
    teardown();
    std::remove(path_.c_str());
    throw *failure;
}

void PulseRecording::contextState(pa_context* context, void* self) {
    auto* recording = static_cast<PulseRecording*>(self);
    switch (pa_context_get_state(context)) {
        case PA_CONTEXT_READY: recording->startStream(); break;
        case PA_CONTEXT_FAILED:
        case PA_CONTEXT_TERMINATED:
            recording->opened_.failWith(AudioError(audioErrorKind(pa_context_errno(context))));
            recording->finishLocked();
            break;
        default: break;
    }
}

void PulseRecording::startStream() {
    pa_sample_spec sampleFormat{};
    sampleFormat.format = PA_SAMPLE_FLOAT32NE;
    sampleFormat.rate = static_cast<std::uint32_t>(settings_.sampleRate);
    sampleFormat.channels = static_cast<std::uint8_t>(settings_.channels);
    if (pa_sample_spec_valid(&sampleFormat) == 0) {
        opened_.failWith(AudioError(AudioErrorKind::badFormat));
        return;
    }
    stream_ = pa_stream_new(context_, "Veska dictation", &sampleFormat, nullptr);
    if (stream_ == nullptr) {
        opened_.failWith(AudioError(audioErrorKind(pa_context_errno(context_))));
        return;
    }
    pa_stream_set_state_callback(stream_, &PulseRecording::streamState, this);
    pa_stream_set_read_callback(stream_, &PulseRecording::streamRead, this);
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.fragsize = static_cast<std::uint32_t>(pa_usec_to_bytes(kFragmentMicroseconds, &sampleFormat));
    attr.tlength = attr.prebuf = attr.minreq = static_cast<std::uint32_t>(-1);
    if (pa_stream_connect_record(stream_, nullptr, &attr, PA_STREAM_ADJUST_LATENCY) < 0) {
        opened_.failWith(AudioError(audioErrorKind(pa_context_errno(context_))));
    }
}

void PulseRecording::streamState(pa_stream* stream, void* self) {
    auto* recording = static_cast<PulseRecording*>(self);
    switch (pa_stream_get_state(stream)) {
        case PA_STREAM_READY:
            recording->recording_ = !recording->stopAsked_;
            recording->opened_.resolve(true);
            break;
        case PA_STREAM_FAILED:
            recording->opened_.failWith(AudioError(audioErrorKind(pa_context_errno(recording->context_))));
            recording->finishLocked();  // the device went away: keep what was recorded
            break;
        default: break;
    }
}

void PulseRecording::streamRead(pa_stream* stream, std::size_t /*bytes*/, void* self) {
    static_cast<PulseRecording*>(self)->onAudio();
    (void)stream;
}

void PulseRecording::onAudio() {
    const void* data = nullptr;
    std::size_t bytes = 0;
    while (stream_ != nullptr && pa_stream_readable_size(stream_) > 0) {
        if (pa_stream_peek(stream_, &data, &bytes) < 0 || bytes == 0) return;
        const std::size_t frameBytes = sizeof(float) * static_cast<std::size_t>(settings_.channels);
        if (data != nullptr && !streamDone_ && !stopAsked_) {
            const auto* samples = static_cast<const float*>(data);
            const std::size_t frames = bytes / frameBytes;
            meter(samples, frames);
            frames_ += frames;
            if (!writer_->write(samples, frames)) finishLocked();
        }
        pa_stream_drop(stream_);
    }
}

void PulseRecording::meter(const float* samples, std::size_t frames) {
    const auto window = static_cast<std::size_t>(kMeterWindowSeconds * settings_.sampleRate);
    for (std::size_t i = 0; i < frames; ++i) {
        const double sample = samples[i * static_cast<std::size_t>(settings_.channels)];
        windowSquares_ += sample * sample;
        if (++windowFrames_ < window) continue;
        const double meanSquare = windowSquares_ / static_cast<double>(windowFrames_);
        const double db = meanSquare > 0 ? 10.0 * std::log10(meanSquare) : ports::kSilenceDb;
        powerDb_ = std::clamp(db, ports::kSilenceDb, 0.0);
        windowSquares_ = 0;
        windowFrames_ = 0;
    }
}

void PulseRecording::finishLocked() {
    if (streamDone_) return;
    streamDone_ = true;
    recording_ = false;
    if (stream_ != nullptr) pa_stream_disconnect(stream_);
    const bool ok = writer_->finish();
    powerDb_ = ports::kSilenceDb;
    finished_.resolve(ok);
}

void PulseRecording::finishDeferred(pa_mainloop_api* /*api*/, void* self) {
    static_cast<PulseRecording*>(self)->finishLocked();
}

rt::Task<void> PulseRecording::stop() {
    if (stopDone_) co_return;
    {
        PulseLoopLock lock(loop_);
        stopAsked_ = true;
        recording_ = false;
        if (!streamDone_) pa_mainloop_api_once(pa_threaded_mainloop_get_api(loop_), &PulseRecording::finishDeferred, this);
    }
    const bool ok = co_await finished_.wait();
    stopDone_ = true;
    if (!ok) throw AudioError(AudioErrorKind::cannotWrite);
}

double PulseRecording::averagePowerDb() const {
    if (!settings_.metering || !recording_) return ports::kSilenceDb;
    return powerDb_.load();
}

double PulseRecording::seconds() const {
    return static_cast<double>(frames_.load()) / settings_.sampleRate;
}

void PulseRecording::teardown() {
    if (loop_ == nullptr) return;
    {
        PulseLoopLock lock(loop_);
        stopAsked_ = true;
        finishLocked();
        if (stream_ != nullptr) {
            pa_stream_set_state_callback(stream_, nullptr, nullptr);
            pa_stream_set_read_callback(stream_, nullptr, nullptr);
        }
        if (context_ != nullptr) pa_context_set_state_callback(context_, nullptr, nullptr);
    }
    pa_threaded_mainloop_stop(loop_);
    if (stream_ != nullptr) pa_stream_unref(stream_);
    if (context_ != nullptr) {
        pa_context_disconnect(context_);
        pa_context_unref(context_);
    }
    pa_threaded_mainloop_free(loop_);
    stream_ = nullptr;
    context_ = nullptr;
    loop_ = nullptr;
}

PulseRecording::~PulseRecording() {
    teardown();
}

}  // namespace veska::platform
