// The encoder a recording writes its audio through, and how the recorder makes one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace veska::platform {

/// Encodes interleaved float samples into a file: created (its header written) when the writer
/// is made, complete after `finish`. One caller at a time.
class AudioFileWriter {
public:
    virtual ~AudioFileWriter() = default;

    /// Adds `frames` frames of interleaved samples; false once writing has failed.
    virtual bool write(const float* samples, std::size_t frames) = 0;
    /// Encodes what is buffered and completes the file; false when it could not be completed.
    /// Later calls return the first answer.
    virtual bool finish() = 0;
};

/// Makes the writer of one recording. Throws `ports::AudioError`: `cannotWrite` when the file
/// cannot be created, `badFormat` when the encoder refuses the rate or channel count, `failed`
/// when there is no encoder.
using AudioFileWriterFactory = std::function<std::unique_ptr<AudioFileWriter>(
    const std::string& path, int sampleRate, int channels, std::int64_t bitRate)>;

/// The AAC module: the file it is built as in the app's PlugIns folder, the version of this
/// interface it must report, and its entry point, which returns a new writer (owned by the
/// caller) or throws as `AudioFileWriterFactory` does. Bump the version whenever this interface,
/// or any type the module shares with the program, changes.
inline constexpr const char* kAacModuleName = "veska-aac";
inline constexpr int kAacModuleVersion = 1;
inline constexpr const char* kAacWriterEntry = "veska_aac_writer";
using AacWriterEntry = AudioFileWriter*(const char* path, int sampleRate, int channels, std::int64_t bitRate);

}  // namespace veska::platform
