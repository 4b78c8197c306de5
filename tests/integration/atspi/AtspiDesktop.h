// The private desktop of the AT-SPI tests: the shared rig with the accessibility bus.
#pragma once

#include "support/PrivateDesktop.h"

namespace veska::testing {

/// One per test process (libatspi connects once per process): `AtspiDesktop::get()` starts it
/// at the first use and it lives until the process ends. `missing()` names what could not be
/// started, for the test to skip with.
class AtspiDesktop : public PrivateDesktop {
public:
    static AtspiDesktop& get() {
        static AtspiDesktop desktop;  // stopped when the process ends
        return desktop;
    }

    /// Switches the session's accessibility on or off and waits until the launcher says so.
    bool setEnabled(bool enabled) { return setAccessibility(enabled); }

    /// Polls `done` every 10 ms for up to `seconds`.
    template <class Pred>
    static bool waitFor(Pred done, double seconds = 5) {
        return PrivateDesktop::waitFor(done, seconds, 10);
    }

private:
    AtspiDesktop() : PrivateDesktop({.accessibility = true}) {}
};

}  // namespace veska::testing
