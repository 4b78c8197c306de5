// The take recorder: file names, settings, start failures, stop and the meter.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "core/app/FileMicRecorder.h"
#include "platform/sim/SimFileRecorder.h"
#include "platform/sim/SimPermissions.h"
#include "platform/sim/SimTrace.h"
#include "runtime/Sleep.h"
#include "runtime/VirtualLoop.h"
#include "support/TempDir.h"

namespace veska {
namespace {

std::string readFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

struct MicRig {
    rt::VirtualLoop loop;
    testing::TempDir dir;
    sim::SimFileRecorder files{loop.lane("audio")};
    sim::SimTrace trace{loop.main()};
    sim::SimPermissions permissions{loop.main(), trace};
    FileMicRecorder mic{files, permissions, dir.path().string()};
};

TEST(FileMicRecorder, StartsA16kMonoTakeInANewFile) {
    MicRig rig;
    rig.files.setFileContents("m4a bytes");
    rig.loop.run(rig.mic.start());
    ASSERT_TRUE(rig.mic.isRecording());
    ASSERT_TRUE(rig.mic.fileURL());
    const std::string first = *rig.mic.fileURL();
    const std::regex name(".*/v2-[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\.m4a");
    EXPECT_TRUE(std::regex_match(first, name)) << first;
    EXPECT_EQ(std::filesystem::path(first).parent_path(), rig.dir.path());
    const ports::RecorderSettings& settings = rig.files.starts().at(0);
    EXPECT_EQ(settings.path, first);
    EXPECT_EQ(settings.sampleRate, 16000);
    EXPECT_EQ(settings.channels, 1);
    EXPECT_EQ(settings.quality, ports::RecorderQuality::high);
    EXPECT_TRUE(settings.metering);

    EXPECT_EQ(rig.mic.stop(), first);
    EXPECT_FALSE(rig.mic.isRecording());
    EXPECT_FALSE(rig.mic.fileURL());
    EXPECT_EQ(rig.mic.stop(), std::nullopt) << "a second stop has no file";
    rig.loop.run(rig.mic.fileFinished());
    EXPECT_EQ(readFile(first), "m4a bytes") << "finished, and left for the caller to delete";
    rig.loop.run(rig.mic.fileFinished());

    rig.loop.run(rig.mic.start());
    const std::string second = *rig.mic.fileURL();
    EXPECT_NE(second, first) << "each take has a file of its own";
    rig.mic.deleteFile(first);
    EXPECT_FALSE(std::filesystem::exists(first));
    ASSERT_EQ(rig.mic.stop(), second);
    rig.mic.deleteFile(second);  // before it was finished
    rig.loop.runFor(1);
    EXPECT_FALSE(std::filesystem::exists(second)) << "nothing writes the file after it is deleted";
    rig.mic.deleteFile(second);
}

TEST(FileMicRecorder, AFailedStartStoresNothing) {
    for (auto kind : {ports::AudioErrorKind::noDevice, ports::AudioErrorKind::denied, ports::AudioErrorKind::cannotWrite}) {
        MicRig rig;
        rig.files.setFailure(kind);
        try {
            rig.loop.run(rig.mic.start());
            ADD_FAILURE() << "start succeeded";
        } catch (const ports::AudioError& error) {
            EXPECT_EQ(error.kind(), kind);
        }
        EXPECT_FALSE(rig.mic.isRecording());
        EXPECT_FALSE(rig.mic.fileURL());
        EXPECT_EQ(rig.mic.stop(), std::nullopt);
    }
}

rt::Task<std::vector<double>> meterWhileRecording(FileMicRecorder* mic) {
    co_await mic->start();
    std::vector<double> levels;
    for (int i = 0; i < 4; ++i) {
        levels.push_back(mic->averagePowerDb());
        co_await rt::sleepFor(0.5);
    }
    mic->stop();
    levels.push_back(mic->averagePowerDb());
    co_return levels;
}

TEST(FileMicRecorder, TheMeterFollowsTheRecordingAndFallsSilentAfterStop) {
    MicRig rig;
    rig.files.setLevels({{0, -50}, {0.9, -20}, {1.4, -3}});
    EXPECT_EQ(rig.mic.averagePowerDb(), ports::kSilenceDb);
    EXPECT_EQ(rig.loop.run(meterWhileRecording(&rig.mic)),
              (std::vector<double>{-50, -50, -20, -3, ports::kSilenceDb}));
}

TEST(FileMicRecorder, RequestAccessReturnsTheUsersAnswer) {
    for (auto answer : {sim::PermissionAnswer::grant, sim::PermissionAnswer::deny}) {
        MicRig rig;
        rig.permissions.set(ports::Permission::microphone, ports::PermissionStatus::notDetermined);
        rig.permissions.answerRequests(ports::Permission::microphone, answer, 2.0);
        EXPECT_EQ(rig.loop.run(rig.mic.requestAccess()), answer == sim::PermissionAnswer::grant);
    }
}

}  // namespace
}  // namespace veska
