// The main executor: callbacks and timers on the Qt GUI thread's event loop.
#pragma once

#include <QObject>

#include <string>

#include "runtime/Executor.h"

namespace veska::platform {

/// Runs callbacks on the thread of the QCoreApplication, through its event loop, so that the
/// core's main executor and Qt's widgets share one thread. Posting is safe from any thread;
/// timers use Qt's precise timers. Must be made on the GUI thread, after the application
/// object, and destroyed before it; callbacks still queued then are dropped.
class QtMainExecutor final : public rt::Executor {
public:
    QtMainExecutor();
    ~QtMainExecutor() override;
    QtMainExecutor(const QtMainExecutor&) = delete;
    QtMainExecutor& operator=(const QtMainExecutor&) = delete;

    void post(std::function<void()> fn) override;
    [[nodiscard]] double now() const override;
    [[nodiscard]] double wallNow() const override;
    [[nodiscard]] const std::string& name() const override { return name_; }

protected:
    void schedule(double delaySeconds, std::function<void()> fn, std::shared_ptr<rt::TimerState> state) override;

private:
    void run(const std::function<void()>& fn);

    std::string name_ = "main";
    /// Lives on the GUI thread; queued calls aimed at it die with it.
    QObject* anchor_;
};

}  // namespace veska::platform
