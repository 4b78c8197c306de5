// The simulated file recorder: a real file on disk, scripted meter levels on virtual time.
#include "platform/sim/SimFileRecorder.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <numeric>

namespace veska::sim {

namespace {

using ports::AudioError;
using ports::AudioErrorKind;

bool writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) return false;
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}

class SimRecording final : public ports::Recording {
public:
    SimRecording(rt::Executor& clock, ports::RecorderSettings settings, std::shared_ptr<const std::string> contents,
                 std::shared_ptr<const std::vector<SimLevel>> levels)
        : clock_(clock), settings_(std::move(settings)), contents_(std::move(contents)), levels_(std::move(levels)),
          startedAt_(clock.now()) {}
    ~SimRecording() override { finish(); }
    SimRecording(const SimRecording&) = delete;
    SimRecording& operator=(const SimRecording&) = delete;

    rt::Task<void> stop() override {
        if (!recording_) co_return;
        if (!finish()) throw AudioError(AudioErrorKind::cannotWrite);
    }

    [[nodiscard]] bool isRecording() const override { return recording_; }

    [[nodiscard]] double seconds() const override { return (recording_ ? clock_.now() : stoppedAt_) - startedAt_; }

    [[nodiscard]] double averagePowerDb() const override {
        if (!recording_ || !settings_.metering) return ports::kSilenceDb;
        const double elapsed = clock_.now() - startedAt_;
        double db = ports::kSilenceDb;
        for (const auto& level : *levels_) {
            if (level.atSeconds > elapsed) break;
            db = level.db;
        }
        return db;
    }

private:
    /// Ends the recording and writes the file; false when the file could not be written.
    bool finish() {
        if (!recording_) return true;
        recording_ = false;
        stoppedAt_ = clock_.now();
        return writeFile(settings_.path, *contents_);
    }

    rt::Executor& clock_;
    ports::RecorderSettings settings_;
    std::shared_ptr<const std::string> contents_;
    std::shared_ptr<const std::vector<SimLevel>> levels_;
    double startedAt_;
    double stoppedAt_ = 0;
    bool recording_ = true;
};

}  // namespace

void SimFileRecorder::setLevels(std::vector<SimLevel> levels) {
    for (auto& level : levels) level.db = std::isnan(level.db) ? ports::kSilenceDb : std::clamp(level.db, ports::kSilenceDb, 0.0);
    // In time order; of two readings at the same time the later given wins.
    std::vector<std::size_t> order(levels.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return levels[a].atSeconds != levels[b].atSeconds ? levels[a].atSeconds < levels[b].atSeconds : a < b;
    });
    std::vector<SimLevel> sorted;
    sorted.reserve(order.size());
    for (std::size_t i : order) sorted.push_back(levels[i]);
    *levels_ = std::move(sorted);
}

rt::Task<std::unique_ptr<ports::Recording>> SimFileRecorder::start(ports::RecorderSettings settings) {
    starts_.push_back(settings);
    const bool formatOk = std::isfinite(settings.sampleRate) && settings.sampleRate >= 8000 &&
                          settings.sampleRate <= 192000 && settings.channels >= 1 && settings.channels <= 2;
    if (!formatOk) throw AudioError(AudioErrorKind::badFormat);
    if (failure_) throw AudioError(*failure_);
    if (settings.path.empty() || !writeFile(settings.path, {})) throw AudioError(AudioErrorKind::cannotWrite);
    // Each recording keeps the contents and levels in force when it started.
    auto contents = std::make_shared<const std::string>(*contents_);
    auto levels = std::make_shared<const std::vector<SimLevel>>(*levels_);
    co_return std::make_unique<SimRecording>(clock_, std::move(settings), std::move(contents), std::move(levels));
}

}  // namespace veska::sim
