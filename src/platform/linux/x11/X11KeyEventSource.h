// The desktop's keyboard on X11: XInput2 raw events to observe, passive grabs to swallow.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/linux/x11/SyntheticKeyLedger.h"
#include "ports/KeyEventSource.h"
#include "runtime/Executor.h"

namespace veska::platform {

struct X11KeySourceOptions {
    /// X display to watch; empty = $DISPLAY.
    std::string display;
    /// The keysym name of the key that plays fn (Linux keyboards do not report fn).
    std::string fnKeysym = "Menu";
    /// Veska's own process id, reported as the source of the keys it posted.
    std::int32_t ownPid = 0;
    /// Counts of Veska's own XTest keys, shared with the key poster.
    std::shared_ptr<SyntheticKeyLedger> ledger;
    /// How long a frozen keyboard waits for the tap's verdict before the key goes on to the
    /// application and the tap is disabled (as a slow tap is on other systems).
    double verdictTimeoutSeconds = 0.5;
};

/// Observes every key of every client through XInput2 raw events (modifiers alone included)
/// on a thread of its own with its own X connection, and hands normalised events to taps and
/// monitors on the main executor. A tap that may swallow claims its declared keys with
/// synchronous passive grabs: the keyboard freezes at such a key until the tap has answered,
/// then the key is either dropped or replayed to the focused window. Events from the XTest
/// device that Veska posted carry `ownPid`. Lives as long as the source or any of its taps or
/// monitors.
class X11KeyEventSource : public ports::KeyEventSource {
public:
    /// Nothing when the display cannot be opened or lacks XInput 2.2.
    [[nodiscard]] static std::unique_ptr<X11KeyEventSource> open(rt::Executor& main, X11KeySourceOptions options);
    ~X11KeyEventSource() override;

    std::unique_ptr<ports::KeyTap> createTap(ports::TapRequest request, ports::TapHandler handler) override;
    std::unique_ptr<ports::KeyMonitor> addGlobalMonitor(ports::KeyEventMask mask, ports::MonitorHandler handler) override;
    std::unique_ptr<ports::KeyMonitor> addLocalMonitor(ports::KeyEventMask mask, ports::MonitorHandler handler) override;

    /// Posts `then` to the main executor after every key event the X server had sent when the
    /// call was made has been handed to the taps and monitors.
    void afterPendingEvents(std::function<void()> then);

    struct Core;

private:
    explicit X11KeyEventSource(std::shared_ptr<Core> core) : core_(std::move(core)) {}
    std::shared_ptr<Core> core_;
};

}  // namespace veska::platform
