// A PulseAudio playback stream fed through the tempo stretcher, with notices by playback time.
#include "platform/linux/audioplayer/PulsePlayback.h"
#include "platform/linux/pulse/PulseSupport.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "runtime/Check.h"
#include "runtime/Sleep.h"

namespace veska::platform {

namespace {

using ports::AudioError;
using ports::AudioErrorKind;

/// One step of feeding and writing, and the tick of the timing check.
constexpr double kStepSeconds = 0.01;
constexpr pa_usec_t kTickMicroseconds = 10'000;
/// Audio kept queued in the server: what a stop or a pause may still let through.
constexpr double kQueuedSeconds = 0.06;
/// How far short of the end the clock of a stream that ran dry may stop.
constexpr double kRunDrySlackSeconds = 0.05;
/// Below this much queued sound the stretcher gives out what it holds back.
constexpr double kStarvingSeconds = 0.04;

/// A sample format PulseAudio accepts for `format`, or none.
std::optional<pa_sample_spec> sampleSpec(const ports::AudioFormat& format) {
    if (!format.valid() || format.sampleType != ports::SampleType::float32) return std::nullopt;
    if (format.sampleRate != std::floor(format.sampleRate) || format.channels > 16) return std::nullopt;
    pa_sample_spec sampleFormat{PA_SAMPLE_FLOAT32LE, static_cast<std::uint32_t>(format.sampleRate),
                        static_cast<std::uint8_t>(format.channels)};
    if (pa_sample_spec_valid(&sampleFormat) == 0) return std::nullopt;
    return sampleFormat;
}

void unref(pa_operation* operation) {
    if (operation != nullptr) pa_operation_unref(operation);
}

}  // namespace

PulsePlayback::PulsePlayback(ports::AudioFormat format, double rate, rt::Executor& notices)
    : format_(format), notices_(notices), channels_(static_cast<std::size_t>(format.channels)),
      rate_(ports::clampPlaybackRate(rate)),
      stretcher_(format.channels, static_cast<unsigned>(format.sampleRate), rate_) {}

rt::Task<std::unique_ptr<ports::AudioPlayback>> PulsePlayback::open(std::optional<std::string> server,
                                                                      std::string applicationName,
                                                                      ports::AudioFormat format, double rate) {
    if (!sampleSpec(format)) throw AudioError(AudioErrorKind::badFormat);
    rt::Executor& notices = co_await rt::currentExecutor();
    std::unique_ptr<PulsePlayback> playback(new PulsePlayback(format, rate, notices));
    if (!playback->connect(server, applicationName)) throw AudioError(AudioErrorKind::noDevice);
    co_await playback->ready_.wait();
    co_return playback;
}

bool PulsePlayback::connect(const std::optional<std::string>& server, const std::string& applicationName) {
    loop_ = pa_threaded_mainloop_new();
    if (loop_ == nullptr) return false;
    context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), applicationName.c_str());
    if (context_ == nullptr) return false;
    pa_context_set_state_callback(context_, &PulsePlayback::onContextState, this);
    if (pa_context_connect(context_, server ? server->c_str() : nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        return false;
    }
    return pa_threaded_mainloop_start(loop_) >= 0;
}

PulsePlayback::~PulsePlayback() {
    stop();
    if (loop_ == nullptr) return;
    {
        PulseLoopLock lock(loop_);
        closing_ = true;
        if (tick_ != nullptr) pa_threaded_mainloop_get_api(loop_)->time_free(tick_);
        tick_ = nullptr;
        if (stream_ != nullptr) {
            pa_stream_set_state_callback(stream_, nullptr, nullptr);
            pa_stream_set_write_callback(stream_, nullptr, nullptr);
        }
        if (context_ != nullptr) {
            pa_context_set_state_callback(context_, nullptr, nullptr);
            pa_context_disconnect(context_);
        }
    }
    pa_threaded_mainloop_stop(loop_);
    if (stream_ != nullptr) pa_stream_unref(stream_);
    if (context_ != nullptr) pa_context_unref(context_);
    pa_threaded_mainloop_free(loop_);
}

// ---- executor side ----

bool PulsePlayback::schedule(std::vector<float> samples, std::function<void()> onPlayed) {
    if (shared_->stopped) return false;
    VESKA_CHECK(samples.size() % channels_ == 0, "a buffer holds whole frames");
    PulseLoopLock lock(loop_);
    if (lost_) return false;
    input_.push_back(Item{std::move(samples), 0, std::move(onPlayed)});
    ++shared_->pending;
    fill();
    return true;
}

