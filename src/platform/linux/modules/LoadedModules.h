// The app's two modules as the program uses them: the AAC writers of the file recorder and the
// web engine's parts.
#pragma once

#include <memory>
#include <string>

#include "platform/linux/recorder/AudioFileWriter.h"
#include "platform/linux/webengine/WebEngineParts.h"

namespace veska::platform {

/// Writers made by the AAC module in `plugInsDirectory`, loaded on the first recording. A
/// module that cannot be used fails that recording with `AudioError(failed)`; the next one
/// tries again.
[[nodiscard]] AudioFileWriterFactory moduleAacWriters(std::string plugInsDirectory);

/// Loads the web engine module from `plugInsDirectory` and starts its profile in `storagePath`.
/// GUI thread, after the application object. Throws `ModuleError` when the module cannot be
/// used.
[[nodiscard]] std::unique_ptr<WebEngineParts> loadWebEngineParts(const std::string& plugInsDirectory,
                                                                 const std::string& storagePath);

}  // namespace veska::platform
