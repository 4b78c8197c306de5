// Ending Veska cleanly on SIGTERM, SIGINT and SIGHUP.
#pragma once

#include <functional>
#include <memory>

class QSocketNotifier;

namespace veska::app {

/// Turns the three signals into one call of `onSignal` on the GUI thread (through a pipe the
/// handler writes to; nothing else is safe in a handler). A second signal while the first is
/// being handled is ignored. Made once, on the GUI thread, after the application object.
class QuitSignals {
public:
    explicit QuitSignals(std::function<void()> onSignal);
    ~QuitSignals();
    QuitSignals(const QuitSignals&) = delete;
    QuitSignals& operator=(const QuitSignals&) = delete;

    /// False when the pipe could not be made (the signals then end the process as usual).
    [[nodiscard]] bool installed() const { return installed_; }

private:
    std::function<void()> onSignal_;
    std::unique_ptr<QSocketNotifier> notifier_;
    bool installed_ = false;
    bool fired_ = false;
};

}  // namespace veska::app
