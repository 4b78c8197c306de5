// The app's two modules as the program uses them.
#include "platform/linux/modules/LoadedModules.h"


#include "platform/linux/modules/PlugInModule.h"
#include "ports/AudioFormat.h"

namespace veska::platform {

AudioFileWriterFactory moduleAacWriters(std::string plugInsDirectory) {
    // The entry point, once the module has loaded; recordings start from one executor at a time.
    auto loaded = std::make_shared<AacWriterEntry*>(nullptr);
    return [directory = std::move(plugInsDirectory), loaded](const std::string& path, int sampleRate, int channels,
                                                            std::int64_t bitRate) {
        if (*loaded == nullptr) {
            try {
                *loaded = PlugInModule::load(directory, kAacModuleName, kAacModuleVersion)
                              .entry<AacWriterEntry>(kAacWriterEntry);
            } catch (const ModuleError&) {
                throw ports::AudioError(ports::AudioErrorKind::failed);
            }
        }
        return std::unique_ptr<AudioFileWriter>((*loaded)(path.c_str(), sampleRate, channels, bitRate));
    };
}

std::unique_ptr<WebEngineParts> loadWebEngineParts(const std::string& plugInsDirectory,
                                                   const std::string& storagePath) {
    const PlugInModule module = PlugInModule::load(plugInsDirectory, kWebEngineModuleName, kWebEngineModuleVersion);
    auto* entry = module.entry<WebEnginePartsEntry>(kWebEnginePartsEntry);
    return std::unique_ptr<WebEngineParts>(entry(storagePath.c_str()));
}

}  // namespace veska::platform
