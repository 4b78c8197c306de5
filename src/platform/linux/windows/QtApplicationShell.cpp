#include "platform/linux/windows/QtApplicationShell.h"

#include <QApplication>
#include <QTimer>

namespace veska::platform {

void QtApplicationShell::setAccessory() {
    QApplication::setQuitOnLastWindowClosed(false);
    accessory_ = true;
}

void QtApplicationShell::terminate() {
    // Leaves the loop once the current event is done, so the caller's stack unwinds first.
    QTimer::singleShot(0, qApp, [code = exitCode_] { QCoreApplication::exit(code); });
}

}  // namespace veska::platform
