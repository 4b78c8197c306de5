// AAC-LC in an MPEG-4 (.m4a) file with FFmpeg: the native "aac" encoder and the "ipod" muxer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/linux/recorder/AudioFileWriter.h"

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;

namespace veska::platform {

/// Encodes interleaved float samples into an .m4a file. The file is created (header written)
/// by the constructor and complete after `finish`. Not thread-safe: one caller at a time. Built
/// into the program's AAC module, so that only a recording loads FFmpeg.
class AacFileWriter final : public AudioFileWriter {
public:
    /// Throws `ports::AudioError`: `cannotWrite` when the file cannot be created, `badFormat`
    /// when the encoder refuses the rate or channel count.
    AacFileWriter(const std::string& path, int sampleRate, int channels, std::int64_t bitRate);
    ~AacFileWriter() override;
    AacFileWriter(const AacFileWriter&) = delete;
    AacFileWriter& operator=(const AacFileWriter&) = delete;

    /// Adds `frames` frames of interleaved samples; false once writing has failed.
    bool write(const float* samples, std::size_t frames) override;
    /// Encodes what is buffered, flushes the encoder and writes the file's index; false when
    /// the file could not be completed. Later calls return the first answer.
    bool finish() override;

private:
    bool encodeBuffered(int samples);
    bool drain();
    void release();

    AVFormatContext* format_ = nullptr;
    AVCodecContext* codec_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVPacket* packet_ = nullptr;
    int channels_;
    int frameSize_ = 1024;
    bool smallLastFrame_ = false;
    std::vector<std::vector<float>> pending_;  // per channel, fewer than frameSize_ samples
    std::int64_t nextPts_ = 0;
    bool failed_ = false;
    bool finished_ = false;
    bool finishResult_ = false;
    bool fileOpen_ = false;
};

/// Writers made in this program (which then links FFmpeg) rather than by the AAC module.
[[nodiscard]] AudioFileWriterFactory linkedAacWriters();

}  // namespace veska::platform
