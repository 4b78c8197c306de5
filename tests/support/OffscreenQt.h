// The one Qt application of a test program that needs no display: Qt draws offscreen, and the
// web engine, when a test uses it, runs without GPU or sandbox.
#pragma once

#include <QCoreApplication>
#include <QtGlobal>

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

}  // namespace veska::testing