void PulsePlayback::setRate(double rate) {
    rate_ = ports::clampPlaybackRate(rate);
    PulseLoopLock lock(loop_);
    stretcher_.setTempo(rate_);
}

void PulsePlayback::pause() {
    if (paused_ || shared_->stopped) return;
    paused_ = true;
    PulseLoopLock lock(loop_);
    corked_ = true;
    if (stream_ != nullptr && !lost_) unref(pa_stream_cork(stream_, 1, nullptr, nullptr));
}

void PulsePlayback::resume() {
    if (!paused_ || shared_->stopped) return;
    paused_ = false;
    PulseLoopLock lock(loop_);
    corked_ = false;
    if (stream_ != nullptr && !lost_) unref(pa_stream_cork(stream_, 0, nullptr, nullptr));
}

void PulsePlayback::setVolume(double volume) {
    PulseLoopLock lock(loop_);
    volume_ = std::isnan(volume) ? 0.0 : std::clamp(volume, 0.0, 1.0);
}

void PulsePlayback::stop() {
    if (shared_->stopped.exchange(true)) return;
    shared_->pending = 0;
    if (loop_ == nullptr) return;
    PulseLoopLock lock(loop_);
    closing_ = true;
    input_.clear();
    markers_.clear();
    stretcher_.clear();
    // Taking the stream off the sink silences it at once, whatever is still queued there.
    if (stream_ != nullptr && streamReady_) pa_stream_disconnect(stream_);
}

// ---- PulseAudio thread ----

void PulsePlayback::onContextState(pa_context* context, void* self) {
    auto* playback = static_cast<PulsePlayback*>(self);
    switch (pa_context_get_state(context)) {
        case PA_CONTEXT_READY: playback->openStream(); break;
        case PA_CONTEXT_FAILED:
        case PA_CONTEXT_TERMINATED:
            if (!playback->ready_.failWith(AudioError(AudioErrorKind::noDevice))) playback->lose();
            break;
        default: break;
    }
}

void PulsePlayback::openStream() {
    const std::optional<pa_sample_spec> checked = sampleSpec(format_);
    if (!checked) {
        ready_.failWith(AudioError(AudioErrorKind::badFormat));
        return;
    }
    const pa_sample_spec sampleFormat = *checked;
    const auto frameBytes = static_cast<double>(pa_frame_size(&sampleFormat));
    stream_ = pa_stream_new(context_, "Reading aloud", &sampleFormat, nullptr);
    if (stream_ == nullptr) {
        ready_.failWith(AudioError(AudioErrorKind::failed));
        return;
    }
    pa_stream_set_state_callback(stream_, &PulsePlayback::onStreamState, this);
    pa_stream_set_write_callback(stream_, &PulsePlayback::onWritable, this);
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.tlength = static_cast<std::uint32_t>(frameBytes * std::ceil(kQueuedSeconds * format_.sampleRate));
    attr.prebuf = static_cast<std::uint32_t>(frameBytes * std::ceil(kStepSeconds * format_.sampleRate));
    attr.minreq = attr.prebuf;
    attr.fragsize = static_cast<std::uint32_t>(-1);
    const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE |
                                                      PA_STREAM_ADJUST_LATENCY);
    if (pa_stream_connect_playback(stream_, nullptr, &attr, flags, nullptr, nullptr) < 0) {
        ready_.failWith(AudioError(AudioErrorKind::failed));
    }
}

void PulsePlayback::onStreamState(pa_stream* stream, void* self) {
    auto* playback = static_cast<PulsePlayback*>(self);
    switch (pa_stream_get_state(stream)) {
        case PA_STREAM_READY:
            playback->streamReady_ = true;
            playback->tick_ = pa_context_rttime_new(playback->context_, pa_rtclock_now() + kTickMicroseconds,
                                                    &PulsePlayback::onTick, playback);
            playback->ready_.resolve();
            playback->fill();
            break;
        case PA_STREAM_FAILED:
        case PA_STREAM_TERMINATED: {
            const AudioErrorKind kind = pa_context_errno(playback->context_) == PA_ERR_NOENTITY
                                            ? AudioErrorKind::noDevice
                                            : AudioErrorKind::failed;
            if (!playback->ready_.failWith(AudioError(kind))) playback->lose();
            break;
        }
        default: break;
    }
}

void PulsePlayback::onWritable(pa_stream* /*stream*/, std::size_t /*bytes*/, void* self) {
    static_cast<PulsePlayback*>(self)->fill();
}

void PulsePlayback::onTick(pa_mainloop_api* /*api*/, pa_time_event* event, const struct timeval* /*when*/,
                           void* self) {
    auto* playback = static_cast<PulsePlayback*>(self);
    playback->postHeard();
    playback->fill();
    pa_context_rttime_restart(playback->context_, event, pa_rtclock_now() + kTickMicroseconds);
}

