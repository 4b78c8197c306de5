// The microphone recorder of the file-based speech source: one AAC file per take.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "core/app/AppCollaborators.h"
#include "ports/FileRecorder.h"
#include "ports/Permissions.h"

namespace veska {

/// Records takes into "v2-<UUID>.m4a" files of the temporary directory (AAC in MPEG-4, 16 kHz
/// mono, high quality, metered) through the file recorder port. Idle → recording (`start`) →
/// idle (`stop`); the file lives from `start` until the caller deletes it. One instance, owned
/// by the controller on the main executor; the ports must outlive it.
class FileMicRecorder final : public MicRecorder {
public:
    /// `temporaryDirectory`: where takes are written, without a trailing "/".
    FileMicRecorder(ports::FileRecorder& fileRecorder, ports::Permissions& permissions, std::string temporaryDirectory);

    rt::Task<bool> requestAccess() override;
    /// A recorder that cannot start throws its `ports::AudioError` and nothing is stored.
    rt::Task<void> start() override;
    [[nodiscard]] bool isRecording() const override { return isRecording_; }
    std::optional<std::string> stop() override;
    /// Throws `ports::AudioError(cannotWrite)` when the file could not be finished.
    rt::Task<void> fileFinished() override;
    [[nodiscard]] double averagePowerDb() override;
    void deleteFile(const std::string& path) override;

    /// The file being recorded, if any.
    [[nodiscard]] const std::optional<std::string>& fileURL() const { return fileURL_; }

    static constexpr double kSampleRate = 16000;
    static constexpr int kChannels = 1;

private:
    ports::FileRecorder& fileRecorder_;
    ports::Permissions& permissions_;
    std::string temporaryDirectory_;
    /// The running recording.
    std::unique_ptr<ports::Recording> recorder_;
    bool isRecording_ = false;
    std::optional<std::string> fileURL_;
    /// A recording `stop` took over whose file `fileFinished` has not finished yet.
    std::unique_ptr<ports::Recording> finishing_;
};

}  // namespace veska
