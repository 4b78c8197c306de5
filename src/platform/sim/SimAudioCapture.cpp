// The simulated microphone: per-capture converters ticking on the audio lane.
#include "platform/sim/SimAudioCapture.h"

#include <algorithm>

#include "platform/sim/SimPcmConverter.h"
#include "runtime/Channel.h"

namespace veska::sim {

using ports::AudioError;
using ports::AudioErrorKind;

/// One running capture: its converter, its tick and the buffers not yet read.
struct SimAudioCapture::Stream {
    Stream(ports::AudioFormat device, ports::AudioFormat out, std::size_t frames)
        : converter(device, out), framesPerBuffer(frames) {}

    SimPcmConverter converter;
    std::size_t framesPerBuffer;
    rt::Timer tick;
    rt::Channel<std::optional<ports::AudioBuffer>> queue;  // nothing = the device was lost
    std::uint64_t dropped = 0;
    bool running = true;

    void captureOne() {
        if (!running) return;
        while (queue.size() >= ports::kMaxQueuedCaptureBuffers) {
            if (auto old = queue.tryReceive(); old && *old) dropped += (*old)->frames();
        }
        queue.send(converter.take(framesPerBuffer));
    }
    void stop() {
        running = false;
        tick.cancel();
        queue.close();
    }
    void lose() {
        if (!running) return;
        running = false;
        tick.cancel();
        queue.send(std::nullopt);
        queue.close();
    }
};

namespace {

class SimCaptureStream final : public ports::AudioCaptureStream {
public:
    explicit SimCaptureStream(std::shared_ptr<SimAudioCapture::Stream> stream) : stream_(std::move(stream)) {}
    ~SimCaptureStream() override { stream_->stop(); }
    SimCaptureStream(const SimCaptureStream&) = delete;
    SimCaptureStream& operator=(const SimCaptureStream&) = delete;

    [[nodiscard]] ports::AudioFormat format() const override { return stream_->converter.output(); }

    rt::Task<std::optional<ports::AudioBuffer>> next() override {
        std::optional<std::optional<ports::AudioBuffer>> item = co_await stream_->queue.receive();
        if (!item) co_return std::nullopt;
        if (!*item) throw AudioError(AudioErrorKind::deviceLost);
        co_return std::move(**item);
    }

    void stop() override { stream_->stop(); }
    [[nodiscard]] std::uint64_t droppedFrames() const override { return stream_->dropped; }

private:
    std::shared_ptr<SimAudioCapture::Stream> stream_;
};

constexpr std::size_t kMaxFramesPerBuffer = 1 << 20;

}  // namespace

SimAudioCapture::SimAudioCapture(rt::Executor& audio)
    : audio_(audio), device_(ports::AudioFormat{48000, 2, ports::SampleType::float32}) {}

SimAudioCapture::~SimAudioCapture() {
    for (auto& weak : streams_) {
        if (auto stream = weak.lock()) stream->lose();
    }
}

void SimAudioCapture::setDevice(std::optional<ports::AudioFormat> format) {
    if (format == device_) return;
    unplug();
    device_ = format;
}

void SimAudioCapture::feed(const std::vector<float>& samples) {
    std::erase_if(streams_, [](const std::weak_ptr<Stream>& w) {
        auto s = w.lock();
        return !s || !s->running;
    });
    if (streams_.empty()) {
        waiting_.insert(waiting_.end(), samples.begin(), samples.end());
        return;
    }
    for (auto& weak : streams_) {
        if (auto stream = weak.lock()) stream->converter.push(samples);
    }
}

void SimAudioCapture::unplug() {
    for (auto& weak : streams_) {
        if (auto stream = weak.lock()) stream->lose();
    }
    streams_.clear();
}

std::size_t SimAudioCapture::runningCaptures() const {
    return static_cast<std::size_t>(std::count_if(streams_.begin(), streams_.end(), [](const std::weak_ptr<Stream>& w) {
        auto s = w.lock();
        return s && s->running;
    }));
}

rt::Task<bool> SimAudioCapture::requestAccess() {
    ++accessRequests_;
    co_return device_.has_value() && !denied_;
}

rt::Task<std::optional<ports::AudioFormat>> SimAudioCapture::deviceFormat() { co_return device_; }

rt::Task<std::unique_ptr<ports::AudioCaptureStream>> SimAudioCapture::start(ports::AudioCaptureRequest request) {
    if (request.format && !request.format->valid()) throw AudioError(AudioErrorKind::badFormat);
    if (request.framesPerBuffer == 0 || request.framesPerBuffer > kMaxFramesPerBuffer) {
        throw AudioError(AudioErrorKind::badFormat);
    }
    if (!device_) throw AudioError(AudioErrorKind::noDevice);
    if (denied_) throw AudioError(AudioErrorKind::denied);
    const ports::AudioFormat out = request.format.value_or(*device_);
    auto stream = std::make_shared<Stream>(*device_, out, request.framesPerBuffer);
    stream->converter.push(waiting_);
    waiting_.clear();
    std::weak_ptr<Stream> weak = stream;
    stream->tick = audio_.every(static_cast<double>(request.framesPerBuffer) / out.sampleRate, [weak] {
        if (auto s = weak.lock()) s->captureOne();
    });
    streams_.push_back(stream);
    co_return std::make_unique<SimCaptureStream>(std::move(stream));
}

}  // namespace veska::sim
