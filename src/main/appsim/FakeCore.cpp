#include "main/appsim/FakeCore.h"

#include "runtime/Sleep.h"

namespace veska::appsim {

rt::Task<bool> FakeMicRecorder::requestAccess() {
    const bool granted = co_await permissions_.request(ports::Permission::microphone);
    co_return granted;
}

rt::Task<void> FakeMicRecorder::start() {
    co_await rt::yieldNow();
    if (startFailure) throw std::runtime_error(*startFailure);
    ++started;
    recording_ = "/tmp/v2-" + std::to_string(started) + ".m4a";
    files.insert(*recording_);
}

std::optional<std::string> FakeMicRecorder::stop() {
    auto path = std::move(recording_);
    recording_.reset();
    return path;
}

rt::Task<void> FakeMicRecorder::fileFinished() { co_return; }

rt::Task<void> FakeLocalCore::ensureCore() {
    ++ensureCalls;
    co_await rt::sleepFor(0.1);
}

rt::Task<nlohmann::json> FakeLocalCore::prefs() {
    co_await rt::yieldNow();
    if (!preferences) throw FakeCoreError("Local core unreachable — start packages/local-core");
    co_return *preferences;
}

rt::Task<std::string> FakeLocalCore::transcribe(std::string filePath) {
    transcribed.push_back(filePath);
    if (log != nullptr) log->add("transcribe", {{"file", filePath}});
    co_await rt::sleepFor(transcribeSeconds);
    if (transcribeError) throw FakeCoreError(*transcribeError);
    co_return transcript;
}

rt::Task<nlohmann::json> FakeLocalCore::status() {
    ++statusCalls;
    co_await rt::yieldNow();
    if (!statusDocument) throw FakeCoreError("Local core unreachable — start packages/local-core");
    co_return *statusDocument;
}

rt::Task<void> FakeLocalCore::savePrefs(nlohmann::json prefs) {
    co_await rt::yieldNow();
    if (saveFailure) throw FakeCoreError(*saveFailure);
    if (preferences) preferences->merge_patch(prefs);
    savedPrefs.push_back(std::move(prefs));
}

rt::Task<void> FakeLocalCore::saveSecrets(nlohmann::json secrets) {
    co_await rt::yieldNow();
    if (saveFailure) throw FakeCoreError(*saveFailure);
    savedSecrets.push_back(std::move(secrets));
}

}  // namespace veska::appsim