double PulsePlayback::heardFrames() const {
    pa_usec_t time = 0;
    if (stream_ == nullptr || pa_stream_get_time(stream_, &time) < 0) return 0;
    return static_cast<double>(time) * format_.sampleRate / 1e6;
}

bool PulsePlayback::starving(std::size_t pendingOut) const {
    const double queued = produced_ + static_cast<double>(pendingOut) - heardFrames();
    return queued < kStarvingSeconds * format_.sampleRate;
}

bool PulsePlayback::drained() const {
    return input_.empty() && stretcher_.available() == 0 && stretcher_.unprocessed() == 0;
}

void PulsePlayback::feedOne(std::size_t pendingOut) {
    Item& item = input_.front();
    const std::size_t frames = item.samples.size() / channels_;
    const auto step = static_cast<std::size_t>(std::ceil(kStepSeconds * format_.sampleRate));
    const std::size_t count = std::min(step, frames - item.fedFrames);
    stretcher_.put(item.samples.data() + item.fedFrames * channels_, count);
    item.fedFrames += count;
    if (item.fedFrames < frames) return;
    // Where this buffer's last frame will come out: after what is written, what was taken and
    // what the stretcher still holds.
    lastMarker_ = std::max(lastMarker_, produced_ + static_cast<double>(pendingOut) + stretcher_.backlog());
    markers_.push_back(Marker{lastMarker_, std::move(item.onPlayed)});
    input_.pop_front();
}

void PulsePlayback::fill() {
    if (!streamReady_ || closing_ || lost_) return;
    const std::size_t writable = pa_stream_writable_size(stream_);
    if (writable == static_cast<std::size_t>(-1)) return;
    const std::size_t want = writable / (channels_ * sizeof(float));
    if (want == 0) return;
    out_.resize(want * channels_);
    std::size_t have = 0;
    while (have < want) {
        if (stretcher_.available() > 0) {
            have += stretcher_.take(out_.data() + have * channels_, want - have);
        } else if (!input_.empty()) {
            feedOne(have);
        } else if (stretcher_.unprocessed() > 0 && starving(have)) {
            stretcher_.flush();
            if (stretcher_.available() == 0) break;
        } else {
            break;
        }
    }
    if (have > 0) {
        if (volume_ != 1.0) {
            for (std::size_t i = 0; i < have * channels_; ++i) out_[i] *= static_cast<float>(volume_);
        }
        pa_stream_write(stream_, out_.data(), have * channels_ * sizeof(float), nullptr, 0, PA_SEEK_RELATIVE);
        produced_ += static_cast<double>(have);
        wroteSinceTrigger_ = true;
    }
    if (drained()) {
        // Nothing more to come for now: every marker lies within what was written, and the
        // server must not wait for a full pre-buffer before playing the tail.
        for (Marker& marker : markers_) marker.endFrame = std::min(marker.endFrame, produced_);
        lastMarker_ = std::min(lastMarker_, produced_);
        if (wroteSinceTrigger_) {
            unref(pa_stream_trigger(stream_, nullptr, nullptr));
            wroteSinceTrigger_ = false;
        }
    }
}

void PulsePlayback::postHeard() {
    if (markers_.empty() || closing_) return;
    double heard = heardFrames();
    // Once the stream has run dry, its clock stops short of the end by what the sink still
    // held at that moment: the last few milliseconds count as heard.
    const pa_timing_info* timing = pa_stream_get_timing_info(stream_);
    const bool ranDry = timing != nullptr && timing->playing == 0 && !corked_ && drained();
    if (ranDry && produced_ - heard < kRunDrySlackSeconds * format_.sampleRate) heard = produced_;
    while (!markers_.empty() && markers_.front().endFrame <= heard + 0.5) {
        post(std::move(markers_.front().onPlayed));
        markers_.pop_front();
    }
}

void PulsePlayback::post(std::function<void()> onPlayed) {
    notices_.post([shared = shared_, fn = std::move(onPlayed)] {
        if (shared->stopped) return;
        if (shared->pending > 0) --shared->pending;
        if (fn) fn();
    });
}

void PulsePlayback::lose() {
    if (closing_ || lost_) return;
    lost_ = true;
    for (Marker& marker : markers_) post(std::move(marker.onPlayed));
    for (Item& item : input_) post(std::move(item.onPlayed));
    markers_.clear();
    input_.clear();
    stretcher_.clear();
}

}  // namespace veska::platform
