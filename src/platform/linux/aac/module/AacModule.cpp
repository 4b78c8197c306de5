// The AAC module: the file recorder's encoder, loaded by the program on its first recording.
#include <type_traits>

#include "platform/linux/aac/AacFileWriter.h"

extern "C" {

// NOLINTNEXTLINE(readability-identifier-naming): the loader looks these names up.
int veska_module_version() {
    return veska::platform::kAacModuleVersion;
}

// NOLINTNEXTLINE(readability-identifier-naming)
veska::platform::AudioFileWriter* veska_aac_writer(const char* path, int sampleRate, int channels,
                                                   std::int64_t bitRate) {
    return new veska::platform::AacFileWriter(path, sampleRate, channels, bitRate);
}

}  // extern "C"

// The entry point has the type the program calls it through.
static_assert(std::is_same_v<decltype(veska_aac_writer), veska::platform::AacWriterEntry>);
