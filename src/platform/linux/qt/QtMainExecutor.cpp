// The main executor: callbacks and timers on the Qt GUI thread's event loop.
#include "platform/linux/qt/QtMainExecutor.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QTimer>

#include <chrono>
#include <cmath>

namespace veska::platform {

QtMainExecutor::QtMainExecutor() : anchor_(new QObject()) {
    anchor_->moveToThread(QCoreApplication::instance()->thread());
}

QtMainExecutor::~QtMainExecutor() {
    delete anchor_;
}

void QtMainExecutor::run(const std::function<void()>& fn) {
    CurrentGuard guard(this);
    fn();
}

void QtMainExecutor::post(std::function<void()> fn) {
    QMetaObject::invokeMethod(anchor_, [this, fn = std::move(fn)] { run(fn); }, Qt::QueuedConnection);
}

void QtMainExecutor::schedule(double delaySeconds, std::function<void()> fn, std::shared_ptr<rt::TimerState> state) {
    const int ms = delaySeconds <= 0 ? 0 : static_cast<int>(std::ceil(delaySeconds * 1000.0));
    QMetaObject::invokeMethod(
        anchor_,
        [this, ms, fn = std::move(fn), state = std::move(state)]() mutable {
            if (state->cancelled) return;
            QTimer::singleShot(ms, Qt::PreciseTimer, anchor_, [this, fn = std::move(fn), state = std::move(state)] {
                if (!state->cancelled) run(fn);
            });
        },
        Qt::QueuedConnection);
}

double QtMainExecutor::now() const {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

double QtMainExecutor::wallNow() const {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

}  // namespace veska::platform
