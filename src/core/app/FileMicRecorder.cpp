// The microphone recorder of the file-based speech source.
#include "core/app/FileMicRecorder.h"

#include <filesystem>
#include <system_error>
#include <utility>

#include "core/app/Uuid.h"

namespace veska {

FileMicRecorder::FileMicRecorder(ports::FileRecorder& fileRecorder, ports::Permissions& permissions,
                                 std::string temporaryDirectory)
    : fileRecorder_(fileRecorder), permissions_(permissions), temporaryDirectory_(std::move(temporaryDirectory)) {}

rt::Task<bool> FileMicRecorder::requestAccess() {
    co_return co_await permissions_.request(ports::Permission::microphone);
}

rt::Task<void> FileMicRecorder::start() {
    ports::RecorderSettings settings;
    settings.path = temporaryDirectory_ + "/v2-" + newUUIDString() + ".m4a";
    settings.sampleRate = kSampleRate;
    settings.channels = kChannels;
    settings.quality = ports::RecorderQuality::high;
    settings.metering = true;
    std::unique_ptr<ports::Recording> started = co_await fileRecorder_.start(settings);
    recorder_ = std::move(started);
    fileURL_ = std::move(settings.path);
    isRecording_ = true;
}

std::optional<std::string> FileMicRecorder::stop() {
    if (recorder_) finishing_ = std::move(recorder_);
    recorder_.reset();
    isRecording_ = false;
    return std::exchange(fileURL_, std::nullopt);
}

rt::Task<void> FileMicRecorder::fileFinished() {
    std::unique_ptr<ports::Recording> finishing = std::move(finishing_);
    if (finishing) co_await finishing->stop();
}

double FileMicRecorder::averagePowerDb() {
    return recorder_ && isRecording_ ? recorder_->averagePowerDb() : ports::kSilenceDb;
}

void FileMicRecorder::deleteFile(const std::string& path) {
    // A take still being finished is ended first, so nothing writes the file after it is gone.
    finishing_.reset();
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
}

}  // namespace veska
