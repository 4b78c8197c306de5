// The microphone recorder of the file-based speech source: one AAC file per take.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "ports/FileRecorder.h"
#include "ports/Permissions.h"
#include "runtime/Task.h"

namespace veska {

/// Records takes into "v2-<UUID>.m4a" files of the temporary directory (AAC in MPEG-4, 16 kHz
/// mono, high quality, metered). Idle → recording (`start`) → idle (`stop`); the file lives
/// from `start` until the caller deletes it. One instance, owned by the controller on the main
/// executor; the recorder and permissions ports must outlive it.
class MicRecorder {
public:
    /// `temporaryDirectory`: where takes are written, without a trailing "/".
    MicRecorder(ports::FileRecorder& fileRecorder, ports::Permissions& permissions, std::string temporaryDirectory);

    /// Asks for microphone access (the system's question the first time) and returns the answer.
    rt::Task<bool> requestAccess();
    /// Starts a take in a new file. A recorder that cannot start throws its `ports::AudioError`
    /// and nothing is stored.
    rt::Task<void> start();
    /// Stops the take, if any, and hands over its file (the caller deletes it); nothing when no
    /// take was running. A file the recorder could not finish is handed over all the same: the
    /// transcription then reports it.
    rt::Task<std::optional<std::string>> stop();

    /// Average power of channel 0 in dB (`ports::kSilenceDb` to 0) of the recent input;
    /// `ports::kSilenceDb` when nothing records.
    [[nodiscard]] double averagePowerDb() const;

    /// The running recording, if any.
    std::unique_ptr<ports::Recording> recorder;
    /// True between a successful `start` and `stop`.
    bool isRecording = false;
    /// The file being recorded.
    std::optional<std::string> fileURL;

    static constexpr double kSampleRate = 16000;
    static constexpr int kChannels = 1;

private:
    ports::FileRecorder& fileRecorder_;
    ports::Permissions& permissions_;
    std::string temporaryDirectory_;
};

}  // namespace veska
