#include "main/app/RunApp.h"

#include <xcb/xcb.h>

#include <QApplication>
#include <csignal>
#include <cstdlib>
#include <iostream>

#include "main/app/DesktopApp.h"
#include "main/app/DisplayCheck.h"
#include "main/app/QuitSignals.h"
#include "platform/linux/ProcessEnvironment.h"

namespace veska::app {

namespace {

constexpr int kExitNoDesktop = 1;

/// Settings of the process that must be in place before Qt starts.
void prepareEnvironment() {
    // Writes to a closed connection come back as errors, never as a signal that ends Veska.
    std::signal(SIGPIPE, SIG_IGN);
    // Veska's windows, keys and clipboard are X11's, even when the session also offers Wayland.
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    // The accessibility adapter serves its bus on a GLib context of its own; Qt's event loop
    // stays off GLib so that nothing else ever iterates one.
    ::setenv("QT_NO_GLIB", "1", 0);
    // Nothing Veska draws needs OpenGL: without it no GL driver (Mesa's llvmpipe on machines
    // without a GPU) is loaded for the web engine, which keeps the app about 13 MiB smaller;
    // the web engine's pages draw in software.
    ::setenv("QT_XCB_GL_INTEGRATION", "none", 0);
    ::setenv("QT_QUICK_BACKEND", "software", 0);
    // The web engine refuses to start its sandbox as root.
    if (::geteuid() == 0) ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
}

}  // namespace

int runApp(int argc, char** argv) {
    prepareEnvironment();
    const platform::ProcessEnvironment env;
    // A bare connection is enough to know the display answers (Xlib's would also set up XKB).
    if (auto problem = displayProblem(env, [](const std::string& name) {
            xcb_connection_t* connection = xcb_connect(name.c_str(), nullptr);
            const bool answers = xcb_connection_has_error(connection) == 0;
            xcb_disconnect(connection);
            return answers;
        })) {
        std::cerr << *problem << "\n";
        return kExitNoDesktop;
    }
    // The web engine, loaded from its module after the application object exists, asks for
    // contexts shared with it; the attribute only counts when set before.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Veska"));
    QApplication::setDesktopFileName(QStringLiteral("veska"));
    // The tray icon goes up first: the desktop shows it while the rest of the app is built (a
    // click on it does nothing until the app is wired, a few tens of milliseconds later).
    platform::QtStatusItem statusItem;
    statusItem.show();
    std::string error;
    std::unique_ptr<DesktopApp> app = DesktopApp::create(statusItem, error);
    if (!app) {
        std::cerr << error << "\n";
        return kExitNoDesktop;
    }
    const QuitSignals quitSignals([&app] { app->quit(); });
    app->launch();
    const int status = QApplication::exec();
    app.reset();
    return status;
}

}  // namespace veska::app
