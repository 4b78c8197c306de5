// Contract of the FileRecorder port: an MPEG-4 file from start to stop, the meter, failures.
// Instantiate with a factory type whose static make() returns a FileRecorderContractEnv.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "contract/ContractEnv.h"
#include "ports/FileRecorder.h"
#include "runtime/Sleep.h"

namespace veska::contract {

class FileRecorderContractEnv : public ContractEnv {
public:
    virtual ports::FileRecorder& recorder() = 0;
    /// A fresh directory for this test's files (removed with the env).
    virtual std::filesystem::path directory() = 0;
};

namespace record {

struct Made {
    bool existedWhileRecording = false;
    bool recordingWhileRecording = false;
    double seconds = 0;
    std::vector<double> levels;  // read while recording
    double levelAfterStop = 0;
    bool recordingAfterStop = true;
};

inline rt::Task<Made> make(ports::FileRecorder* recorder, ports::RecorderSettings settings, double seconds) {
    std::unique_ptr<ports::Recording> recording = co_await recorder->start(settings);
    Made made;
    made.existedWhileRecording = std::filesystem::exists(settings.path);
    made.recordingWhileRecording = recording->isRecording();
    for (int i = 0; i < 5; ++i) {
        co_await rt::sleepFor(seconds / 5);
        made.levels.push_back(recording->averagePowerDb());
    }
    made.seconds = recording->seconds();
    co_await recording->stop();
    co_await recording->stop();
    made.recordingAfterStop = recording->isRecording();
    made.levelAfterStop = recording->averagePowerDb();
    co_return made;
}

inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

}  // namespace record

template <class Factory>
class FileRecorderContract : public ::testing::Test {
protected:
    std::unique_ptr<FileRecorderContractEnv> env_ = Factory::make();
    FileRecorderContractEnv& env() { return *env_; }
    ports::FileRecorder* recorder() { return &env_->recorder(); }
    ports::RecorderSettings settings(const std::string& name) {
        ports::RecorderSettings s;
        s.path = (env_->directory() / name).string();
        return s;
    }
};

TYPED_TEST_SUITE_P(FileRecorderContract);

TYPED_TEST_P(FileRecorderContract, RecordsAnMpeg4FileThatExistsFromTheStart) {
    auto settings = this->settings("v2-take.m4a");
    record::Made made = runTask(this->env(), record::make(this->recorder(), settings, 1.0));
    EXPECT_TRUE(made.existedWhileRecording);
    EXPECT_TRUE(made.recordingWhileRecording);
    EXPECT_FALSE(made.recordingAfterStop);
    EXPECT_GT(made.seconds, 0.5);
    const std::string bytes = record::readFile(settings.path);
    ASSERT_GE(bytes.size(), 12u);
    EXPECT_EQ(bytes.substr(4, 4), "ftyp") << "an MPEG-4 file starts with its file-type box";
}

TYPED_TEST_P(FileRecorderContract, AnExistingFileIsReplaced) {
    auto settings = this->settings("old.m4a");
    {
        std::ofstream old(settings.path, std::ios::binary);
        old << "old contents that are not audio";
    }
    runTask(this->env(), record::make(this->recorder(), settings, 0.5));
    EXPECT_EQ(record::readFile(settings.path).find("old contents"), std::string::npos);
}

TYPED_TEST_P(FileRecorderContract, TheMeterStaysInRangeAndFallsSilentAfterStop) {
    struct Row {
        bool metering;
    };
    for (const Row row : {Row{true}, Row{false}}) {
        auto settings = this->settings(row.metering ? "metered.m4a" : "plain.m4a");
        settings.metering = row.metering;
        record::Made made = runTask(this->env(), record::make(this->recorder(), settings, 0.5));
        for (double level : made.levels) {
            EXPECT_GE(level, ports::kSilenceDb);
            EXPECT_LE(level, 0.0);
            if (!row.metering) EXPECT_EQ(level, ports::kSilenceDb);
        }
        EXPECT_EQ(made.levelAfterStop, ports::kSilenceDb);
    }
}

TYPED_TEST_P(FileRecorderContract, StartFailuresSayWhy) {
    struct Row {
        std::string path;
        double rate;
        int channels;
        ports::AudioErrorKind expected;
    };
    const std::string missing = (this->env().directory() / "no-such-dir" / "x.m4a").string();
    const std::string fine = (this->env().directory() / "x.m4a").string();
    const std::vector<Row> rows = {
        {missing, 16000, 1, ports::AudioErrorKind::cannotWrite},
        {"", 16000, 1, ports::AudioErrorKind::cannotWrite},
        {fine, 0, 1, ports::AudioErrorKind::badFormat},
        {fine, 16000, 0, ports::AudioErrorKind::badFormat},
    };
    for (std::size_t i = 0; i < rows.size(); ++i) {
        ports::RecorderSettings settings;
        settings.path = rows[i].path;
        settings.sampleRate = rows[i].rate;
        settings.channels = rows[i].channels;
        auto error = runForError<ports::AudioError>(this->env(), record::make(this->recorder(), settings, 0.1));
        ASSERT_TRUE(error.has_value()) << "row " << i;
        EXPECT_EQ(error->kind(), rows[i].expected) << "row " << i;
    }
    EXPECT_FALSE(std::filesystem::exists(missing));
}

REGISTER_TYPED_TEST_SUITE_P(FileRecorderContract, RecordsAnMpeg4FileThatExistsFromTheStart, AnExistingFileIsReplaced,
                            TheMeterStaysInRangeAndFallsSilentAfterStop, StartFailuresSayWhy);

}  // namespace veska::contract
