// The file recorder and the local core in memory: recorded files are names in a set, and
// transcription answers what the test scripted.
#pragma once

#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/app/AppCollaborators.h"
#include "main/appsim/AppLog.h"
#include "ports/Permissions.h"

namespace veska::appsim {

/// Records into names ("/tmp/v2-1.m4a"…) kept in `files` until deleted. Microphone access is
/// the simulated desktop's permission.
class FakeMicRecorder final : public MicRecorder {
public:
    explicit FakeMicRecorder(ports::Permissions& permissions) : permissions_(permissions) {}

    rt::Task<bool> requestAccess() override;
    rt::Task<void> start() override;
    [[nodiscard]] bool isRecording() const override { return recording_.has_value(); }
    std::optional<std::string> stop() override;
    rt::Task<void> fileFinished() override;
    double averagePowerDb() override { return powerDb; }
    void deleteFile(const std::string& path) override { files.erase(path); }

    /// The next `start` fails with this message.
    std::optional<std::string> startFailure;
    /// What the meter reads.
    double powerDb = -160;
    /// Files that exist now.
    std::set<std::string> files;
    int started = 0;

private:
    ports::Permissions& permissions_;
    std::optional<std::string> recording_;
};

/// An error of the local core, with its user-facing description.
class FakeCoreError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class FakeLocalCore final : public LocalCore {
public:
    rt::Task<void> ensureCore() override;
    rt::Task<nlohmann::json> prefs() override;
    rt::Task<std::string> transcribe(std::string filePath) override;
    rt::Task<nlohmann::json> status() override;
    /// Merges `prefs` into `preferences` (a JSON merge patch), unless `saveFailure` is set.
    rt::Task<void> savePrefs(nlohmann::json prefs) override;
    rt::Task<void> saveSecrets(nlohmann::json secrets) override;
    [[nodiscard]] std::string baseURL() const override { return url; }

    /// What transcription answers; `transcribeError` wins when set.
    std::string transcript = "xin chào";
    std::optional<std::string> transcribeError;
    double transcribeSeconds = 0.5;
    /// The preferences; nothing: fetching them fails.
    std::optional<nlohmann::json> preferences = nlohmann::json::object();
    /// The status document; nothing: fetching it fails.
    std::optional<nlohmann::json> statusDocument = nlohmann::json{{"stt", {{"ready", true}}}};
    /// Saving preferences and secrets fails with this message.
    std::optional<std::string> saveFailure;
    /// Every preferences and secrets document saved, in order.
    std::vector<nlohmann::json> savedPrefs;
    std::vector<nlohmann::json> savedSecrets;
    std::string url = "http://127.0.0.1:8797";
    int ensureCalls = 0;
    int statusCalls = 0;
    std::vector<std::string> transcribed;
    /// Where each transcription is reported as "transcribe", when set.
    AppLog* log = nullptr;
};

}  // namespace veska::appsim
