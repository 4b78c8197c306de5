// The microphone port on PulseAudio: opening captures, the default source's format, access.
#include "platform/linux/audiocapture/PulseAudioCapture.h"

#include <pulse/pulseaudio.h>

#include "platform/linux/audiocapture/PulseCaptureStream.h"
#include "runtime/Race.h"
#include "runtime/Sleep.h"

namespace veska::platform {

namespace {

using ports::AudioError;
using ports::AudioErrorKind;

/// Time the server gets to accept the connection and open the stream.
constexpr double kOpenTimeoutSeconds = 5;
constexpr std::size_t kMaxFramesPerBuffer = std::size_t{1} << 20;

/// Waits until `capture` delivers audio; throws `AudioError` when it cannot.
rt::Task<void> waitOpened(std::shared_ptr<PulseCapture> capture) {
    auto outcome = co_await rt::race(rt::completed(capture->opened()), rt::delay(kOpenTimeoutSeconds));
    if (outcome.index() == 1) throw AudioError(AudioErrorKind::noDevice);
}

class PulseStream final : public ports::AudioCaptureStream {
public:
    explicit PulseStream(std::shared_ptr<PulseCapture> capture) : capture_(std::move(capture)) {}
    ~PulseStream() override { capture_->stop(); }
    PulseStream(const PulseStream&) = delete;
    PulseStream& operator=(const PulseStream&) = delete;

    [[nodiscard]] ports::AudioFormat format() const override { return capture_->format(); }

    rt::Task<std::optional<ports::AudioBuffer>> next() override {
        std::optional<std::optional<ports::AudioBuffer>> item = co_await capture_->buffers().receive();
        if (!item) co_return std::nullopt;
        if (!*item) throw AudioError(AudioErrorKind::deviceLost);
        co_return std::move(**item);
    }

    void stop() override { capture_->stop(); }
    [[nodiscard]] std::uint64_t droppedFrames() const override { return capture_->dropped(); }

private:
    std::shared_ptr<PulseCapture> capture_;
};

/// The default source's sample format, asked on a main loop of its own.
struct SourceQuery {
    pa_threaded_mainloop* loop = nullptr;
    pa_context* context = nullptr;
    rt::Completion<std::optional<ports::AudioFormat>> answer;

    ~SourceQuery() {
        if (loop != nullptr) pa_threaded_mainloop_stop(loop);
        if (context != nullptr) {
            pa_context_disconnect(context);
            pa_context_unref(context);
        }
        if (loop != nullptr) pa_threaded_mainloop_free(loop);
    }

    static void contextState(pa_context* context, void* self) {
        auto* query = static_cast<SourceQuery*>(self);
        switch (pa_context_get_state(context)) {
            case PA_CONTEXT_READY: {
                pa_operation* op = pa_context_get_source_info_by_name(context, "@DEFAULT_SOURCE@", &sourceInfo, self);
                if (op == nullptr) {
                    query->answer.resolve(std::nullopt);
                } else {
                    pa_operation_unref(op);
                }
                break;
            }
            case PA_CONTEXT_FAILED:
            case PA_CONTEXT_TERMINATED: query->answer.resolve(std::nullopt); break;
            default: break;
        }
    }

    static void sourceInfo(pa_context* /*context*/, const pa_source_info* info, int eol, void* self) {
        auto* query = static_cast<SourceQuery*>(self);
        if (eol != 0 || info == nullptr) {
            query->answer.resolve(std::nullopt);
            return;
        }
        ports::AudioFormat format{static_cast<double>(info->sample_spec.rate), info->sample_spec.channels,
                                  ports::SampleType::float32};
        query->answer.resolve(format.valid() ? std::optional(format) : std::nullopt);
    }
};

}  // namespace

rt::Task<std::optional<ports::AudioFormat>> PulseAudioCapture::deviceFormat() {
    auto query = std::make_shared<SourceQuery>();
    query->loop = pa_threaded_mainloop_new();
    if (query->loop == nullptr) co_return std::nullopt;
    query->context = pa_context_new(pa_threaded_mainloop_get_api(query->loop), "Veska");
    if (query->context == nullptr) co_return std::nullopt;
    pa_context_set_state_callback(query->context, &SourceQuery::contextState, query.get());
    if (pa_context_connect(query->context, server_.empty() ? nullptr : server_.c_str(), PA_CONTEXT_NOAUTOSPAWN,
                           nullptr) < 0) {
        co_return std::nullopt;
    }
    if (pa_threaded_mainloop_start(query->loop) < 0) co_return std::nullopt;
    auto outcome = co_await rt::race(rt::completed(query->answer), rt::delay(kOpenTimeoutSeconds));
    if (outcome.index() == 1) co_return std::nullopt;
    co_return std::get<0>(outcome);
}

rt::Task<std::unique_ptr<ports::AudioCaptureStream>> PulseAudioCapture::start(ports::AudioCaptureRequest request) {
    if (request.format && !request.format->valid()) throw AudioError(AudioErrorKind::badFormat);
    if (request.framesPerBuffer == 0 || request.framesPerBuffer > kMaxFramesPerBuffer) {
        throw AudioError(AudioErrorKind::badFormat);
    }
    std::optional<ports::AudioFormat> format = request.format;
    if (!format) format = co_await deviceFormat();
    if (!format) throw AudioError(AudioErrorKind::noDevice);
    auto capture = std::make_shared<PulseCapture>(*format, request.framesPerBuffer);
    capture->open(server_);
    co_await waitOpened(capture);
    co_return std::make_unique<PulseStream>(std::move(capture));
}

rt::Task<bool> PulseAudioCapture::requestAccess() {
    bool opened = true;
    try {
        std::unique_ptr<ports::AudioCaptureStream> stream = co_await start({std::nullopt, 256});
        stream->stop();
    } catch (const AudioError&) {
        opened = false;
    }
    co_return opened;
}

}  // namespace veska::platform
