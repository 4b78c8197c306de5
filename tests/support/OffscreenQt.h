// The one Qt application of a test program that needs no display: Qt draws offscreen, and the
// web engine, when a test uses it, runs without GPU or sandbox.
#pragma once

#include <QCoreApplication>
#include <QEventLoop>
#include <QtGlobal>

#include <chrono>
#include <functional>
#include <thread>

namespace veska::testing {

/// Makes the application object (`QApplication` or `QGuiApplication`) for the rest of the
/// process; call it once, before any other Qt object or module exists.
template <class App>
App* makeOffscreenApp(bool webEngine) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (webEngine) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu --no-sandbox");
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    }
    // Qt keeps these for the life of the application.
    static int argc = 1;
    static char name[] = "veska-test";
    static char* argv[] = {name, nullptr};
    return new App(argc, argv);
}

/// Runs Qt's event loop until `done()` holds or `maxSeconds` pass.
inline bool pump(const std::function<bool()>& done, double maxSeconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(maxSeconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

}  // namespace veska::testing
