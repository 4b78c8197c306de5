// The microphone recorder of the file-based speech source.
#include "core/app/MicRecorder.h"

#include <utility>

#include "core/app/Uuid.h"

namespace veska {

MicRecorder::MicRecorder(ports::FileRecorder& fileRecorder, ports::Permissions& permissions,
                         std::string temporaryDirectory)
    : fileRecorder_(fileRecorder), permissions_(permissions), temporaryDirectory_(std::move(temporaryDirectory)) {}

rt::Task<bool> MicRecorder::requestAccess() {
    co_return co_await permissions_.request(ports::Permission::microphone);
}

rt::Task<void> MicRecorder::start() {
    ports::RecorderSettings settings;
    settings.path = temporaryDirectory_ + "/v2-" + newUUIDString() + ".m4a";
    settings.sampleRate = kSampleRate;
    settings.channels = kChannels;
    settings.quality = ports::RecorderQuality::high;
    settings.metering = true;
    std::unique_ptr<ports::Recording> started = co_await fileRecorder_.start(settings);
    recorder = std::move(started);
    fileURL = std::move(settings.path);
    isRecording = true;
}

rt::Task<std::optional<std::string>> MicRecorder::stop() {
    std::unique_ptr<ports::Recording> running = std::move(recorder);
    std::optional<std::string> file = std::move(fileURL);
    recorder.reset();
    fileURL.reset();
    isRecording = false;
    if (running) {
        try {
            co_await running->stop();
        } catch (const ports::AudioError&) {
            // The caller still gets the file, to delete it; its transcription fails visibly.
        }
    }
    co_return file;
}

double MicRecorder::averagePowerDb() const {
    return recorder && isRecording ? recorder->averagePowerDb() : ports::kSilenceDb;
}

}  // namespace veska
