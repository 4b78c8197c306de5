// The web engine module: Qt WebEngine and the parts of Veska that show web pages, loaded by the
// program the first time it needs a page or a cookie change.
#include <type_traits>

#include "platform/linux/webengine/QtWebEngineParts.h"

extern "C" {

// NOLINTNEXTLINE(readability-identifier-naming): the loader looks these names up.
int veska_module_version() {
    return veska::platform::kWebEngineModuleVersion;
}

// NOLINTNEXTLINE(readability-identifier-naming)
veska::platform::WebEngineParts* veska_webengine_parts(const char* storagePath) {
    return new veska::platform::QtWebEngineParts(storagePath);
}

}  // extern "C"

// The entry point has the type the program calls it through.
static_assert(std::is_same_v<decltype(veska_webengine_parts), veska::platform::WebEnginePartsEntry>);
