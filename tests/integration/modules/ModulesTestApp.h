// The one Qt application of the modules' tests (offscreen; the web engine and message windows
// need it), its main executor, and a pump of its event loop.
#pragma once

#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "platform/linux/qt/QtMainExecutor.h"
#include "support/OffscreenQt.h"

namespace veska::testing {

/// Made on first use, as the app makes it: before any module is loaded.
inline platform::QtMainExecutor& qtMain() {
    static QApplication* app = makeOffscreenApp<QApplication>(true);
    static platform::QtMainExecutor* executor = (static_cast<void>(app), new platform::QtMainExecutor());
    return *executor;
}

/// The modules the build put in the app's bundle.
inline std::string builtPlugIns() {
    return VESKA_PLUGINS_DIR;
}

}  // namespace veska::testing
