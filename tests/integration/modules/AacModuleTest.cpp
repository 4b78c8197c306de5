// The AAC module built into the app's bundle writes the recorder's files: a tone written
// through it decodes as AAC-LC in MPEG-4 with the tone's length and loudness, and its errors
// reach the program as the recorder's audio errors.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <numbers>

#include "integration/linux_recorder/DecodedAudio.h"
#include "integration/modules/ModulesTestApp.h"
#include "platform/linux/modules/LoadedModules.h"
#include "ports/AudioFormat.h"
#include "support/TempDir.h"

namespace veska::platform {
namespace {

TEST(AacModule, AToneWrittenThroughTheModuleDecodesAsAacInMpeg4) {
    testing::TempDir dir;
    const std::string path = (dir.path() / "take.m4a").string();
    const AudioFileWriterFactory writers = moduleAacWriters(testing::builtPlugIns());
    constexpr int kRate = 16000;
    std::unique_ptr<AudioFileWriter> writer = writers(path, kRate, 1, 32'000);
    ASSERT_TRUE(writer);
    EXPECT_TRUE(std::filesystem::exists(path)) << "the file exists from the start";
    // One second of a 440 Hz tone at half scale (-9 dB) in pieces of 20 ms, as the stream gives them.
    std::vector<float> piece(kRate / 50);
    for (int start = 0; start < kRate; start += static_cast<int>(piece.size())) {
        for (std::size_t i = 0; i < piece.size(); ++i) {
            const double t = static_cast<double>(start + static_cast<int>(i)) / kRate;
            piece[i] = static_cast<float>(0.5 * std::sin(2 * std::numbers::pi * 440 * t));
        }
        ASSERT_TRUE(writer->write(piece.data(), piece.size()));
    }
    EXPECT_TRUE(writer->finish());
    writer.reset();

    const testing::Decoded decoded = testing::decode(path);
    EXPECT_NE(decoded.container.find("mp4"), std::string::npos) << decoded.container;
    EXPECT_EQ(decoded.codec, AV_CODEC_ID_AAC);
    EXPECT_EQ(decoded.profile, FF_PROFILE_AAC_LOW);
    EXPECT_EQ(decoded.sampleRate, kRate);
    EXPECT_EQ(decoded.channels, 1);
    EXPECT_NEAR(decoded.seconds, 1.0, 0.1);
    ASSERT_GE(decoded.windowDb.size(), 5u);
    EXPECT_NEAR(decoded.windowDb[decoded.windowDb.size() / 2], -9.0, 1.5);
}

TEST(AacModule, WhatTheEncoderRefusesReachesTheProgramAsAudioErrors) {
    testing::TempDir dir;
    const AudioFileWriterFactory writers = moduleAacWriters(testing::builtPlugIns());
    struct Row {
        std::string path;
        int sampleRate;
        int channels;
        ports::AudioErrorKind error;
    };
    const std::vector<Row> rows = {
        {(dir.path() / "no-such-folder" / "x.m4a").string(), 16000, 1, ports::AudioErrorKind::cannotWrite},
        {(dir.path() / "odd-rate.m4a").string(), 7, 1, ports::AudioErrorKind::badFormat},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path);
        try {
            (void)writers(row.path, row.sampleRate, row.channels, 32'000);
            ADD_FAILURE() << "a writer was made";
        } catch (const ports::AudioError& error) {
            EXPECT_EQ(error.kind(), row.error);
        }
    }
}

}  // namespace
}  // namespace veska::platform
