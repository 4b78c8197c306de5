// The simulated file recorder: writes a real file with contents and meter levels the test gives.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ports/FileRecorder.h"
#include "runtime/Executor.h"

namespace veska::sim {

/// A meter reading: from `atSeconds` after the start on, the average power is `db`.
struct SimLevel {
    double atSeconds = 0;
    double db = ports::kSilenceDb;
};

/// Records into a real file: the file is created (empty) at the start, and at the stop it
/// receives the contents the test gave (say, a real M4A file's bytes). The meter follows
/// the scripted levels on the executor's clock. Lives on the loop's thread.
class SimFileRecorder final : public ports::FileRecorder {
public:
    explicit SimFileRecorder(rt::Executor& clock) : clock_(clock) {}

    /// Bytes every recording's file holds once stopped.
    void setFileContents(std::string bytes) { *contents_ = std::move(bytes); }
    /// Meter readings over the time since the start (each holds until the next); values
    /// outside [kSilenceDb, 0] are brought into range.
    void setLevels(std::vector<SimLevel> levels);
    /// The next starts fail with `kind`; none = they succeed.
    void setFailure(std::optional<ports::AudioErrorKind> kind) { failure_ = kind; }

    /// The settings of every start, failed ones included.
    [[nodiscard]] const std::vector<ports::RecorderSettings>& starts() const { return starts_; }

    rt::Task<std::unique_ptr<ports::Recording>> start(ports::RecorderSettings settings) override;

private:
    rt::Executor& clock_;
    std::shared_ptr<std::string> contents_ = std::make_shared<std::string>();
    std::shared_ptr<std::vector<SimLevel>> levels_ = std::make_shared<std::vector<SimLevel>>();
    std::optional<ports::AudioErrorKind> failure_;
    std::vector<ports::RecorderSettings> starts_;
};

}  // namespace veska::sim
